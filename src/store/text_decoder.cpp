#include "store/text_decoder.h"

#include <fcntl.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "common/charset.h"

namespace qm {
namespace {

constexpr size_t kGzipPiece = 8192;
constexpr char kTargetCharset[] = "GB18030";

bool StartsWith(std::string_view data, std::string_view prefix) {
    return data.size() >= prefix.size() && data.compare(0, prefix.size(), prefix) == 0;
}

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        out->resize(static_cast<size_t>(info.st_size));
    }
    // The size known in advance is read in place; anything beyond it (a file that grows, or
    // one whose size fstat does not tell) comes through a buffer.
    size_t used = 0;
    char buffer[16 * 1024];
    bool ok = true;
    while (true) {
        const bool in_place = used < out->size();
        const ssize_t n = in_place ? read(fd, out->data() + used, out->size() - used)
                                   : read(fd, buffer, sizeof(buffer));
        if (n > 0) {
            if (!in_place) out->append(buffer, static_cast<size_t>(n));
            used += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ok = n == 0;
            break;
        }
    }
    out->resize(used);
    close(fd);
    return ok;
}

// Inflates a gzip stream fed in pieces of 8192 bytes, until its end, the first error or
// kMaxInflatedSize bytes. Returns what came out before that, which may be nothing.
std::string Gunzip(std::string_view input) {
    std::string out;
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) return out;  // 16: gzip wrapper only
    unsigned char piece[kGzipPiece];
    int rc = Z_OK;
    for (size_t fed = 0; fed < input.size() && rc != Z_STREAM_END;) {
        const size_t size = std::min(kGzipPiece, input.size() - fed);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data() + fed));
        stream.avail_in = static_cast<uInt>(size);
        fed += size;
        do {
            stream.next_out = piece;
            stream.avail_out = sizeof(piece);
            rc = inflate(&stream, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
                inflateEnd(&stream);
                return out;
            }
            const size_t room = kMaxInflatedSize - out.size();
            const size_t got = sizeof(piece) - stream.avail_out;
            out.append(reinterpret_cast<const char*>(piece), std::min(got, room));
            if (got >= room) {
                inflateEnd(&stream);
                return out;
            }
        } while (stream.avail_out == 0 && rc != Z_STREAM_END);
    }
    inflateEnd(&stream);
    return out;
}

// Finds `needle` (ASCII, lower case, starting with a non-letter such as '<') in `text` from
// `from` on, ignoring the case of ASCII letters; npos when absent. memchr finds the
// candidates for the first byte.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0) {
    while (from + needle.size() <= text.size()) {
        const void* hit = memchr(text.data() + from, needle[0], text.size() - from);
        if (hit == nullptr) return std::string_view::npos;
        const size_t pos = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
        if (pos + needle.size() > text.size()) return std::string_view::npos;
        if (strncasecmp(text.data() + pos, needle.data(), needle.size()) == 0) return pos;
        from = pos + 1;
    }
    return std::string_view::npos;
}

// True when `text` holds `needle` anywhere, ignoring the case of ASCII letters.
bool ContainsNoCase(std::string_view text, std::string_view needle) {
    for (size_t pos = 0; pos + needle.size() <= text.size(); ++pos) {
        if (strncasecmp(text.data() + pos, needle.data(), needle.size()) == 0) return true;
    }
    return false;
}

// The charset declared by the first <meta ...> tag of the <head> part (the whole text when
// there is none) that names UTF-8, Big5 or Big5-HKSCS; kNone when none does.
TextEncoding ProbeMetaCharset(std::string_view text) {
    struct Group {
        const char* names[3];
        TextEncoding encoding;
    };
    // In this order: "charset=Big5" is the start of "charset=Big5-HKSCS", so an unquoted
    // Big5-HKSCS declaration is taken as Big5.
    static const Group kGroups[] = {
        {{"charset=utf-8", "charset=\"utf-8\"", "charset='utf-8'"}, TextEncoding::kUtf8},
        {{"charset=big5", "charset=\"big5\"", "charset='big5'"}, TextEncoding::kBig5},
        {{"charset=big5-hkscs", "charset=\"big5-hkscs\"", "charset='big5-hkscs'"},
         TextEncoding::kBig5Hkscs},
    };

    std::string_view part = text;
    const size_t head = FindNoCase(text, "<head>");
    if (head != std::string_view::npos) {
        const size_t begin = head + 6;
        const size_t end = FindNoCase(text, "</head>", begin);
        if (end != std::string_view::npos && end > begin) part = text.substr(begin, end - begin);
    }
    for (size_t pos = 0;;) {
        const size_t open = FindNoCase(part, "<meta", pos);
        if (open == std::string_view::npos) return TextEncoding::kNone;
        const size_t begin = open + 5;
        const size_t close = part.find('>', begin);
        if (close == std::string_view::npos) return TextEncoding::kNone;
        const std::string_view tag = part.substr(begin, close - begin);
        for (const Group& group : kGroups) {
            for (const char* name : group.names) {
                if (ContainsNoCase(tag, name)) return group.encoding;
            }
        }
        pos = close + 1;
    }
}

// True when the data is made of ASCII and two- and three-byte UTF-8 sequences (by their bit
// patterns only) and holds at least one such sequence. Four-byte sequences reject the data.
bool LooksLikeUtf8(std::string_view data) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const size_t size = data.size();
    bool multi_byte = false;
    size_t i = 0;
    while (i < size) {
        // Runs of ASCII go eight bytes at a time.
        if (i + 8 <= size) {
            uint64_t word;
            memcpy(&word, p + i, sizeof(word));
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
        } else if (i + 1 < size && (c & 0xE0) == 0xC0 && (p[i + 1] & 0xC0) == 0x80) {
            i += 2;
            multi_byte = true;
        } else if (i + 2 < size && (c & 0xF0) == 0xE0 && (p[i + 1] & 0xC0) == 0x80 &&
                   (p[i + 2] & 0xC0) == 0x80) {
            i += 3;
            multi_byte = true;
        } else {
            return false;
        }
    }
    return multi_byte;
}

const char* SourceCharset(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kUtf8:
            return "UTF-8";
        case TextEncoding::kUtf16Le:
            return "UTF-16LE";
        case TextEncoding::kUtf16Be:
            return "UTF-16BE";
        case TextEncoding::kBig5:
            return "BIG5";
        case TextEncoding::kBig5Hkscs:
            return "BIG5-HKSCS";
        default:
            return nullptr;
    }
}

void CutAtZero(std::string* text) {
    const auto* zero = static_cast<const char*>(memchr(text->data(), 0, text->size()));
    if (zero != nullptr) text->resize(static_cast<size_t>(zero - text->data()));
}

}  // namespace

DecodedText DecodeText(const std::string& path, std::string_view bytes, std::string_view text) {
    DecodedText result;
    std::string owned;  // file content or inflated bytes; `input` then views it
    std::string_view input = bytes.empty() ? text : bytes;
    if (!path.empty()) {
        if (!ReadWholeFile(path, &owned)) return result;
        input = owned;
    }

    if (StartsWith(input, "\x1F\x8B")) {
        std::string inflated = Gunzip(input);
        if (!inflated.empty()) {
            owned = std::move(inflated);
            input = owned;
        }
    }

    std::string_view data = input;
    if (StartsWith(input, "\xEF\xBB\xBF")) {
        result.encoding = TextEncoding::kUtf8;
        data.remove_prefix(3);
    } else if (StartsWith(input, "\xFF\xFE")) {
        result.encoding = TextEncoding::kUtf16Le;
        data.remove_prefix(2);
    } else if (StartsWith(input, "\xFE\xFF")) {
        result.encoding = TextEncoding::kUtf16Be;
        data.remove_prefix(2);
    } else {
        result.encoding = ProbeMetaCharset(input);
        if (result.encoding == TextEncoding::kNone && LooksLikeUtf8(input)) {
            result.encoding = TextEncoding::kUtf8;
        }
    }

    // Bytes that cannot be decoded become '?' one byte at a time; everything else has a
    // GB18030 form, so nothing decodable is lost.
    const char* source = SourceCharset(result.encoding);
    if (source != nullptr && !data.empty() &&
        ConvertCharset(data, source, kTargetCharset, "?", &result.text)) {
        CutAtZero(&result.text);
    } else {
        result.text.clear();
    }
    if (result.text.empty()) {
        result.encoding = TextEncoding::kGbk;
        if (input.data() == owned.data() && input.size() == owned.size()) {
            result.text = std::move(owned);
        } else {
            result.text.assign(input);
        }
        CutAtZero(&result.text);
    }
    return result;
}

std::string ReadTextFile(const std::string& path) { return DecodeText(path, {}, {}).text; }

std::string DecodeTextBytes(std::string_view bytes) { return DecodeText({}, bytes, {}).text; }

}  // namespace qm
