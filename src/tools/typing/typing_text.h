// Automatic typing's arithmetic: the note cut into the characters it is typed by, the
// interval read from the edit box, the remaining-time estimate and the progress text.
// GB18030 byte text throughout; no Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The characters of `text` in order (CR LF pair, four-byte GB18030 sequence, a lead byte of
// 0x80 or more with the byte after it, any other byte). A lead byte at the very end with
// nothing after it is dropped. `perChar`, when set, is called after each character so that
// the caller can keep its window answering during a long cut.
std::vector<std::string> CutIntoCharacters(std::string_view text,
                                           const std::function<void()>& perChar = {});

// The integer value of the interval box's text: leading blanks, an optional sign and the
// digits that follow; 0 for a text that does not start with a number. Clamped to int range.
int ParseTypingInterval(std::string_view text);

// Milliseconds left after `typed` of `total` characters at `intervalMs` per character; the
// estimate takes an interval below 10 as 10. 64-bit, so a long note at a long interval never
// wraps. 0 when nothing is left.
int64_t RemainingTypingMs(int64_t typed, int64_t total, int intervalMs);

// Integer part of typed / total × 100; 0 for an empty note.
int TypingPercent(int64_t typed, int64_t total);

// "剩余 " + the detailed duration + "(typed/total)", GB18030: "剩余 1 分钟 5 秒(12/340)".
std::string TypingProgressText(int64_t typed, int64_t total, int intervalMs);

// The wait after one character: nothing for 0 or less, otherwise rounded up to 10 ms steps.
int TypingWaitSteps(int intervalMs);

}  // namespace qm
