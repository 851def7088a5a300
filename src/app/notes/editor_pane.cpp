#include "app/notes/editor_pane.h"

#include <QAction>
#include <QIcon>
#include <QStyle>
#include <QVBoxLayout>

#include "app/frame/main_tool_bar.h"
#include "app/frame/window_layout.h"
#include "app/widgets/settings_adapters.h"
#include "editor/font_bar.h"
#include "editor/font_bar_settings.h"
#include "editor/note_editor.h"

namespace qm {

namespace {

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback, const QWidget* widget) {
    return QIcon::fromTheme(QString::fromLatin1(name), widget->style()->standardIcon(fallback));
}

}  // namespace

EditorPane::EditorPane(MainToolBar* toolBar, WindowLayout& layout, QWidget* editorArea,
                       SettingsStore& settings, QObject* parent)
    : QObject(parent),
      editor_(new NoteEditor({}, editorArea)),
      fontBar_(new FontBar(*editor_, editorArea->parentWidget())) {
    auto* fill = new QVBoxLayout(editorArea);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(editor_);

    fontBar_->setObjectName(QStringLiteral("字体属性工具条"));
    fontBar_->hide();
    WindowLayout::Bar bar;
    bar.button = kFontButton;
    bar.widget = fontBar_;
    bar.height = kFontBarHeight;
    bar.order = kFontButton;  // the feature bars stack in button order
    layout.addBar(bar);
    toolBar->addButton(
        kFontButton, QStringLiteral("字体"), QStringLiteral("字体属性工具条"), true,
        ThemeIcon("preferences-desktop-font", QStyle::SP_FileDialogDetailedView, toolBar));

    QAction* paste =
        toolBar->addButton(kPasteButton, QStringLiteral("粘贴"), QStringLiteral("粘贴内容"), false,
                           ThemeIcon("edit-paste", QStyle::SP_DialogOpenButton, toolBar));
    QAction* copy =
        toolBar->addButton(kCopyButton, QStringLiteral("复制"), QStringLiteral("复制内容"), false,
                           ThemeIcon("edit-copy", QStyle::SP_DialogSaveButton, toolBar));
    QAction* clear =
        toolBar->addButton(kClearButton, QStringLiteral("清空"), QStringLiteral("清空内容"), false,
                           ThemeIcon("edit-clear", QStyle::SP_DialogResetButton, toolBar));
    if (paste != nullptr) {
        connect(paste, &QAction::triggered, editor_, &NoteEditor::pasteReplacingAll);
    }
    if (copy != nullptr) {
        connect(copy, &QAction::triggered, editor_, [this] { editor_->copyAllToClipboard(); });
    }
    if (clear != nullptr) {
        connect(clear, &QAction::triggered, editor_, [this] { editor_->setText({}); });
    }

    UseMainSection(settings);
    BindFontBarToSettings(*fontBar_, settings);
}

}  // namespace qm
