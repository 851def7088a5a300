#include "app/notes/properties_dialog.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "app/widgets/file_dialog.h"

namespace qm {

namespace {

QLineEdit* Box(const char* name, bool readOnly, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setReadOnly(readOnly);
    return box;
}

QLabel* Label(const char* name, const char* caption, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

}  // namespace

PropertiesDialog::PropertiesDialog(QWidget* parent)
    : QDialog(parent),
      path_(Box("编辑框外部路径", false, this)),
      choose_(new QPushButton(QStringLiteral(".."), this)),
      change_(new QPushButton(QStringLiteral("修改"), this)),
      created_(Box("编辑框创建时间", true, this)),
      modified_(Box("编辑框修改时间", true, this)),
      accessed_(Box("编辑框访问时间", true, this)) {
    setObjectName(QStringLiteral("属性"));
    setModal(false);
    choose_->setObjectName(QStringLiteral("按钮选择路径"));
    choose_->setFixedWidth(32);
    choose_->installEventFilter(this);
    change_->setObjectName(QStringLiteral("按钮修改"));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("按钮关闭"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label("标签1", "外部路径：", this), 0, 0);
    grid->addWidget(path_, 0, 1);
    grid->addWidget(choose_, 0, 2);
    grid->addWidget(change_, 0, 3);
    grid->addWidget(Label("标签2", "创建时间：", this), 1, 0);
    grid->addWidget(created_, 1, 1, 1, 3);
    grid->addWidget(Label("标签3", "修改时间：", this), 2, 0);
    grid->addWidget(modified_, 2, 1, 1, 3);
    grid->addWidget(Label("标签4", "访问时间：", this), 3, 0);
    grid->addWidget(accessed_, 3, 1, 1, 3);
    grid->addWidget(close, 4, 3);
    resize(460, minimumSizeHint().height());

    connect(path_, &QLineEdit::textChanged, this, &PropertiesDialog::updateChangeButton);
    connect(choose_, &QPushButton::clicked, this, &PropertiesDialog::chooseFile);
    connect(change_, &QPushButton::clicked, this, [this] { emit changeRequested(pathText()); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    updateChangeButton();
}

void PropertiesDialog::fill(const NotePropertiesText& text) {
    setWindowTitle(text.title + QStringLiteral("的属性："));
    keptPath_ = text.externalPath;
    path_->setText(text.externalPath);
    created_->setText(text.created);
    modified_->setText(text.modified);
    accessed_->setText(text.accessed);
    updateChangeButton();
}

QString PropertiesDialog::pathText() const { return path_->text(); }

void PropertiesDialog::setPathText(const QString& text) { path_->setText(text); }

bool PropertiesDialog::changeEnabled() const { return change_->isEnabled(); }

QString PropertiesDialog::StartFolder(const QString& text) {
    const int cut =
        std::max(text.lastIndexOf(QLatin1Char('\\')), text.lastIndexOf(QLatin1Char('/')));
    return cut < 0 ? QString() : text.left(cut);
}

void PropertiesDialog::updateChangeButton() { change_->setEnabled(path_->text() != keptPath_); }

void PropertiesDialog::chooseFile() {
    // The dialog may change the working folder, against which stored paths are resolved.
    const QString working = QDir::currentPath();
    const QString chosen = FileDialog::getSaveFileName(
        this, QStringLiteral("更换外部存储的文件路径："), StartFolder(path_->text()),
        QStringLiteral("文本文件 (*.txt);;全部文件 (*)"));
    QDir::setCurrent(working);
    if (chosen.isEmpty()) return;
    path_->setText(chosen);
    emit pathChosen(chosen);
}

bool PropertiesDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == choose_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        emit revealRequested(path_->text());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace qm
