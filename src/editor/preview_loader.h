// Makes the note's preview from the preview library, opened on the first preview, so that the
// program never maps the web engine until a note is previewed.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace qm {

class PreviewSurface;

// The library's one exported function (extern "C", by this name): makes a hidden preview over
// `parent`, which owns it.
using MakeNotePreviewFunction = PreviewSurface* (*)(QWidget* parent);
inline constexpr char kMakeNotePreview[] = "qm_make_note_preview";
// The library's file name, beside the program's executable.
inline constexpr char kPreviewLibraryFile[] = "libcorvanel_preview.so";

class PreviewLoader {
public:
    // Opens the library (once; it stays loaded) and makes a hidden preview over `parent`.
    // Returns nullptr and puts the reason (the loader's own words) into `error` when the
    // library or its function cannot be loaded; nothing is made then.
    static PreviewSurface* make(QWidget* parent, QString* error);

    // Where the library is looked for, first to last: the path set below, or beside the
    // executable and then where the build put it.
    static QStringList candidates();
    // For tests: look only at `path` (an empty path restores the usual places).
    static void setLibraryPath(const QString& path);
};

}  // namespace qm
