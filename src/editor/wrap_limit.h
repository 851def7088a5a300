// When the editor wraps a text: wrapping lays out every line between the top and the caret,
// so a text past these limits is shown unwrapped, with a horizontal bar.
#pragma once

#include <cstddef>
#include <string_view>

namespace qm {

// Measured in the bounds benchmark: Ctrl+End in a wrapped million-line note took 6 to 30 s,
// about 6 us per line laid out; the limits keep a wrapped jump well under a second.
constexpr size_t kWrapByteLimit = size_t{2} << 20;  // UTF-8 bytes
constexpr size_t kWrapLineLimit = 50000;

// Number of lines of `text` counting CR LF, a lone CR and a lone LF as one break each.
inline size_t CountLines(std::string_view text) {
    size_t lines = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
            ++lines;
        }
    }
    return lines;
}

// True when `utf8` is small enough to be wrapped at characters.
inline bool WrapsText(std::string_view utf8) {
    return utf8.size() <= kWrapByteLimit && CountLines(utf8) <= kWrapLineLimit;
}

}  // namespace qm
