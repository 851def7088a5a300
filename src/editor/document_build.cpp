#include "editor/document_build.h"

#include <cstddef>
#include <string>

#include "common/chars.h"
#include "common/charset.h"

namespace qm {

// Scintilla's loader interface (ILoader.h of the Scintilla sources in QScintilla): the library
// hands it out through SCI_CREATELOADER but installs no header for it. The three calls and
// their order are Scintilla's; lengths are Sci_Position (ptrdiff_t). Declared outside an
// anonymous namespace: the compiler must not conclude that nothing implements it.
class ScintillaLoader {
public:
    virtual int Release() = 0;
    virtual int AddData(const char* data, std::ptrdiff_t length) = 0;
    virtual void* ConvertToDocument() = 0;

protected:
    ~ScintillaLoader() = default;
};

namespace {

// Slices of this size keep the UTF-8 copy small beside a text of hundreds of megabytes.
constexpr size_t kSliceBytes = size_t{4} << 20;

ScintillaLoader* AsLoader(void* loader) { return static_cast<ScintillaLoader*>(loader); }

}  // namespace

DocumentBuild::DocumentBuild(void* loader) : loader_(loader) {}

DocumentBuild::~DocumentBuild() {
    if (loader_ != nullptr) AsLoader(loader_)->Release();
}

size_t DocumentBuild::SliceEnd(std::string_view gb, size_t limit) {
    if (gb.size() <= limit) return gb.size();
    // CR and LF never occur inside a GB18030 character (trail bytes are 0x30 and above).
    const size_t lf = gb.rfind('\n', limit - 1);
    if (lf != std::string_view::npos && lf + 1 >= limit / 2) return lf + 1;
    size_t pos = lf == std::string_view::npos ? 0 : lf + 1;
    while (true) {
        const size_t next = pos + CharLengthAt(gb, pos);
        if (next > limit) return pos == 0 ? next : pos;
        pos = next;
    }
}

bool DocumentBuild::add(std::string_view gb) {
    if (loader_ == nullptr) return false;
    while (!gb.empty()) {
        const size_t end = SliceEnd(gb, kSliceBytes);
        const std::string utf8 = Gb18030ToUtf8(gb.substr(0, end));
        gb.remove_prefix(end);
        for (const char c : utf8) {
            if (c == '\n') {
                if (!lastWasCr_) ++lines_;
            } else if (c == '\r') {
                ++lines_;
            }
            lastWasCr_ = c == '\r';
        }
        if (AsLoader(loader_)->AddData(utf8.data(), static_cast<std::ptrdiff_t>(utf8.size())) !=
            0) {
            return false;
        }
        bytes_ += utf8.size();
    }
    return true;
}

void* DocumentBuild::take() {
    if (loader_ == nullptr) return nullptr;
    void* document = AsLoader(loader_)->ConvertToDocument();
    loader_ = nullptr;
    return document;
}

}  // namespace qm
