// Opening links with the mouse: the pointer rests on a link (the hand shows), and a single or
// a double click, as "链接设置" chooses, asks for the link to be opened.
#pragma once

#include <QObject>
#include <QString>
#include <string>

namespace qm {

class LinkStyler;
class NoteEditor;

class LinkClicks : public QObject {
    Q_OBJECT
public:
    enum Action { kNoAction = 0, kSingleClick = 1, kDoubleClick = 2 };

    // Listens to the editor's posted hover and click events; both must outlive this object.
    LinkClicks(NoteEditor& editor, const LinkStyler& styler, QObject* parent = nullptr);

    // 0 no action, 1 single click, 2 double click; any other value means no action.
    void setLinkAction(int action);
    int linkAction() const { return action_; }

    // The link under the resting pointer (GB18030), "" when none; kept until the next hover.
    const std::string& currentLink() const { return currentLink_; }
    // The pointer shape last set: NoteEditor::kHandCursor, or kNormalCursor (also at start).
    int cursorShape() const { return shape_; }

    // The pointer rested at `position` (-1 off the text), or stopped resting (`ended`).
    void onHover(int position, bool ended);
    // The left button came up: opens with a single click, unless it ended a selection.
    void onLeftButtonReleased();
    // A double click: opens with the double-click action.
    void onDoubleClicked();

signals:
    // The current link must be opened (UTF-8 text as written in the note).
    void openRequested(const QString& link);

private:
    void open();

    NoteEditor& editor_;
    const LinkStyler& styler_;
    int action_ = kSingleClick;
    std::string currentLink_;
    int shape_;
};

}  // namespace qm
