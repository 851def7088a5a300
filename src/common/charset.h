// Character-set conversion through iconv, with the two conversions the program makes most:
// the core's GB18030 byte text to and from UTF-8 (the editor's encoding).
#pragma once

#include <string>
#include <string_view>

namespace qm {

// Converts `bytes` from charset `from` to charset `to` (iconv names). A byte sequence that
// cannot be decoded is skipped one byte at a time and `replacement` is written for it.
// Returns false and leaves `out` empty when iconv has no converter for the pair.
bool ConvertCharset(std::string_view bytes, const char* from, const char* to,
                    std::string_view replacement, std::string* out);

// GB18030 (a superset of GBK) to UTF-8; undecodable bytes become U+FFFD.
std::string Gb18030ToUtf8(std::string_view gb);

// UTF-8 to GB18030; every Unicode character has a GB18030 form, so only malformed
// UTF-8 bytes are replaced (by '?').
std::string Utf8ToGb18030(std::string_view utf8);

// True when every byte is below 0x80, so the text reads the same in both encodings.
bool IsAscii(std::string_view text);

}  // namespace qm
