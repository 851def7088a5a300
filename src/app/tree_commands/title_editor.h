// In-place editing of a note title: a line edit laid over the item's text in the tree view.
// Enter, leaving the box, or items moving under it (scrolling, expanding, collapsing) end the
// edit with its text; Esc ends it without one. Whoever listens to `finished` decides whether
// the new title is taken.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace qm {

class NoteTreeView;

class TitleEditor : public QObject {
    Q_OBJECT
public:
    explicit TitleEditor(NoteTreeView* view);
    ~TitleEditor() override;

    // Opens the box over node `node` with its title selected and the focus in it. An edit
    // still open is ended first, as if the box had been left. Returns false, with nothing
    // opened, when the node has no item.
    bool begin(int node);
    // Ends the open edit with the box's text (emits finished). Does nothing when none is open.
    void finish();
    // Closes the open edit without emitting anything.
    void cancel();

    bool isEditing() const { return node_ >= 0; }
    // The node being edited, -1 when none.
    int node() const { return node_; }
    // The line edit (hidden while no edit is open).
    QLineEdit* box() const { return box_; }

signals:
    // The edit of `node` ended with `text`.
    void finished(int node, const QString& text);

private:
    // Hides the box and gives the focus back to the tree; returns the node that was edited.
    int close();

    NoteTreeView* view_;
    QLineEdit* box_;
    int node_ = -1;
};

}  // namespace qm
