// Every file and folder dialog of the program goes through here, so that a test can give the
// answer in advance instead of a user.
#pragma once

#include <QString>

class QWidget;

namespace qm {

class FileDialog {
public:
    // The chosen file name, or an empty text when the user cancelled.
    static QString getSaveFileName(QWidget* parent, const QString& caption,
                                   const QString& startPath = {}, const QString& filter = {});
    // The chosen folder (the dialog has an edit field for typing a path), or an empty text.
    static QString getExistingDirectory(QWidget* parent, const QString& caption,
                                        const QString& startFolder = {});

    // Test hook: the next dialog is not shown and returns `name` (empty: as if cancelled).
    static void setNextFileName(const QString& name);
    // How many dialogs were answered in advance since the last reset, and forgets queued names.
    static int answeredCount();
    static void reset();
};

}  // namespace qm
