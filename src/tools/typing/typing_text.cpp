#include "tools/typing/typing_text.h"

#include <climits>

#include "common/chars.h"
#include "common/charset.h"
#include "common/format_duration.h"

namespace qm {

std::vector<std::string> CutIntoCharacters(std::string_view text,
                                           const std::function<void()>& perChar) {
    std::vector<std::string> chars;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = CharLengthAt(text, pos);
        // CharLengthAt keeps a lone trailing lead byte as a character; typing drops it, since
        // half a double-byte character would show as a replacement mark.
        if (length == 1 && static_cast<unsigned char>(text[pos]) >= 0x80) break;
        chars.emplace_back(text.substr(pos, length));
        pos += length;
        if (perChar) perChar();
    }
    return chars;
}

int ParseTypingInterval(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > INT_MAX) value = static_cast<int64_t>(INT_MAX) + 1;  // saturate
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int64_t RemainingTypingMs(int64_t typed, int64_t total, int intervalMs) {
    const int64_t left = total - typed;
    if (left <= 0) return 0;
    const int64_t estimate = intervalMs < 10 ? 10 : intervalMs;
    return left * estimate;
}

int TypingPercent(int64_t typed, int64_t total) {
    if (total <= 0) return 0;
    return static_cast<int>(typed * 100 / total);
}

std::string TypingProgressText(int64_t typed, int64_t total, int intervalMs) {
    static const std::string kPrefix = Utf8ToGb18030("剩余 ");
    std::string text = kPrefix;
    text += FormatDurationDetailed(RemainingTypingMs(typed, total, intervalMs));
    text += "(" + std::to_string(typed) + "/" + std::to_string(total) + ")";
    return text;
}

int TypingWaitSteps(int intervalMs) {
    if (intervalMs <= 0) return 0;
    return static_cast<int>((static_cast<int64_t>(intervalMs) + 9) / 10);
}

}  // namespace qm
