// The link pattern of the editor (web addresses and "qm:\" note links in a line of text),
// kept apart from the styler so that it builds without Qt.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "store/regex.h"

namespace qm {

// A link inside one line: byte offset and length in the line's UTF-8 text.
struct LinkSpan {
    size_t position = 0;
    size_t length = 0;
    bool internal = false;  // "qm:\" in any letter case: a note link
};

// The link pattern: web addresses (a scheme and "://", or "www" and one character, then
// no blank, ideograph, full-width parenthesis, quote or angle bracket) and note links ("qm:\"
// and the rest of the line).
class LinkPattern {
public:
    static const char* const kPattern;

    LinkPattern();
    // Every link of a line of UTF-8 text, left to right.
    std::vector<LinkSpan> find(std::string_view utf8Line) const;

private:
    Regex regex_;
};

// True when the text starts with "qm:\" in any letter case.
bool IsNoteLink(std::string_view text);

}  // namespace qm
