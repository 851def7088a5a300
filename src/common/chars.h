// The character rule used wherever GB18030 text is counted, cut or played back: a CR LF
// pair, a four-byte GB18030 sequence, a byte of 0x80 or more with the byte after it, or
// any other single byte.
#pragma once

#include <cstddef>
#include <string_view>

namespace qm {

// Length in bytes (1 to 4) of the character that starts at `pos`; 0 when pos is past the end.
// A lead byte at the very end of the text is a character of its own.
size_t CharLengthAt(std::string_view text, size_t pos);

// Number of characters in the text.
size_t CountChars(std::string_view text);

// The first `count` characters of the text (all of it when it has fewer).
std::string_view CutChars(std::string_view text, size_t count);

// True when the four bytes at `pos` form a GB18030 four-byte sequence.
bool IsFourByteSequence(std::string_view text, size_t pos);

}  // namespace qm
