// Where a spoken word stands in the editor: the engine counts characters (code points) of the
// UTF-8 text it was given, the editor counts bytes.
#pragma once

#include <string_view>

namespace qm {

struct ByteSpan {
    int start = 0;
    int length = 0;
};

// The bytes of characters position .. position + length of `utf8`; both ends are clamped to
// the text, so a position past its end gives an empty span at the end.
ByteSpan Utf8SpanOfChars(std::string_view utf8, int position, int length);

// Byte offset of character `position` (the text's size when it has fewer characters).
int Utf8OffsetOfChar(std::string_view utf8, int position);

}  // namespace qm
