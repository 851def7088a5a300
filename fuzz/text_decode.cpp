// Text decoding of arbitrary bytes: gzip, byte-order marks, meta charsets, UTF-8, UTF-16,
// BIG5 turned into GB18030, and the two conversions of the editor. A valid UTF-8 text must
// come back unchanged through GB18030.
#include <cstdint>
#include <string>

#include "common/charset.h"
#include "fuzz_input.h"
#include "store/text_decoder.h"

namespace {

using qm::fuzz::Require;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto trail = static_cast<unsigned char>(text[i + k]);
            if ((trail & 0xC0) != 0x80) return false;
            code = (code << 6) | (trail & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
            (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string decoded = qm::DecodeTextBytes(bytes);
    Require(decoded.find('\0') == std::string::npos, "decoded text ends before a zero byte");
    const qm::DecodedText viaText = qm::DecodeText({}, {}, bytes);
    Require(viaText.text == decoded, "text and bytes decode alike");

    const std::string utf8 = qm::Gb18030ToUtf8(bytes);
    Require(IsValidUtf8(utf8), "GB18030 decoding gives valid UTF-8");
    const std::string gb = qm::Utf8ToGb18030(bytes);
    if (IsValidUtf8(bytes)) {
        Require(qm::Gb18030ToUtf8(gb) == bytes, "valid UTF-8 survives GB18030");
    }
    if (qm::IsAscii(bytes)) {
        Require(gb == bytes && utf8 == bytes, "ASCII text stays as it is");
    }

    std::string out;
    qm::ConvertCharset(bytes, "UTF-16LE", "GB18030", "?", &out);
    qm::ConvertCharset(bytes, "BIG5-HKSCS", "UTF-8", "\xEF\xBF\xBD", &out);
    return 0;
}
