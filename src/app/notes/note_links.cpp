#include "app/notes/note_links.h"

#include "app/notes/link_opener.h"
#include "editor/link_clicks.h"
#include "editor/link_styler.h"
#include "editor/note_editor.h"

namespace qm {

NoteLinks::NoteLinks(NoteEditor* editor, PathCommands* paths, QWidget* dialogParent,
                     QObject* parent)
    : QObject(parent),
      styler_(new LinkStyler(*editor, this)),
      clicks_(new LinkClicks(*editor, *styler_, this)),
      opener_(new LinkOpener(paths, dialogParent, this)) {
    connect(clicks_, &LinkClicks::openRequested, opener_,
            [this](const QString& link) { opener_->open(link); });
}

void NoteLinks::setHighlighting(bool on, bool deferred) {
    styler_->setLinkHighlighting(!on, deferred);
}

void NoteLinks::setLinkAction(int action) { clicks_->setLinkAction(action); }

}  // namespace qm
