#include "editor/link_clicks.h"

#include "common/qt_text.h"
#include "editor/link_styler.h"
#include "editor/note_editor.h"

namespace qm {

LinkClicks::LinkClicks(NoteEditor& editor, const LinkStyler& styler, QObject* parent)
    : QObject(parent), editor_(editor), styler_(styler), shape_(NoteEditor::kNormalCursor) {
    connect(&editor_, &NoteEditor::mouseHover, this, &LinkClicks::onHover);
    connect(&editor_, &NoteEditor::leftButtonReleased, this, &LinkClicks::onLeftButtonReleased);
    connect(&editor_, &NoteEditor::doubleClicked, this, [this](int) { onDoubleClicked(); });
}

void LinkClicks::setLinkAction(int action) {
    action_ = action == kSingleClick || action == kDoubleClick ? action : kNoAction;
}

void LinkClicks::onHover(int position, bool ended) {
    int shape = NoteEditor::kNormalCursor;
    if (!ended && position != -1 && action_ != kNoAction) {
        currentLink_ = styler_.linkAt(position);
        if (!currentLink_.empty()) shape = NoteEditor::kHandCursor;
    } else {
        currentLink_.clear();
    }
    if (shape != shape_) {
        editor_.setCursor(shape);
        shape_ = shape;
    }
}

void LinkClicks::onLeftButtonReleased() {
    // A press on a link dragged into a selection selects text; it does not open the link.
    if (action_ == kSingleClick && editor_.selectionLength() == 0) open();
}

void LinkClicks::onDoubleClicked() {
    if (action_ == kDoubleClick) open();
}

void LinkClicks::open() {
    if (!currentLink_.empty()) emit openRequested(FromGb(currentLink_));
}

}  // namespace qm
