// The preview library's entry point, found by name by editor/preview_loader.
#include <QtGlobal>

#include "editor/preview/note_preview.h"
#include "editor/preview/preview_scheme.h"

extern "C" Q_DECL_EXPORT qm::PreviewSurface* qm_make_note_preview(QWidget* parent) {
    // Before the first profile of the engine: the scheme and, as root, the sandbox switch.
    qm::PrepareWebPreview();
    return new qm::NotePreview(parent);
}
