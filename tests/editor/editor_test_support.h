// Shared pieces of the editor tests: GB18030 literals, a shown editor, the raw Scintilla view.
#pragma once

#include <Qsci/qsciscintillabase.h>

#include <QCoreApplication>
#include <QTest>
#include <memory>
#include <string>

#include "common/charset.h"
#include "editor/note_editor.h"

namespace qm::testing {

// The program's text type: a UTF-8 literal written in GB18030.
inline std::string Gb(const char* utf8) { return Utf8ToGb18030(utf8); }

// The Scintilla view inside the editor, for driving it as a user would and for reading state
// the editor does not report.
inline QsciScintillaBase* ViewOf(NoteEditor& editor) {
    return editor.findChild<QsciScintillaBase*>();
}

// An editor in a shown top-level window of a fixed size, painted once.
inline std::unique_ptr<NoteEditor> ShownEditor(int width = 400, int height = 300) {
    auto editor = std::make_unique<NoteEditor>();
    editor->resize(width, height);
    editor->show();
    if (!QTest::qWaitForWindowExposed(editor.get())) return nullptr;
    QCoreApplication::processEvents();
    return editor;
}

// Lets the view repaint, which is when Scintilla reports its UI updates.
inline void Repaint(NoteEditor& editor) {
    ViewOf(editor)->viewport()->repaint();
    QCoreApplication::processEvents();
}

}  // namespace qm::testing
