#include "app/notes/path_bar.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <functional>

#include "app/notes/note_path.h"
#include "common/qt_text.h"

namespace qm {

namespace {

// The edit box: Enter and a lost focus are reported, Esc closes it without applying, and
// the key goes no further (the window would take Esc as "hide to the tray").
class PathEditBox : public QLineEdit {
public:
    PathEditBox(QWidget* parent, std::function<void()> onLeft, std::function<void()> onEscape)
        : QLineEdit(parent), onLeft_(std::move(onLeft)), onEscape_(std::move(onEscape)) {}

protected:
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        // Switching to another window or opening a popup comes back to the edit box.
        const Qt::FocusReason reason = event->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
        if (isVisible()) onLeft_();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            onEscape_();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    std::function<void()> onLeft_;
    std::function<void()> onEscape_;
};

}  // namespace

PathBar::PathBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("图片框路径"));
    // Segment widths allow 8 pixels per byte: a two-byte character gets 16.
    QFont small = font();
    small.setPixelSize(12);
    setFont(small);

    template_ = makeButton();
    template_->setObjectName(QStringLiteral("超级按钮1"));
    template_->setToolTip(QStringLiteral("手动编辑路径"));
    connect(template_, &QToolButton::clicked, this, &PathBar::editRequested);

    editBox_ = new PathEditBox(
        this, [this] { emit editorLeft(); }, [this] { closeEditor(); });
    editBox_->setObjectName(QStringLiteral("编辑框路径"));
    editBox_->hide();
    connect(editBox_, &QLineEdit::returnPressed, this, &PathBar::editorEntered);
    placeFillers();
}

QToolButton* PathBar::makeButton() {
    auto* button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, this,
            [this, button](const QPoint& pos) { emit menuRequested(button->mapToGlobal(pos)); });
    button->show();
    return button;
}

int PathBar::SegmentWidth(const std::string& caption, bool first) {
    return 8 * static_cast<int>(caption.size()) + (first ? 6 : 0);
}

void PathBar::showPath(const std::string& path) {
    std::vector<std::string> pieces;
    if (!path.empty()) pieces = SplitPath(path);
    // The root's path "QM:\" is one piece followed by a backslash: one button.
    if (pieces.size() == 2 && pieces[1].empty()) pieces.pop_back();
    const size_t n = pieces.size();

    while (segments_.size() > n) {
        // A click on this very button may be what led here: delete it once that is over.
        segments_.back()->hide();
        segments_.back()->deleteLater();
        segments_.pop_back();
    }
    while (segments_.size() < n) {
        QToolButton* button = makeButton();
        const int k = static_cast<int>(segments_.size());
        button->setObjectName(QStringLiteral("路径段%1").arg(k + 1));
        connect(button, &QToolButton::clicked, this, [this, k] { emit segmentClicked(k); });
        segments_.push_back(button);
    }
    tags_.assign(n, {});

    int x = 0;
    std::string tag;
    for (size_t k = 0; k < n; ++k) {
        std::string caption = pieces[k];
        if (n == 1 || k + 1 < n) caption += '\\';
        tag += caption;
        tags_[k] = tag;
        QToolButton* button = segments_[k];
        const QString shown = FromGb(caption);
        button->setText(shown);
        button->setToolTip(FromGb(tag));
        const int width = SegmentWidth(caption, k == 0);
        button->setGeometry(x, kButtonTop, width, kButtonHeight);
        button->setVisible(true);
        x += width;
    }
    placeFillers();
}

void PathBar::placeFillers() {
    int x = 0;
    if (!segments_.empty()) x = segments_.back()->geometry().right() + 1;
    template_->setGeometry(x, kButtonTop, std::max(0, width() - x), kButtonHeight);
    editBox_->setGeometry(0, kButtonTop, width(), kButtonHeight);
}

void PathBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeFillers();
}

QAbstractButton* PathBar::segment(int k) const {
    if (k < 0 || k >= segmentCount()) return nullptr;
    return segments_[static_cast<size_t>(k)];
}

std::string PathBar::tagOf(int k) const {
    if (k < 0 || k >= segmentCount()) return {};
    return tags_[static_cast<size_t>(k)];
}

QAbstractButton* PathBar::templateButton() const { return template_; }

QLineEdit* PathBar::editBox() const { return editBox_; }

void PathBar::openEditor(const QString& text) {
    editBox_->setText(text);
    editBox_->raise();
    editBox_->show();
    editBox_->setFocus(Qt::OtherFocusReason);
}

void PathBar::closeEditor() {
    // Hidden first: the focus it loses on the way is then no "left" to report.
    editBox_->hide();
    editBox_->clear();
}

bool PathBar::editorOpen() const { return !editBox_->isHidden(); }

}  // namespace qm
