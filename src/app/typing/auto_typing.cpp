#include "app/typing/auto_typing.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include "app/frame/main_tool_bar.h"
#include "app/frame/window_layout.h"
#include "app/notes/note_session.h"
#include "app/typing/typing_bar.h"
#include "app/typing/typing_progress_bar.h"
#include "common/qt_text.h"
#include "editor/note_editor.h"
#include "tools/typing/typing_text.h"

namespace qm {

const char* const AutoTyping::kIdleCaption = "打字";
const char* const AutoTyping::kPauseCaption = "暂停";
const char* const AutoTyping::kResumeCaption = "继续";
const char* const AutoTyping::kStoppedText = "已停止打字";
const char* const AutoTyping::kSwitchWarning = "正在打字呢，先停止打字再查看其他笔记吧！";

AutoTyping::AutoTyping(MainToolBar* toolBar, WindowLayout& layout, QWidget* clientArea,
                       NoteSession* session, QObject* parent)
    : QObject(parent), session_(session), bar_(new TypingBar(clientArea)) {
    bar_->hide();
    WindowLayout::Bar bar;
    bar.button = kToolBarButton;
    bar.widget = bar_;
    bar.height = TypingBar::kHeight;
    bar.order = kToolBarButton;
    layout.addBar(bar);
    toolBar->addButton(kToolBarButton, QStringLiteral("打字"), QStringLiteral("自动打字工具条"),
                       true);

    connect(bar_, &TypingBar::typeRequested, this, &AutoTyping::typeClicked);
    connect(bar_, &TypingBar::stopRequested, this, &AutoTyping::stop);
    session_->addSelectionBlocker([this](QString* warning) {
        if (!running()) return false;
        *warning = QString::fromUtf8(kSwitchWarning);
        return true;
    });
}

AutoTyping::~AutoTyping() = default;

void AutoTyping::guardTreeViews(const QList<QWidget*>& views) {
    for (QWidget* view : views) {
        views_.append(view);
        view->installEventFilter(this);
        if (auto* items = qobject_cast<QAbstractItemView*>(view)) {
            items->viewport()->installEventFilter(this);
        }
    }
}

void AutoTyping::guardActions(const QList<QAction*>& actions) {
    for (QAction* action : actions) {
        if (action != nullptr) actions_.append(action);
    }
}

bool AutoTyping::running() const {
    return bar_->typeButton()->text() != QString::fromUtf8(kIdleCaption);
}

void AutoTyping::typeClicked() {
    QPushButton* button = bar_->typeButton();
    if (button->text() == QString::fromUtf8(kPauseCaption)) {
        button->setText(QString::fromUtf8(kResumeCaption));
    } else if (button->text() == QString::fromUtf8(kResumeCaption)) {
        button->setText(QString::fromUtf8(kPauseCaption));
    } else {
        run();
    }
}

void AutoTyping::stop() { stopRequested_ = true; }

bool AutoTyping::eventFilter(QObject* watched, QEvent* event) {
    if (!running()) return QObject::eventFilter(watched, event);
    // A tree command started now would change the trees under the note being typed.
    if (event->type() == QEvent::ContextMenu) return true;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_F2 || key == Qt::Key_Delete) return true;
    }
    return QObject::eventFilter(watched, event);
}

void AutoTyping::setGuard(bool on) {
    session_->setTextHeld(on);
    session_->editor()->setReadOnly(on);
    if (on) actionsEnabled_.clear();
    for (int i = 0; i < actions_.size(); ++i) {
        QAction* action = actions_[i];
        if (on) {
            actionsEnabled_.append(action != nullptr && action->isEnabled());
            if (action != nullptr) action->setEnabled(false);
        } else if (action != nullptr && i < actionsEnabled_.size()) {
            action->setEnabled(actionsEnabled_[i]);
        }
    }
}

template <typename Change>
void AutoTyping::editEditor(Change change) {
    NoteEditor* editor = session_->editor();
    editor->setReadOnly(false);
    change(editor);
    editor->setReadOnly(true);
}

bool AutoTyping::pump() {
    QPointer<AutoTyping> alive(this);
    QCoreApplication::processEvents();
    return !alive.isNull();
}

void AutoTyping::run() {
    QPushButton* button = bar_->typeButton();
    button->setText(QString::fromUtf8(kPauseCaption));
    bar_->stopButton()->setEnabled(true);
    stopRequested_ = false;

    // Unsaved edits are part of what is typed, and on disk before the editor is emptied.
    session_->saveCurrentNote(true);
    const std::string text = session_->loadedText();
    setGuard(true);
    bool alive = true;
    const std::vector<std::string> chars = CutIntoCharacters(text, [&] {
        if (alive) alive = pump();
    });
    if (!alive) return;

    editEditor([](NoteEditor* editor) { editor->setText({}); });
    bar_->progress()->reset();
    const int64_t total = static_cast<int64_t>(chars.size());
    for (int64_t i = 1; i <= total && !stopRequested_; ++i) {
        editEditor([&](NoteEditor* editor) {
            editor->appendText(chars[static_cast<size_t>(i - 1)]);
            editor->scrollToEnd();
        });
        const int interval = ParseTypingInterval(ToGb(bar_->intervalBox()->text()));
        bar_->progress()->show(TypingPercent(i, total),
                               FromGb(TypingProgressText(i, total, interval)));
        emit typed(i, total);
        // Events are processed after every character, so "停止" answers at any interval.
        if (!pump()) return;
        const int steps = TypingWaitSteps(ParseTypingInterval(ToGb(bar_->intervalBox()->text())));
        for (int step = 0; step < steps && !stopRequested_; ++step) {
            QThread::msleep(10);
            if (!pump()) return;
        }
        while (button->text() == QString::fromUtf8(kResumeCaption) && !stopRequested_) {
            QThread::msleep(10);
            if (!pump()) return;
        }
    }

    editEditor([&](NoteEditor* editor) { editor->setText(text); });
    setGuard(false);
    bar_->stopButton()->setEnabled(false);
    button->setText(QString::fromUtf8(kIdleCaption));
    bar_->progress()->setText(QString::fromUtf8(kStoppedText));
    emit finished();
}

}  // namespace qm
