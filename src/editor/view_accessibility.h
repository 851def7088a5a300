// The accessible interface of the editor's Scintilla view. QScintilla's own counts the
// characters from the start of the text to the caret at every repaint (seconds per keystroke at
// the end of a large note), and serves only assistive technology: while none is active the view
// gets a plain widget interface, and QScintilla's is made as soon as one becomes active.
#pragma once

namespace qm {

// Installs the interface factory and the activation observer, once. Must run after the first
// Scintilla view is made (which installs QScintilla's factory) and before anything asks for a
// view's interface: Qt asks the factory installed last first.
void InstallViewAccessibility();

}  // namespace qm
