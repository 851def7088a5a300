#include "common/charset.h"

#include "common/chars.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

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

namespace {

// UTF-8 forms of every two-byte GB18030 character (the GBK part), built once with iconv, so
// that decoding a body for a regular-expression search runs at table speed. An entry holds
// up to four UTF-8 bytes (a few pairs map outside the BMP) and their count above them; 0
// marks an invalid pair.
class DoubleByteTable {
public:
    DoubleByteTable() : entries_(126 * 191, 0) {
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                std::string utf8;
                if (!ConvertCharset(std::string_view(pair, 2), "GB18030", "UTF-8", "", &utf8) ||
                    utf8.empty() || utf8.size() > 4) {
                    continue;
                }
                uint64_t entry = static_cast<uint64_t>(utf8.size()) << 32;
                for (size_t i = 0; i < utf8.size(); ++i) {
                    entry |= static_cast<uint64_t>(static_cast<unsigned char>(utf8[i])) << (8 * i);
                }
                entries_[Slot(lead, trail)] = entry;
            }
        }
    }

    // 0 when the pair is not a character.
    uint64_t Lookup(unsigned char lead, unsigned char trail) const {
        if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE) return 0;
        return entries_[Slot(lead, trail)];
    }

private:
    static size_t Slot(int lead, int trail) { return (lead - 0x81) * 191 + (trail - 0x40); }

    std::vector<uint64_t> entries_;
};

const DoubleByteTable& Table() {
    static const DoubleByteTable table;
    return table;
}

}  // namespace

std::string Gb18030ToUtf8(std::string_view gb) {
    const size_t size = gb.size();
    const auto* in = reinterpret_cast<const unsigned char*>(gb.data());
    std::string out;
    out.resize(size + size / 2 + 16);
    size_t used = 0;
    const DoubleByteTable& table = Table();

    size_t pos = 0;
    while (pos < size) {
        // Each character adds at most four bytes (a four-byte sequence or U+FFFD + a byte).
        if (out.size() - used < 8) out.resize(out.size() * 2);
        char* dst = out.data() + used;
        const unsigned char c = in[pos];
        if (c < 0x80) {
            *dst = static_cast<char>(c);
            ++used;
            ++pos;
            continue;
        }
        const uint64_t entry = pos + 1 < size ? table.Lookup(c, in[pos + 1]) : 0;
        if (entry != 0) {
            const size_t length = static_cast<size_t>(entry >> 32);
            for (size_t i = 0; i < length; ++i) dst[i] = static_cast<char>(entry >> (8 * i));
            used += length;
            pos += 2;
            continue;
        }
        if (IsFourByteSequence(gb, pos)) {
            std::string utf8;
            ConvertCharset(gb.substr(pos, 4), "GB18030", "UTF-8", "\xEF\xBF\xBD", &utf8);
            if (out.size() - used < utf8.size()) out.resize(out.size() * 2 + utf8.size());
            std::memcpy(out.data() + used, utf8.data(), utf8.size());
            used += utf8.size();
            pos += 4;
            continue;
        }
        // Not a character: one replacement for this byte, as iconv-based decoding does.
        std::memcpy(dst, "\xEF\xBF\xBD", 3);
        used += 3;
        ++pos;
    }
    out.resize(used);
    return out;
}

std::string Utf8ToGb18030(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    std::string out;
    ConvertCharset(utf8, "UTF-8", "GB18030", "?", &out);
    return out;
}

}  // namespace qm
