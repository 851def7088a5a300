#include "app/transfer/choose_folder.h"

#include "app/widgets/file_dialog.h"

namespace qm {

QString ChooseFolder(QWidget* parent, const QString& prompt) {
    return FileDialog::getExistingDirectory(parent, prompt).trimmed();
}

}  // namespace qm
