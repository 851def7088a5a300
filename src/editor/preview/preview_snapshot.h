// What the preview serves for a note: the text's bytes in the charset its HTML declares, with
// the content type that names that charset.
#pragma once

#include <string>
#include <string_view>

namespace qm {

struct PreviewSnapshot {
    std::string bytes;
    std::string contentType;  // "text/html;charset=..."
};

// The charset named by the first "charset=" in the first 1024 bytes of `html` (a meta tag of
// either form), lower-cased; empty when there is none.
std::string DeclaredCharset(std::string_view html);

// Builds the page for the note text `gb18030`. A page declaring a GBK-family charset (gbk,
// gb2312, gb18030, ...) is served in GB18030, a superset of all of them; any other page in
// UTF-8. The content type names the charset actually served, so the text always decodes as
// it was written.
PreviewSnapshot MakePreviewSnapshot(std::string_view gb18030);

}  // namespace qm
