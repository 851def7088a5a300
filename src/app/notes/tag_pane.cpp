#include "app/notes/tag_pane.h"

#include <QAction>
#include <QIcon>
#include <QStyle>

#include "app/frame/main_tool_bar.h"
#include "app/frame/window_layout.h"
#include "app/notes/editor_pane.h"
#include "app/notes/note_session.h"
#include "app/widgets/message_box.h"
#include "editor/note_editor.h"
#include "editor/preview_loader.h"
#include "editor/preview_surface.h"
#include "editor/tag_bar.h"

namespace qm {

TagPane::TagPane(MainToolBar* toolBar, WindowLayout& layout, QWidget* editorArea,
                 NoteEditor* editor, QObject* parent)
    : QObject(parent),
      editorArea_(editorArea),
      editor_(editor),
      bar_(new TagBar(*editor, editorArea->parentWidget())) {
    bar_->hide();
    WindowLayout::Bar entry;
    entry.button = kTagButton;
    entry.widget = bar_;
    entry.height = kTagBarHeight;
    entry.order = kTagButton;  // the feature bars stack in button order
    layout.addBar(entry);
    toolBar->addButton(kTagButton, QStringLiteral("标签"), QStringLiteral("标签代码工具条"), true,
                       QIcon::fromTheme(QStringLiteral("text-html"),
                                        toolBar->style()->standardIcon(QStyle::SP_FileIcon)));

    connect(bar_, &TagBar::previewToggled, this, &TagPane::setPreviewShown);
    // These replace the whole text: a preview shown follows them.
    for (const int button : {EditorPane::kPasteButton, EditorPane::kClearButton}) {
        if (QAction* action = toolBar->button(button)) {
            connect(action, &QAction::triggered, this, &TagPane::refreshPreview);
        }
    }
}

void TagPane::followSession(NoteSession* session) {
    connect(session, &NoteSession::noteShown, this, &TagPane::refreshPreview);
}

bool TagPane::previewShown() const { return preview_ != nullptr && preview_->isVisible(); }

void TagPane::setPreviewShown(bool shown) {
    bar_->setPreviewPressed(shown);
    if (!shown) {
        if (preview_ != nullptr) preview_->hide();
        editor_->show();
        editor_->focus();
        return;
    }
    if (preview_ == nullptr) {
        QString error;
        preview_ = PreviewLoader::make(editorArea_, &error);
        if (preview_ == nullptr) {
            bar_->setPreviewPressed(false);
            MessageBox::warning(editorArea_->window(),
                                QStringLiteral("无法打开网页预览：预览组件载入失败，"
                                               "笔记仍在编辑器中。\n\n原因：%1")
                                    .arg(error));
            return;
        }
        connect(preview_, &PreviewSurface::linkClicked, this, &TagPane::previewLinkClicked);
    }
    editor_->hide();
    preview_->showText(editor_->getText());
}

void TagPane::refreshPreview() {
    if (previewShown()) preview_->showText(editor_->getText());
}

}  // namespace qm
