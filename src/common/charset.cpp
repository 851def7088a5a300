#include "common/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

namespace qm {
namespace {

// iconv_open loads conversion tables, which costs far more than a short conversion, so
// each thread keeps its converters open for its whole life.
class ConverterCache {
public:
    ConverterCache() = default;
    ConverterCache(const ConverterCache&) = delete;
    ConverterCache& operator=(const ConverterCache&) = delete;
    ~ConverterCache() {
        for (auto& entry : converters_) {
            if (entry.second != kInvalid) iconv_close(entry.second);
        }
    }

    // Returns the converter for the pair, reset to its initial state, or kInvalid.
    iconv_t Get(const char* from, const char* to) {
        auto key = std::make_pair(std::string(from), std::string(to));
        auto it = converters_.find(key);
        if (it == converters_.end()) {
            it = converters_.emplace(std::move(key), iconv_open(to, from)).first;
        }
        if (it->second != kInvalid) iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

    static inline const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);

private:
    std::map<std::pair<std::string, std::string>, iconv_t> converters_;
};

thread_local ConverterCache converter_cache;

}  // namespace

bool IsAscii(std::string_view text) {
    unsigned char any = 0;
    for (char c : text) any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

bool ConvertCharset(std::string_view bytes, const char* from, const char* to,
                    std::string_view replacement, std::string* out) {
    out->clear();
    iconv_t cd = converter_cache.Get(from, to);
    if (cd == ConverterCache::kInvalid) return false;

    // Most text grows by at most half on the way between GB18030 and UTF-8; the loop
    // below grows the buffer when it does not.
    std::string buffer(bytes.size() + bytes.size() / 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    size_t used = 0;
    while (true) {
        char* dst = buffer.data() + used;
        size_t dst_left = buffer.size() - used;
        size_t rc = in_left ? iconv(cd, &in, &in_left, &dst, &dst_left)
                            : iconv(cd, nullptr, nullptr, &dst, &dst_left);
        used = buffer.size() - dst_left;
        if (rc != static_cast<size_t>(-1)) {
            if (in_left == 0) break;
            continue;
        }
        if (errno == E2BIG) {
            buffer.resize(buffer.size() * 2 + 16);
        } else if (errno == EILSEQ || errno == EINVAL) {
            // EINVAL: the input ends inside a sequence. Either way one byte is dropped.
            if (buffer.size() - used < replacement.size()) buffer.resize(buffer.size() * 2 + 16);
            std::memcpy(buffer.data() + used, replacement.data(), replacement.size());
            used += replacement.size();
            ++in;
            --in_left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            break;
        }
    }
    buffer.resize(used);
    *out = std::move(buffer);
    return true;
}

std::string Gb18030ToUtf8(std::string_view gb) {
    if (IsAscii(gb)) return std::string(gb);
    std::string out;
    ConvertCharset(gb, "GB18030", "UTF-8", "\xEF\xBF\xBD", &out);
    return out;
}

std::string Utf8ToGb18030(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    std::string out;
    ConvertCharset(utf8, "UTF-8", "GB18030", "?", &out);
    return out;
}

}  // namespace qm
