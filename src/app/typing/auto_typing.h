// Automatic typing: toolbar button 10 "打字" shows the typing bar; "打字" plays the loaded note
// back into the editor character by character, with a wait per character, pause, resume and
// stop. While it runs the note is guarded: saves keep the stored full text, the editor takes
// no edits from the user, another note cannot be selected and the tree commands are held back.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

namespace qm {

class MainToolBar;
class NoteSession;
class TypingBar;
class WindowLayout;

class AutoTyping : public QObject {
    Q_OBJECT
public:
    static constexpr int kToolBarButton = 10;
    static const char* const kIdleCaption;    // "打字"
    static const char* const kPauseCaption;   // "暂停"
    static const char* const kResumeCaption;  // "继续"
    static const char* const kStoppedText;    // "已停止打字"
    static const char* const kSwitchWarning;  // "正在打字呢，先停止打字再查看其他笔记吧！"

    // Adds the toolbar button, registers the bar with the layout (hidden until checked) and a
    // selection blocker with the session. Everything passed in must outlive this object.
    AutoTyping(MainToolBar* toolBar, WindowLayout& layout, QWidget* clientArea,
               NoteSession* session, QObject* parent = nullptr);
    ~AutoTyping() override;

    // Widgets whose events would change the trees (tree views) and commands that change them
    // (toolbar actions): held back while typing runs.
    void guardTreeViews(const QList<QWidget*>& views);
    void guardActions(const QList<QAction*>& actions);

    // "打字": starts typing when idle (returns when it has ended), otherwise toggles pausing.
    void typeClicked();
    // "停止": the running loop ends within 10 ms and the whole note is shown again.
    void stop();

    // True while the button does not show "打字".
    bool running() const;
    TypingBar* bar() const { return bar_; }

signals:
    // Character `index` of `total` (from 1) is in the editor and the progress shows it.
    void typed(qint64 index, qint64 total);
    // The loop ended (all typed or stopped) and the note is back in the editor.
    void finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run();
    void setGuard(bool on);
    // Runs `change` on the editor with its read-only state lifted.
    template <typename Change>
    void editEditor(Change change);
    // Processes events; returns false when this object went away meanwhile.
    bool pump();

    NoteSession* session_;
    TypingBar* bar_;
    bool stopRequested_ = false;
    QList<QPointer<QWidget>> views_;
    QList<QPointer<QAction>> actions_;
    QList<bool> actionsEnabled_;
};

}  // namespace qm
