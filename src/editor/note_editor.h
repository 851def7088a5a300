// The note editor: one Scintilla view, configured once and then driven only through Scintilla's
// own messages. Text crosses this interface as GB18030; positions are UTF-8 byte offsets.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QMenu;
class QsciScintillaBase;

namespace qm {

// A 24-bit colour written 0xRRGGBB.
using Rgb = std::uint32_t;

// The text font of the editor. setFont fills the fields left empty with the defaults noted here.
struct FontSpec {
    std::string name;         // face name in GB18030; empty means "宋体"
    int size = 0;             // points; 0 or less means 11
    std::optional<Rgb> fore;  // unset means black
    std::optional<Rgb> back;  // unset means white
    bool bold = false;
    bool underline = false;
    bool italic = false;

    bool operator==(const FontSpec& other) const;
    bool operator!=(const FontSpec& other) const { return !(*this == other); }
};

// The container widget that holds the Scintilla view. Every position, length and range is a
// 0-based byte offset in the UTF-8 document; lines are 0-based. Out-of-range positions are
// clamped by Scintilla. No operation reports an error.
class NoteEditor : public QWidget {
    Q_OBJECT

public:
    // Text styles; the program styles the text itself (no lexer).
    static constexpr int kPlainStyle = 0;
    static constexpr int kWebLinkStyle = 1;
    static constexpr int kNoteLinkStyle = 2;
    // Pointer shapes for setCursor (Scintilla's cursor codes).
    static constexpr int kHandCursor = 8;
    static constexpr int kNormalCursor = -1;

    // Creates and configures the view and applies `font` (all defaults when empty).
    explicit NoteEditor(const FontSpec& font = {}, QWidget* parent = nullptr);
    ~NoteEditor() override;
    NoteEditor(const NoteEditor&) = delete;
    NoteEditor& operator=(const NoteEditor&) = delete;

    // The whole document ("" when empty).
    std::string getText() const;
    // Replaces the whole document; afterwards textReplaced tells whether the line count stayed.
    // A text past the wrap limits (editor/wrap_limit.h) is shown unwrapped, with a horizontal
    // bar; any other text wraps at characters. A text that grows past the limits by editing
    // is unwrapped at the next UI update.
    void setText(std::string_view text);
    // Shows a note's text: like setText, but in a new document with no undo history (undo never
    // brings back another note's text), and a text of a megabyte or more is converted and laid
    // into the document on a worker thread while the window keeps answering (user input waits).
    // The caret goes to the start.
    void loadText(std::string_view text);
    // The whole document as its own UTF-8 bytes, copied out in one piece (no conversion).
    std::string getTextUtf8() const;
    // The whole document as its own UTF-8 bytes, in place: valid until the document changes
    // (any edit, load or typed key), so that a worker can read it while user input waits.
    std::string_view textUtf8View() const;
    // How many changes the document has seen (insertions, deletions, replacements, loads):
    // two equal readings mean the text did not change between them.
    unsigned long changeCount() const { return changes_; }
    // Appends at the document end; the caret and the view stay where they are.
    void appendText(std::string_view text);
    // Replaces the selection with `text` (inserts at the caret when nothing is selected); the
    // caret ends after it.
    void insertText(std::string_view text);
    // The selected text ("" when nothing is selected).
    std::string selectedText() const;
    int selectionStart() const;
    // Selection end minus selection start; 0 for an empty selection.
    int selectionLength() const;
    // Selects start .. start + length. Scrolls the range's line to the top of the view only when
    // that line differs from the line of the previous call, so repeated calls on one line (the
    // word being spoken) do not jump the view.
    void showRange(int start, int length);
    // Searches from the end of the selection to the document end, then once from the top.
    // Returns true and selects the match when found; returns false and keeps the selection
    // otherwise (also for an empty text). `regex` uses Scintilla's own expression syntax.
    bool findAndSelect(std::string_view text, bool ignoreCase, bool regex);
    // Scrolls down by (line count - 1) lines so that the last line is in view.
    void scrollToEnd();
    // Line of the caret.
    int currentLine() const;
    // Position of the first character of the line.
    int lineStartPosition(int line) const;
    // Position after the line's last character, before its line break.
    int lineEndPosition(int line) const;
    // Text between two positions; "" when end <= start.
    std::string getTextRange(int start, int end) const;
    // The same range as the document's own UTF-8 bytes, for matching patterns at positions.
    std::string getTextRangeUtf8(int start, int end) const;
    // Selects start .. end and replaces the selection with `text`.
    void replaceRange(int start, int end, std::string_view text);
    bool caretAtLineStart() const;
    bool caretAtLineEnd() const;
    // Fills the empty fields of `font` with the defaults, applies it to the plain style and a
    // blue (#0000FF) and a violet (#9000FF) underlined copy to the two link styles.
    void setFont(const FontSpec& font);
    // The font last applied, defaults filled in.
    FontSpec getFont() const;
    // Pointer shape over the text: kHandCursor or kNormalCursor.
    void setCursor(int kind);
    // Places the view inside this container (done on every resize with the full size).
    void moveTo(int left, int top, int width, int height);
    // Puts the whole document on the clipboard as plain text.
    void copyAllToClipboard() const;
    // Replaces the whole document by the clipboard's plain text, as setText does.
    void pasteReplacingAll();
    // Gives the view the keyboard focus.
    void focus();
    // A read-only document refuses every change, the user's and the calls above alike; a
    // feature that fills the editor itself lifts it around its own calls.
    void setReadOnly(bool readOnly);
    bool readOnly() const;

    // Scintilla's editing commands, as offered by the context menu.
    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    // Deletes the selection, or the character after the caret when nothing is selected.
    void clear();
    void selectAll();

    // Document geometry and styling, for the features that style text (link highlighting).
    int textLength() const;
    int lineCount() const;
    int lineFromPosition(int position) const;
    // The first and the last document line in view (of a line partly in view as well).
    int firstShownLine() const;
    int lastShownLine() const;
    // True while lines wrap at characters (false past the wrap limits).
    bool wrapsLines() const;
    // Gives start .. start + length one of the text styles above.
    void setStyling(int start, int length, int style);
    int styleAt(int position) const;

signals:
    // Delivered synchronously, inside the view's notification, for the features that style text.
    void charAdded(int character);
    // After the line-number margin has been resized to the line count.
    void uiUpdated();
    // After setText; `lineCountUnchanged` is true when the new text has as many lines as the old.
    void textReplaced(bool lineCountUnchanged);
    // Text is being inserted or deleted, by the user or by the program (setText, undo and redo
    // included), delivered synchronously just before the change (the view's after-change report
    // costs a count of the whole text before the change, see note_editor.cpp).
    void textModified();

    // Posted to the main window: queued, so they arrive after the view has finished handling
    // the event that caused them.
    // The pointer rested 100 ms at `position` (-1 off the text), or stopped resting (ended).
    void mouseHover(int position, bool ended);
    void leftButtonReleased();
    void doubleClicked(int position);
    // Qt::Key codes of keys pressed and released in the view.
    void keyPressed(int key);
    void keyReleased(int key);

    // Delivered synchronously when a key event reaches the view, before the view handles it:
    // for the features that need the state before the key (the calculator) or where the key
    // came from (`keypad`: the number pad, where Qt::Key_Plus is not the "=" key's "+").
    void keyArriving(int key, bool released, bool keypad);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    long send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const;
    std::string utf8Range(int start, int end) const;
    void setUtf8Text(const std::string& utf8);
    void configure();
    void applyStyle(int style, const FontSpec& font);
    void updateLineNumberWidth();
    // Sets wrapping (and the horizontal bar that comes with its absence).
    void setWrapping(bool wrap);
    // Unwraps a wrapped text that has grown (or is about to grow by `arriving` bytes) past the
    // wrap limits.
    void unwrapWhenLarge(int arriving = 0);
    void insertTab();
    void showContextMenu(const QPoint& globalPos);
    void postHover(int position, bool ended);

    QsciScintillaBase* view_;  // owned by this widget
    FontSpec font_;
    int lastShownLine_ = 0;
    unsigned long changes_ = 0;
};

}  // namespace qm
