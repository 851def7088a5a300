#include "editor/font_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSet>
#include <QSignalBlocker>
#include <QSlider>

#include "common/qt_text.h"
#include "editor/note_editor.h"

namespace qm {

namespace {

constexpr int kMinSize = 1;
constexpr int kMaxSize = 100;

}  // namespace

FontBar::FontBar(NoteEditor& editor, QWidget* parent)
    : QWidget(parent),
      editor_(editor),
      face_(new QComboBox(this)),
      bold_(new QCheckBox(this)),
      size_(new QSlider(Qt::Horizontal, this)) {
    face_->setObjectName(QStringLiteral("组合框字体名"));
    bold_->setObjectName(QStringLiteral("选择框加粗"));
    size_->setObjectName(QStringLiteral("滑块条大小"));

    face_->setEditable(true);
    // Enter applies the typed face; it must not also add it to the list.
    face_->setInsertPolicy(QComboBox::NoInsert);
    face_->setMinimumContentsLength(12);
    face_->installEventFilter(this);
    size_->setRange(kMinSize, kMaxSize);

    // A bar: as tall as its controls, as wide as the pane.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(face_);
    layout->addWidget(bold_);
    layout->addWidget(size_, 1);

    // Only user actions apply: activated and clicked are not emitted for programmatic changes,
    // and restore() blocks the slider's signal while it sets the values.
    connect(face_, &QComboBox::activated, this, &FontBar::applyChanges);
    connect(face_->lineEdit(), &QLineEdit::returnPressed, this, &FontBar::applyChanges);
    connect(bold_, &QCheckBox::clicked, this, &FontBar::applyChanges);
    connect(size_, &QSlider::valueChanged, this, &FontBar::applyChanges);
}

void FontBar::restore(const FontPanelValues& values) {
    {
        const QSignalBlocker blockFace(face_);
        const QSignalBlocker blockBold(bold_);
        const QSignalBlocker blockSize(size_);
        face_->setEditText(FromGb(values.name));
        bold_->setChecked(values.bold);
        size_->setValue(values.size);
    }
    apply();
}

FontPanelValues FontBar::values() const {
    return FontPanelValues{ToGb(face_->currentText()), bold_->isChecked(), size_->value()};
}

void FontBar::applyChanges() {
    // Enter on a listed face also selects that item, so one key press can arrive twice.
    if (values() != lastApplied_) apply();
}

void FontBar::apply() {
    const FontPanelValues current = values();
    lastApplied_ = current;
    FontSpec font = editor_.getFont();
    font.name = current.name;
    font.size = current.size;
    font.bold = current.bold;
    editor_.setFont(font);
    emit applied(current);
    bold_->setText(QStringLiteral("粗 %1号").arg(current.size));
}

bool FontBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == face_ && event->type() == QEvent::FocusIn && face_->count() == 0) {
        fillFaceList();
    }
    return QWidget::eventFilter(watched, event);
}

void FontBar::fillFaceList() {
    QStringList faces;
    QSet<QString> seen;
    for (const QString& family : QFontDatabase::families()) {
        if (!family.isEmpty() && !seen.contains(family)) {
            seen.insert(family);
            faces.append(family);
        }
    }
    // Filling an empty editable combo box selects the first item; the typed face stays.
    const QString typed = face_->currentText();
    const QSignalBlocker block(face_);
    face_->addItems(faces);
    face_->setCurrentIndex(face_->findText(typed, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    face_->setEditText(typed);
}

}  // namespace qm
