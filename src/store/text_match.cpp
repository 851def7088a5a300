#include "store/text_match.h"

#include <string.h>

#include <algorithm>

#include "common/chars.h"
#include "common/charset.h"
#include "store/regex.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace qm {
namespace {

inline bool IsUpperAscii(unsigned char c) { return static_cast<unsigned char>(c - 'A') < 26; }
inline char LowerAscii(char c) {
    const auto u = static_cast<unsigned char>(c);
    return static_cast<char>(IsUpperAscii(u) ? u | 0x20 : u);
}
inline bool IsAsciiLetter(unsigned char c) {
    return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}

// Length of the character at `pos` (pos < text.size()). This is the rule of common/chars.h
// (a byte of 0x80 or more takes the byte after it, or three when they form a four-byte
// GB18030 sequence) with two differences that matter for matching only: CR and LF are
// characters of their own, and a byte below 0x30 is never taken as a trail byte. Valid
// GB18030 has no such trail byte, and keeping that rule makes the position after any byte
// below 0x30 a character boundary, from which a scan can start afresh.
inline size_t CharLength(std::string_view text, size_t pos) {
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80 || pos + 1 == text.size()) return 1;
    const auto next = static_cast<unsigned char>(text[pos + 1]);
    if (next < 0x30) return 1;
    if (next <= 0x39 && IsFourByteSequence(text, pos)) return 4;
    return 2;
}

// Answers "does a character start at pos?" for positions asked in increasing order, in time
// linear in the text overall: it remembers the last boundary it reached and, before walking
// forward from there, jumps to the last byte below 0x30 ahead of the position asked.
class BoundaryCursor {
public:
    explicit BoundaryCursor(std::string_view text) : text_(text) {}

    bool IsBoundary(size_t pos) {
        if (pos > next_) {
            for (size_t i = pos; i > next_; --i) {
                if (static_cast<unsigned char>(text_[i - 1]) < 0x30) {
                    next_ = i;
                    break;
                }
            }
            while (next_ < pos) next_ += CharLength(text_, next_);
        }
        return next_ == pos;
    }

private:
    std::string_view text_;
    size_t next_ = 0;  // a character boundary; never moves back
};

// Lowers A-Z in `size` bytes from `src` into `dst`, every byte alike.
void LowerAllAscii(const char* src, size_t size, char* dst) {
    size_t i = 0;
#ifdef __SSE2__
    // Shifted by 128 - 'A', the letters A-Z become the 26 smallest signed bytes.
    const __m128i shift = _mm_set1_epi8(static_cast<char>(128 - 'A'));
    const __m128i limit = _mm_set1_epi8(static_cast<char>(-128 + 26));
    const __m128i case_bit = _mm_set1_epi8(0x20);
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i upper = _mm_cmplt_epi8(_mm_add_epi8(v, shift), limit);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_or_si128(v, _mm_and_si128(upper, case_bit)));
    }
#endif
    for (; i < size; ++i) dst[i] = LowerAscii(src[i]);
}

// The text with the letters of its single-byte characters lowered.
std::string LowerSingleByteLetters(std::string_view text) {
    std::string out(text);
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = CharLength(text, pos);
        if (length == 1) out[pos] = LowerAscii(text[pos]);
        pos += length;
    }
    return out;
}

// The part of the text that is searched at once in the ignore-case search: big enough that
// the per-call set-up of memmem does not count, small enough to stay in the first-level cache.
constexpr size_t kFoldBlock = 16 * 1024;

}  // namespace

TextMatcher::TextMatcher(std::string_view query, const MatchOptions& options)
    : query_(query), options_(options) {
    if (options.useRegex) {
        regex_ = std::make_unique<Regex>();
        if (!regex_->Compile(Gb18030ToUtf8(query), options.ignoreCase, /*multiLine=*/true)) {
            error_ = regex_->error();
        }
        return;
    }
    if (!options.ignoreCase) return;
    folded_query_ = LowerSingleByteLetters(query);
    search_key_.resize(query.size());
    LowerAllAscii(query.data(), query.size(), search_key_.data());
    for (size_t pos = 0; pos < query.size();) {
        const size_t length = CharLength(query, pos);
        for (size_t i = pos; length > 1 && i < pos + length; ++i) {
            if (IsAsciiLetter(static_cast<unsigned char>(query[i]))) strict_offsets_.push_back(i);
        }
        pos += length;
    }
}

TextMatcher::~TextMatcher() = default;

bool TextMatcher::Matches(std::string_view text) const {
    if (!valid()) return false;
    if (options_.useRegex) return MatchesRegex(text);
    if (options_.wholeText) return options_.ignoreCase ? EqualsFolded(text) : text == query_;
    if (query_.empty()) return !text.empty();
    return options_.ignoreCase ? FindFolded(text) : FindExact(text);
}

bool TextMatcher::FindExact(std::string_view text) const {
    const size_t size = query_.size();
    BoundaryCursor starts(text);
    BoundaryCursor ends(text);
    for (size_t from = 0; from + size <= text.size();) {
        const void* hit = memmem(text.data() + from, text.size() - from, query_.data(), size);
        if (hit == nullptr) return false;
        const size_t pos = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
        // A byte search can find the query across two characters (a trail byte and the next
        // lead byte) or starting on a trail byte; only whole characters count.
        if (starts.IsBoundary(pos) && ends.IsBoundary(pos + size)) return true;
        from = pos + 1;
    }
    return false;
}

bool TextMatcher::FindFolded(std::string_view text) const {
    const size_t size = search_key_.size();
    if (size > text.size()) return false;
    // The text is lowered block by block and searched with memmem; consecutive blocks overlap
    // by size - 1 bytes so that every start position is tried in exactly one block.
    char stack_block[kFoldBlock];
    std::string heap_block;
    char* block = stack_block;
    size_t capacity = kFoldBlock;
    if (size > kFoldBlock / 4) {
        capacity = size * 4;
        heap_block.resize(capacity);
        block = heap_block.data();
    }
    const size_t stride = capacity - (size - 1);

    BoundaryCursor starts(text);
    BoundaryCursor ends(text);
    for (size_t base = 0; base + size <= text.size(); base += stride) {
        const size_t length = std::min(capacity, text.size() - base);
        LowerAllAscii(text.data() + base, length, block);
        const size_t last_start = std::min(stride, length - size + 1);  // exclusive
        for (size_t from = 0; from < last_start;) {
            const void* hit = memmem(block + from, length - from, search_key_.data(), size);
            if (hit == nullptr) break;
            const size_t offset = static_cast<size_t>(static_cast<const char*>(hit) - block);
            if (offset >= last_start) break;  // the next block tries it
            const size_t pos = base + offset;
            // Bulk lowering also lowered trail bytes: a letter inside a multi-byte character
            // must match exactly, or 0x81 0x41 would match 0x81 0x61, another character.
            if (starts.IsBoundary(pos) && ends.IsBoundary(pos + size) &&
                std::all_of(strict_offsets_.begin(), strict_offsets_.end(),
                            [&](size_t i) { return text[pos + i] == query_[i]; })) {
                return true;
            }
            from = offset + 1;
        }
    }
    return false;
}

bool TextMatcher::EqualsFolded(std::string_view text) const {
    if (text.size() != folded_query_.size()) return false;
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = CharLength(text, pos);
        if (length == 1) {
            if (LowerAscii(text[pos]) != folded_query_[pos]) return false;
        } else if (text.compare(pos, length, folded_query_, pos, length) != 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

bool TextMatcher::MatchesRegex(std::string_view text) const {
    // ASCII reads the same in UTF-8, so only other text is converted.
    std::string converted;
    std::string_view subject = text;
    if (!IsAscii(text)) {
        converted = Gb18030ToUtf8(text);
        subject = converted;
    }
    size_t position = 0;
    size_t length = 0;
    if (regex_->FirstMatchSpan(subject, &position, &length) != RegexStatus::kMatch) return false;
    // Whole text: the leftmost match itself must cover the text, so a|ab does not match "ab".
    return !options_.wholeText || (position == 0 && length == subject.size());
}

bool MatchText(std::string_view text, std::string_view query, const MatchOptions& options) {
    return TextMatcher(query, options).Matches(text);
}

std::string WildcardToRegex(std::string_view text) {
    // Escaping each special character in turn, the backslash first, gives the same as one
    // pass that escapes all of them. Only single-byte characters are looked at: a trail byte
    // such as 0x5C or 0x5B is part of a Chinese character, not a backslash or a bracket.
    constexpr std::string_view kSpecial = "\\^$+.{}[]=()-\"";
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = CharLength(text, pos);
        const char c = text[pos];
        if (length > 1) {
            out.append(text.substr(pos, length));
        } else if (c == '*') {
            out += ".*";
        } else if (c == '?') {
            out += ".?";  // at most one character, not exactly one
        } else {
            if (kSpecial.find(c) != std::string_view::npos) out += '\\';
            out += c;
        }
        pos += length;
    }
    return out;
}

}  // namespace qm
