// The editor's link pattern on an arbitrary line: every link found lies inside the line, the
// links go left to right without overlapping, and a note link is one that starts with "qm:\".
#include "editor/link_pattern.h"

#include <cstdint>
#include <string>

#include "common/charset.h"
#include "fuzz_input.h"

using qm::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const qm::LinkPattern pattern;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The editor gives the styler UTF-8; try the bytes as they are and as GB18030 text.
    for (const std::string& line : {std::string(bytes), qm::Gb18030ToUtf8(bytes)}) {
        size_t previousEnd = 0;
        for (const qm::LinkSpan& span : pattern.find(line)) {
            Require(span.length > 0, "a link is not empty");
            Require(span.position >= previousEnd, "links go left to right");
            previousEnd = span.position + span.length;
            Require(previousEnd <= line.size(), "a link lies inside the line");
            Require(span.internal == qm::IsNoteLink(line.substr(span.position, span.length)),
                    "a note link starts with qm:\\");
        }
    }
    return 0;
}
