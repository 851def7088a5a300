// Links in the loaded note: the highlighting, the hand over a link and the click that opens
// it, with the two settings of "链接设置" applied to them.
#pragma once

#include <QObject>

class QWidget;

namespace qm {

class LinkClicks;
class LinkOpener;
class LinkStyler;
class NoteEditor;
class PathCommands;

class NoteLinks : public QObject {
    Q_OBJECT
public:
    // Everything passed in must outlive this object.
    NoteLinks(NoteEditor* editor, PathCommands* paths, QWidget* dialogParent,
              QObject* parent = nullptr);

    // "高亮链接": on restyles every line, off turns every link into plain text; `deferred`
    // only records it (at start-up, before the first note is loaded).
    void setHighlighting(bool on, bool deferred = false);
    // "无动作" 0, "单击链接打开" 1, "双击链接打开" 2.
    void setLinkAction(int action);

    LinkStyler* styler() const { return styler_; }
    LinkClicks* clicks() const { return clicks_; }
    LinkOpener* opener() const { return opener_; }

private:
    LinkStyler* styler_;
    LinkClicks* clicks_;
    LinkOpener* opener_;
};

}  // namespace qm
