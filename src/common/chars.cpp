#include "common/chars.h"

namespace qm {
namespace {

bool InRange(unsigned char c, unsigned char low, unsigned char high) {
    return c >= low && c <= high;
}

}  // namespace

bool IsFourByteSequence(std::string_view text, size_t pos) {
    if (pos + 4 > text.size()) return false;
    auto b = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    return InRange(b(0), 0x81, 0xFE) && InRange(b(1), 0x30, 0x39) && InRange(b(2), 0x81, 0xFE) &&
           InRange(b(3), 0x30, 0x39);
}

size_t CharLengthAt(std::string_view text, size_t pos) {
    if (pos >= text.size()) return 0;
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    const bool has_next = pos + 1 < text.size();
    if (c == '\r' && has_next && text[pos + 1] == '\n') return 2;
    if (c < 0x80 || !has_next) return 1;
    return IsFourByteSequence(text, pos) ? 4 : 2;
}

size_t CountChars(std::string_view text) {
    size_t count = 0;
    for (size_t pos = 0; pos < text.size(); pos += CharLengthAt(text, pos)) ++count;
    return count;
}

std::string_view CutChars(std::string_view text, size_t count) {
    size_t pos = 0;
    for (; count > 0 && pos < text.size(); --count) pos += CharLengthAt(text, pos);
    return text.substr(0, pos);
}

}  // namespace qm
