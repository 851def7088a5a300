#include "editor/preview_loader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include "editor/preview_surface.h"

namespace qm {

namespace {

QString& LibraryPathOverride() {
    static QString path;
    return path;
}

// The function of the library loaded so far; the library is never unloaded, as the web
// engine cannot be shut down and started again in one process.
MakeNotePreviewFunction& LoadedFunction() {
    static MakeNotePreviewFunction function = nullptr;
    return function;
}

MakeNotePreviewFunction Load(QString* error) {
    const QStringList paths = PreviewLoader::candidates();
    // The first file that is there; when none is, the first place, so that the error names
    // the file the program wanted beside itself.
    QString path = paths.value(0);
    for (const QString& candidate : paths) {
        if (QFileInfo::exists(candidate)) {
            path = candidate;
            break;
        }
    }
    QLibrary library(path);
    if (!library.load()) {
        *error = library.errorString();
        return nullptr;
    }
    auto function = reinterpret_cast<MakeNotePreviewFunction>(library.resolve(kMakeNotePreview));
    if (function == nullptr) *error = library.errorString();
    return function;
}

}  // namespace

QStringList PreviewLoader::candidates() {
    if (!LibraryPathOverride().isEmpty()) return {LibraryPathOverride()};
    QStringList paths;
    if (QCoreApplication::instance() != nullptr) {
        paths << QDir(QCoreApplication::applicationDirPath()).filePath(kPreviewLibraryFile);
    }
#ifdef QM_PREVIEW_BUILD_PATH
    const QString built = QStringLiteral(QM_PREVIEW_BUILD_PATH);
    if (!paths.contains(built)) paths << built;
#endif
    return paths;
}

void PreviewLoader::setLibraryPath(const QString& path) { LibraryPathOverride() = path; }

PreviewSurface* PreviewLoader::make(QWidget* parent, QString* error) {
    QString reason;
    if (LoadedFunction() == nullptr) LoadedFunction() = Load(&reason);
    if (LoadedFunction() == nullptr) {
        if (error != nullptr) *error = reason;
        return nullptr;
    }
    return LoadedFunction()(parent);
}

}  // namespace qm
