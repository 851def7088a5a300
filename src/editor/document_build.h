// A new Scintilla document filled away from the view: GB18030 text converted to UTF-8 a slice at
// a time and laid into the document through Scintilla's loader, on whichever thread runs it.
#pragma once

#include <cstddef>
#include <string_view>

namespace qm {

class DocumentBuild {
public:
    // `loader` is the result of SCI_CREATELOADER; this object owns it until take().
    explicit DocumentBuild(void* loader);
    // Releases a document that was never taken.
    ~DocumentBuild();
    DocumentBuild(const DocumentBuild&) = delete;
    DocumentBuild& operator=(const DocumentBuild&) = delete;

    // Appends `gb` (GB18030) as UTF-8. Bytes that do not decode become U+FFFD, as in
    // Gb18030ToUtf8. Returns false when the document refused the data (out of memory); the
    // document then holds what came before.
    bool add(std::string_view gb);
    // The document for SCI_SETDOCPOINTER, holding one reference for the caller; null when it
    // was taken already.
    void* take();

    // What the document holds so far: UTF-8 bytes and lines (CR LF, lone CR, lone LF).
    size_t utf8Bytes() const { return bytes_; }
    size_t lines() const { return lines_; }

    // Where a slice of at most `limit` bytes of `gb` may end without cutting a character: after
    // the last line break before the limit, else at the last character boundary before it.
    static size_t SliceEnd(std::string_view gb, size_t limit);

private:
    void* loader_;
    size_t bytes_ = 0;
    size_t lines_ = 1;
    bool lastWasCr_ = false;
};

}  // namespace qm
