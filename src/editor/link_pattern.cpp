#include "editor/link_pattern.h"

namespace qm {

const char* const LinkPattern::kPattern =
    R"re(([a-zA-z\d]+://|www.)[^\u4e00-\u9fa5\s（）"<>]+|qm:\\[^\r\n]*)re";

LinkPattern::LinkPattern() { regex_.Compile(kPattern, true, true); }

std::vector<LinkSpan> LinkPattern::find(std::string_view utf8Line) const {
    std::vector<LinkSpan> spans;
    std::vector<RegexMatch> matches;
    // A pattern that hits the engine's limits leaves the links found before it.
    (void)regex_.AllMatches(utf8Line, &matches);
    spans.reserve(matches.size());
    for (const RegexMatch& match : matches) {
        if (match.length == 0) continue;
        spans.push_back({match.position, match.length, IsNoteLink(match.text)});
    }
    return spans;
}

bool IsNoteLink(std::string_view text) {
    return text.size() >= 4 && (text[0] == 'q' || text[0] == 'Q') &&
           (text[1] == 'm' || text[1] == 'M') && text[2] == ':' && text[3] == '\\';
}

}  // namespace qm
