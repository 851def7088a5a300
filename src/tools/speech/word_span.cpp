#include "tools/speech/word_span.h"

namespace qm {

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

int Utf8OffsetOfChar(std::string_view utf8, int position) {
    size_t at = 0;
    for (int i = 0; i < position && at < utf8.size(); ++i) {
        ++at;
        while (at < utf8.size() && IsContinuation(utf8[at])) ++at;
    }
    return static_cast<int>(at);
}

ByteSpan Utf8SpanOfChars(std::string_view utf8, int position, int length) {
    if (position < 0) position = 0;
    if (length < 0) length = 0;
    const int start = Utf8OffsetOfChar(utf8, position);
    const int end = start + Utf8OffsetOfChar(utf8.substr(static_cast<size_t>(start)), length);
    return {start, end - start};
}

}  // namespace qm
