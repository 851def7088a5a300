// The folder chooser of the import and export commands.
#pragma once

#include <QString>

class QWidget;

namespace qm {

// A folder dialog with `prompt` as its caption, an edit field for typing a path and a button
// for a new folder. Returns the chosen path with spaces trimmed at both ends; empty when the
// user cancelled.
QString ChooseFolder(QWidget* parent, const QString& prompt = QStringLiteral("请选择一个文件夹"));

}  // namespace qm
