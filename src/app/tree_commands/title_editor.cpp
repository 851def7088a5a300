#include "app/tree_commands/title_editor.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <algorithm>

#include "app/trees/note_tree_view.h"
#include "app/trees/outline_model.h"

namespace qm {

namespace {

// The line edit: Enter and leaving end the edit, Esc drops it.
class TitleBox : public QLineEdit {
public:
    TitleBox(QWidget* parent, TitleEditor* editor) : QLineEdit(parent), editor_(editor) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                editor_->finish();
                return;
            case Qt::Key_Escape:
                editor_->cancel();
                return;
            default:
                QLineEdit::keyPressEvent(event);
        }
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        // A context menu of the box itself takes the focus only for a moment.
        if (event->reason() != Qt::PopupFocusReason) editor_->finish();
    }

private:
    TitleEditor* editor_;
};

}  // namespace

TitleEditor::TitleEditor(NoteTreeView* view)
    : QObject(view), view_(view), box_(new TitleBox(view->viewport(), this)) {
    box_->setObjectName(QStringLiteral("标题编辑框"));
    box_->hide();
    // A rebuilt tree no longer has the edited item where it was: the edit is dropped.
    connect(view_->outlineModel(), &QAbstractItemModel::modelAboutToBeReset, this,
            &TitleEditor::cancel);
    // So do items inserted, removed or moved in place: the edited node's number may shift.
    connect(view_->outlineModel(), &QAbstractItemModel::rowsAboutToBeInserted, this,
            &TitleEditor::cancel);
    connect(view_->outlineModel(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &TitleEditor::cancel);
    connect(view_->outlineModel(), &QAbstractItemModel::rowsAboutToBeMoved, this,
            &TitleEditor::cancel);
    // When the items move under the box, it would stand over another one: the edit ends there,
    // as when the box is left.
    connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, &TitleEditor::finish);
    connect(view_, &QTreeView::expanded, this, &TitleEditor::finish);
    connect(view_, &QTreeView::collapsed, this, &TitleEditor::finish);
}

TitleEditor::~TitleEditor() = default;

bool TitleEditor::begin(int node) {
    finish();
    const QModelIndex index = view_->outlineModel()->indexOfNode(node);
    if (!index.isValid()) return false;
    view_->scrollTo(index);
    QRect rect = view_->visualRect(index);
    // The box covers the caption from the icon on, and leaves room to type a longer title.
    const int icon = view_->iconSize().isValid() ? view_->iconSize().width() : 16;
    rect.setLeft(rect.left() + icon + 4);
    rect.setWidth(std::max(rect.width(), view_->viewport()->width() - rect.left()));
    node_ = node;
    box_->setText(index.data(Qt::DisplayRole).toString());
    box_->setGeometry(rect);
    box_->selectAll();
    box_->show();
    box_->setFocus(Qt::OtherFocusReason);
    return true;
}

int TitleEditor::close() {
    const int node = node_;
    node_ = -1;  // first: hiding the box moves the focus, which must not end the edit twice
    if (box_->hasFocus()) view_->setFocus(Qt::OtherFocusReason);
    box_->hide();
    return node;
}

void TitleEditor::finish() {
    if (!isEditing()) return;
    const QString text = box_->text();
    const int node = close();
    emit finished(node, text);
}

void TitleEditor::cancel() {
    if (isEditing()) close();
}

}  // namespace qm
