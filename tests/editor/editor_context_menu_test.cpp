// The editor's right-click menu: entries, greying rules and commands.
#include "editor/editor_context_menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <functional>

#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;
using testing::ShownEditor;
using testing::ViewOf;

QAction* Entry(QMenu& menu, const char* caption) {
    for (QAction* action : menu.actions()) {
        if (action->text() == QString::fromUtf8(caption)) return action;
    }
    return nullptr;
}

TEST(EditorContextMenuTest, EntriesInOrderWithSeparators) {
    NoteEditor editor;
    const auto menu = CreateEditorContextMenu(editor, nullptr);
    QStringList captions;
    for (QAction* action : menu->actions()) {
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(captions.join(' '), QString::fromUtf8("撤销 重做 - 剪切 复制 粘贴 删除 - 全选"));
}

struct GreyingCase {
    const char* state;
    std::function<void(NoteEditor&)> setUp;
    // Enabled: 撤销 重做 剪切 复制 粘贴 删除 全选
    bool enabled[7];
};

TEST(EditorContextMenuTest, GreyedEntriesFollowTheEditorState) {
    const auto text = [](NoteEditor& e, int caret) {
        e.setText(Gb("ab\r\n笔\r\n"));  // a0 b1 CR2 LF3 笔4..7 CR7 LF8, end 9
        e.showRange(caret, 0);
    };
    const GreyingCase cases[] = {
        {"fresh empty editor", [](NoteEditor&) {}, {0, 0, 0, 0, 1, 0, 1}},
        {"caret before a letter", [&](NoteEditor& e) { text(e, 0); }, {1, 0, 0, 0, 1, 1, 1}},
        {"caret at a line end (before CR)",
         [&](NoteEditor& e) { text(e, 2); },
         {1, 0, 0, 0, 1, 0, 1}},
        {"caret between CR and LF", [&](NoteEditor& e) { text(e, 3); }, {1, 0, 0, 0, 1, 0, 1}},
        {"caret before a Chinese character",
         [&](NoteEditor& e) { text(e, 4); },
         {1, 0, 0, 0, 1, 1, 1}},
        {"caret at the document end", [&](NoteEditor& e) { text(e, 9); }, {1, 0, 0, 0, 1, 0, 1}},
        {"selection",
         [&](NoteEditor& e) {
             text(e, 0);
             e.showRange(0, 2);
         },
         {1, 0, 1, 1, 1, 1, 1}},
        {"selection of a line break only",
         [&](NoteEditor& e) {
             text(e, 0);
             e.showRange(2, 2);
         },
         {1, 0, 1, 1, 1, 1, 1}},
        {"after an undo",
         [&](NoteEditor& e) {
             text(e, 0);
             e.undo();
         },
         {0, 1, 0, 0, 1, 0, 1}},
        {"line-feed-only document, caret at a line end",
         [](NoteEditor& e) {
             e.setText("x\ny");
             e.showRange(1, 0);
         },
         {1, 0, 0, 0, 1, 0, 1}},
    };
    const char* captions[] = {"撤销", "重做", "剪切", "复制", "粘贴", "删除", "全选"};
    for (const GreyingCase& c : cases) {
        NoteEditor editor;
        c.setUp(editor);
        const auto menu = CreateEditorContextMenu(editor, nullptr);
        for (int i = 0; i < 7; ++i) {
            QAction* action = Entry(*menu, captions[i]);
            ASSERT_NE(action, nullptr) << captions[i];
            EXPECT_EQ(action->isEnabled(), c.enabled[i]) << c.state << ": " << captions[i];
        }
    }
}

TEST(EditorContextMenuTest, EntriesRunTheEditingCommands) {
    NoteEditor editor;
    const auto run = [&](const char* caption) {
        const auto menu = CreateEditorContextMenu(editor, nullptr);
        QAction* action = Entry(*menu, caption);
        ASSERT_NE(action, nullptr);
        action->trigger();
    };
    editor.setText(Gb("笔记本"));

    editor.showRange(0, 0);
    run("删除");
    EXPECT_EQ(editor.getText(), Gb("记本")) << "deletes the whole character after the caret";

    run("全选");
    EXPECT_EQ(editor.selectionStart(), 0);
    EXPECT_EQ(editor.selectionLength(), 6);

    editor.showRange(0, 3);
    run("复制");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("记"));
    run("剪切");
    EXPECT_EQ(editor.getText(), Gb("本"));
    editor.showRange(3, 0);
    run("粘贴");
    EXPECT_EQ(editor.getText(), Gb("本记"));
    run("撤销");
    EXPECT_EQ(editor.getText(), Gb("本"));
    run("重做");
    EXPECT_EQ(editor.getText(), Gb("本记"));

    editor.showRange(0, 3);
    run("删除");
    EXPECT_EQ(editor.getText(), Gb("记")) << "deletes the selection";
}

TEST(EditorContextMenuTest, RightClickShowsTheEditorsOwnMenu) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->setText("ab");
    editor->showRange(2, 0);
    QWidget* viewport = ViewOf(*editor)->viewport();

    QStringList shown;
    QStringList enabled;
    QTimer::singleShot(0, [&] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (popup == nullptr) return;
        for (QAction* action : popup->actions()) {
            if (action->isSeparator()) continue;
            shown << action->text();
            if (action->isEnabled()) enabled << action->text();
        }
        popup->close();
    });
    const QPoint at(20, 10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport, &event);

    EXPECT_EQ(shown.join(' '), QString::fromUtf8("撤销 重做 剪切 复制 粘贴 删除 全选"));
    EXPECT_EQ(enabled.join(' '), QString::fromUtf8("撤销 粘贴 全选"));
}

}  // namespace
}  // namespace qm
