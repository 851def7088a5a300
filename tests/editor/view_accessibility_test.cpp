// The editor view's accessible interface while no assistive technology is active: a plain
// editable-text widget, without QScintilla's text interface (which counts the characters up to
// the caret at every repaint).
#include "editor/view_accessibility.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <typeinfo>

#include "editor_test_support.h"

namespace qm {
namespace {

TEST(ViewAccessibilityTest, ViewIsAPlainEditableWidgetWhileInactive) {
    ASSERT_FALSE(QAccessible::isActive());
    NoteEditor editor;
    editor.setText("text");
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(testing::ViewOf(editor));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->role(), QAccessible::EditableText);
    EXPECT_EQ(view->textInterface(), nullptr) << typeid(*view).name();
    // Other widgets keep Qt's own interfaces.
    QAccessibleInterface* container = QAccessible::queryAccessibleInterface(&editor);
    ASSERT_NE(container, nullptr);
    EXPECT_NE(container, view);
}

}  // namespace
}  // namespace qm
