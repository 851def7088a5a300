// Turns the bytes of a foreign text file (gzip, byte-order marks, HTML meta charsets,
// UTF-8 without a mark, UTF-16, BIG5, BIG5-HKSCS) into the program's GB18030 text.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// What the decoder recognised.
enum class TextEncoding {
    kNone = 0,       // nothing recognised yet (working value)
    kGbk = 1,        // taken unchanged
    kUtf8 = 2,
    kUtf16Le = 3,
    kUtf16Be = 4,
    kBig5 = 5,
    kBig5Hkscs = 6,
};

// A gzip file inflates to at most this many bytes; the rest of a larger one (a small file that
// unpacks to gigabytes) is dropped, as the rest of a damaged one is.
inline constexpr size_t kMaxInflatedSize = size_t{256} << 20;

struct DecodedText {
    std::string text;  // GB18030, ends before the first zero byte
    TextEncoding encoding = TextEncoding::kNone;
};

// Decodes the file at `path` when it is not empty; otherwise `bytes`, or `text` when
// `bytes` is empty. A file that cannot be opened gives the empty text (encoding kNone).
DecodedText DecodeText(const std::string& path, std::string_view bytes, std::string_view text);

// The decoded text of the file at `path`; empty when it cannot be opened.
std::string ReadTextFile(const std::string& path);

// The decoded text of a byte block.
std::string DecodeTextBytes(std::string_view bytes);

}  // namespace qm
