#include "store/export_name.h"

#include <vector>

#include "common/chars.h"
#include "common/charset.h"

namespace qm {

namespace {

// The full-width forms in GB18030 of \ / : * ? | < > (U+FF3C, FF0F, FF1A, FF0A, FF1F, FF5C,
// FF1C, FF1E).
const std::string& FullWidth(char c) {
    static const std::string kForms[] = {
        Utf8ToGb18030("＼"), Utf8ToGb18030("／"), Utf8ToGb18030("："), Utf8ToGb18030("＊"),
        Utf8ToGb18030("？"), Utf8ToGb18030("｜"), Utf8ToGb18030("＜"), Utf8ToGb18030("＞"),
    };
    static const std::string kNone;
    static constexpr std::string_view kChars = "\\/:*?|<>";
    const size_t at = kChars.find(c);
    return at == std::string_view::npos ? kNone : kForms[at];
}

// The bytes of a two-byte GB18030 character. A high byte that cannot start one (0x80, 0xFF),
// or a byte after it that cannot end one (a slash, a colon, a line break), is a character of
// its own.
bool IsTwoByteCharacter(char lead, char trail) {
    const auto l = static_cast<unsigned char>(lead);
    const auto t = static_cast<unsigned char>(trail);
    return l >= 0x81 && l <= 0xFE && ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE));
}

// `name` cut after its last whole character whose prefix still fits in `maxBytes` once in
// UTF-8. The prefix is measured whole: a stray byte decodes differently alone than beside its
// neighbours, so the sizes of single characters need not add up. The size grows with the
// prefix, so halving finds the longest that fits in a few conversions even for a long title.
std::string CutToFit(std::string_view name, size_t maxBytes) {
    if (Gb18030ToUtf8(name).size() <= maxBytes) return std::string(name);
    std::vector<size_t> ends;  // where each character ends
    for (size_t pos = 0; pos < name.size();) {
        pos += CharLengthAt(name, pos);
        ends.push_back(pos);
    }
    // A prefix of `fits` characters fits (none always does), one of `tooLong` does not.
    size_t fits = 0;
    size_t tooLong = ends.size();
    while (tooLong - fits > 1) {
        const size_t middle = fits + (tooLong - fits) / 2;
        if (Gb18030ToUtf8(name.substr(0, ends[middle - 1])).size() <= maxBytes) {
            fits = middle;
        } else {
            tooLong = middle;
        }
    }
    return std::string(name.substr(0, fits == 0 ? 0 : ends[fits - 1]));
}

}  // namespace

std::string ExportFileName(std::string_view title) {
    std::string out;
    out.reserve(title.size());
    for (size_t pos = 0; pos < title.size();) {
        const size_t length = CharLengthAt(title, pos);
        // A stray high byte must not hide the slash or colon after it inside a "character":
        // it goes alone (it decodes to a replacement character) and the next byte is seen.
        if (length == 2 && title[pos] != '\r' && !IsTwoByteCharacter(title[pos], title[pos + 1])) {
            out.push_back(title[pos]);
            ++pos;
            continue;
        }
        if (length == 1) {
            const char c = title[pos];
            const std::string& wide = FullWidth(c);
            if (!wide.empty()) {
                out += wide;
            } else if (c != '"' && c != '\r' && c != '\n' && c != '\t') {
                out.push_back(c);
            }
        } else if (!(length == 2 && title[pos] == '\r' && title[pos + 1] == '\n')) {
            out.append(title.substr(pos, length));
        }
        pos += length;
    }
    return out;
}

std::string SafeComponent(std::string_view name, size_t maxBytes) {
    // Cut first, then look for dots: a cut can leave "." or ".." of a longer name; their
    // full-width forms are cut again where even they do not fit.
    std::string out = CutToFit(name, maxBytes);
    if (out == ".") return CutToFit(Utf8ToGb18030("．"), maxBytes);
    if (out == "..") return CutToFit(Utf8ToGb18030("．．"), maxBytes);
    return out;
}

}  // namespace qm
