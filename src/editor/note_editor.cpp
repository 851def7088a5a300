#include "editor/note_editor.h"

#include <Qsci/qsciscintillabase.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QResizeEvent>
#include <algorithm>

#include "common/charset.h"
#include "editor/document_build.h"
#include "editor/editor_context_menu.h"
#include "editor/line_number_margin.h"
#include "editor/off_thread.h"
#include "editor/view_accessibility.h"
#include "editor/wrap_limit.h"

namespace qm {

namespace {

using Sci = QsciScintillaBase;

constexpr int kLineNumberMargin = 1;
constexpr int kDwellMilliseconds = 100;
constexpr Rgb kBlack = 0x000000;
constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kLightGrey = 0xECECEC;
constexpr Rgb kSelectionBack = 0x337FE5;
constexpr Rgb kWebLinkFore = 0x0000FF;
constexpr Rgb kNoteLinkFore = 0x9000FF;
constexpr Rgb kLineNumberFore = 0x808000;
constexpr int kDefaultSize = 11;
// The only changes the view reports. The view's own handler of the after-change events
// (SC_MOD_INSERTTEXT, SC_MOD_DELETETEXT) counts the characters from the start of the text up
// to the change, for accessibility, on every keystroke: seconds per key near the end of a
// 200 MB note. The before-change events carry what textModified needs and cost nothing.
constexpr int kTextChangeEvents =
    QsciScintillaBase::SC_MOD_BEFOREINSERT | QsciScintillaBase::SC_MOD_BEFOREDELETE;

// Scintilla takes colours with red in the low byte and blue in the high byte.
long ToScintillaColour(Rgb rgb) {
    return static_cast<long>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

// Turns every line break (CR LF, a lone LF or a lone CR) into CR LF, the document's line break,
// as Scintilla's own paste does; text from other programs on this system breaks lines with LF.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

bool FontSpec::operator==(const FontSpec& other) const {
    return name == other.name && size == other.size && fore == other.fore && back == other.back &&
           bold == other.bold && underline == other.underline && italic == other.italic;
}

namespace {

// The view, followed by the accessibility factory that must be asked before QScintilla's (which
// the first view installs).
QsciScintillaBase* NewView(QWidget* parent) {
    auto* view = new QsciScintillaBase(parent);
    InstallViewAccessibility();
    return view;
}

}  // namespace

NoteEditor::NoteEditor(const FontSpec& font, QWidget* parent)
    : QWidget(parent), view_(NewView(this)) {
    configure();
    setFont(font);

    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    setFocusProxy(view_);

    connect(view_, &Sci::SCN_CHARADDED, this, [this](int ch) { emit charAdded(ch); });
    connect(view_, &Sci::SCN_MODIFIED, this,
            [this](int, int type, const char*, int length, int, int, int, int, int, int) {
                if (type & kTextChangeEvents) {
                    ++changes_;
                    // A large insertion unwraps before it arrives: laying it out wrapped first
                    // would cost seconds.
                    if ((type & Sci::SC_MOD_BEFOREINSERT) &&
                        static_cast<size_t>(textLength()) + static_cast<size_t>(length) >
                            kWrapByteLimit) {
                        unwrapWhenLarge(length);
                    }
                    emit textModified();
                }
            });
    connect(view_, &Sci::SCN_UPDATEUI, this, [this](int) {
        unwrapWhenLarge();
        updateLineNumberWidth();
        emit uiUpdated();
    });
    connect(view_, &Sci::SCN_DWELLSTART, this,
            [this](int position, int, int) { postHover(position, false); });
    connect(view_, &Sci::SCN_DWELLEND, this,
            [this](int position, int, int) { postHover(position, true); });
    connect(view_, &Sci::SCN_DOUBLECLICK, this, [this](int position, int, int) {
        QMetaObject::invokeMethod(
            this, [this, position] { emit doubleClicked(position); }, Qt::QueuedConnection);
    });
}

NoteEditor::~NoteEditor() = default;

long NoteEditor::send(unsigned int message, unsigned long wParam, long lParam) const {
    return view_->SendScintilla(message, wParam, lParam);
}

void NoteEditor::configure() {
    send(Sci::SCI_SETCODEPAGE, Sci::SC_CP_UTF8);
    // No lexer: the text is styled by the program (plain text and links).
    send(Sci::SCI_SETLEXER, Sci::SCLEX_CONTAINER);
    // Notes are stored with CR LF line breaks, and a typed line break must arrive as the two
    // added characters CR and LF, as link re-styling expects.
    send(Sci::SCI_SETEOLMODE, Sci::SC_EOL_CRLF);
    send(Sci::SCI_USEPOPUP, 0);
    send(Sci::SCI_SETMODEVENTMASK, kTextChangeEvents);

    send(Sci::SCI_SETMARGINTYPEN, kLineNumberMargin, Sci::SC_MARGIN_NUMBER);
    send(Sci::SCI_SETMARGINMASKN, kLineNumberMargin, 1);
    send(Sci::SCI_SETMARGINCURSORN, kLineNumberMargin, Sci::SC_CURSORARROW);
    view_->SendScintilla(Sci::SCI_STYLESETFONT, Sci::STYLE_LINENUMBER, "Consolas");
    send(Sci::SCI_STYLESETSIZE, Sci::STYLE_LINENUMBER, kDefaultSize);
    send(Sci::SCI_STYLESETFORE, Sci::STYLE_LINENUMBER, ToScintillaColour(kLineNumberFore));
    send(Sci::SCI_STYLESETBACK, Sci::STYLE_LINENUMBER, ToScintillaColour(kLightGrey));

    send(Sci::SCI_SETVSCROLLBAR, 1);
    send(Sci::SCI_SETHSCROLLBAR, 0);
    send(Sci::SCI_SETWRAPMODE, Sci::SC_WRAP_CHAR);
    // The lines measured to wrap a newly shown note are kept for drawing the page: with only
    // the caret's line cached, each visible line was laid out twice.
    send(Sci::SCI_SETLAYOUTCACHE, Sci::SC_CACHE_PAGE);

    send(Sci::SCI_SETCARETLINEVISIBLE, 1);
    send(Sci::SCI_SETCARETLINEBACK, ToScintillaColour(kLightGrey));
    send(Sci::SCI_SETSELFORE, 1, ToScintillaColour(kWhite));
    send(Sci::SCI_SETSELBACK, 1, ToScintillaColour(kSelectionBack));

    send(Sci::SCI_SETMOUSEDWELLTIME, kDwellMilliseconds);
}

void NoteEditor::updateLineNumberWidth() {
    const long digitWidth =
        view_->SendScintilla(Sci::SCI_TEXTWIDTH, uintptr_t{Sci::STYLE_LINENUMBER}, "9");
    const int width = LineNumberMarginWidth(lineCount(), static_cast<int>(digitWidth));
    if (send(Sci::SCI_GETMARGINWIDTHN, kLineNumberMargin) != width) {
        send(Sci::SCI_SETMARGINWIDTHN, kLineNumberMargin, width);
    }
}

std::string NoteEditor::getText() const {
    // The document's own bytes, made contiguous, converted without a copy of their own.
    const auto* text = reinterpret_cast<const char*>(send(Sci::SCI_GETCHARACTERPOINTER));
    const long length = send(Sci::SCI_GETLENGTH);
    if (text == nullptr || length <= 0) return {};
    return Utf8ToGb18030(std::string_view(text, static_cast<size_t>(length)));
}

std::string NoteEditor::getTextUtf8() const { return std::string(textUtf8View()); }

std::string_view NoteEditor::textUtf8View() const {
    // Scintilla closes the gap of its buffer for this pointer; styling and painting never
    // open it again, only text changes do.
    const auto* text = reinterpret_cast<const char*>(send(Sci::SCI_GETCHARACTERPOINTER));
    const long length = send(Sci::SCI_GETLENGTH);
    if (text == nullptr || length <= 0) return {};
    return std::string_view(text, static_cast<size_t>(length));
}

void NoteEditor::setWrapping(bool wrap) {
    send(Sci::SCI_SETWRAPMODE, wrap ? Sci::SC_WRAP_CHAR : Sci::SC_WRAP_NONE);
    send(Sci::SCI_SETHSCROLLBAR, wrap ? 0 : 1);
}

bool NoteEditor::wrapsLines() const { return send(Sci::SCI_GETWRAPMODE) != Sci::SC_WRAP_NONE; }

void NoteEditor::unwrapWhenLarge(int arriving) {
    if (!wrapsLines()) return;
    if (static_cast<size_t>(textLength()) + static_cast<size_t>(arriving) > kWrapByteLimit ||
        static_cast<size_t>(lineCount()) > kWrapLineLimit) {
        setWrapping(false);
    }
}

void NoteEditor::setUtf8Text(const std::string& utf8) {
    const int linesBefore = lineCount();
    // A large text is shown unwrapped: wrapping it froze the window for seconds at Ctrl+End.
    // The mode is set before the text arrives so that the large text is never queued for
    // wrapping.
    setWrapping(WrapsText(utf8));
    view_->SendScintilla(Sci::SCI_SETTEXT, utf8.c_str());
    emit textReplaced(lineCount() == linesBefore);
}

void NoteEditor::loadText(std::string_view text) {
    const int linesBefore = lineCount();
    const bool wasReadOnly = readOnly();
    ++changes_;
    emit textModified();
    std::unique_ptr<DocumentBuild> build;
    const auto fill = [this, &build, text] {
        // The loader reserves room for the whole text, zero-filling hundreds of megabytes of
        // text and style buffers for a large note: so it is made here, on the worker. The
        // message only makes a new document and touches nothing of the view.
        const auto room = static_cast<unsigned long>(text.size() + text.size() / 2);
        build = std::make_unique<DocumentBuild>(
            reinterpret_cast<void*>(send(Sci::SCI_CREATELOADER, room)));
        build->add(text);
    };
    if (text.size() >= kOffThreadBytes) {
        RunOffThread(fill);
    } else {
        fill();
    }
    void* document = build->take();
    if (document == nullptr) {  // no loader: the text goes in the ordinary way
        setText(text);
        send(Sci::SCI_EMPTYUNDOBUFFER);
        return;
    }
    // Wrapping is decided before the view meets the text, which is then never queued for it.
    setWrapping(build->utf8Bytes() <= kWrapByteLimit && build->lines() <= kWrapLineLimit);
    send(Sci::SCI_SETDOCPOINTER, 0, reinterpret_cast<long>(document));
    send(Sci::SCI_RELEASEDOCUMENT, 0, reinterpret_cast<long>(document));  // the view holds it
    // Code page, line breaks, undo and read-only belong to the document, not the view.
    send(Sci::SCI_SETCODEPAGE, Sci::SC_CP_UTF8);
    send(Sci::SCI_SETEOLMODE, Sci::SC_EOL_CRLF);
    send(Sci::SCI_SETUNDOCOLLECTION, 1);
    send(Sci::SCI_EMPTYUNDOBUFFER);
    setReadOnly(wasReadOnly);
    emit textReplaced(lineCount() == linesBefore);
}

void NoteEditor::setText(std::string_view text) { setUtf8Text(Gb18030ToUtf8(text)); }

void NoteEditor::appendText(std::string_view text) {
    const std::string utf8 = Gb18030ToUtf8(text);
    view_->SendScintilla(Sci::SCI_APPENDTEXT, uintptr_t{utf8.size()}, utf8.c_str());
}

void NoteEditor::insertText(std::string_view text) {
    const std::string utf8 = Gb18030ToUtf8(text);
    view_->SendScintilla(Sci::SCI_REPLACESEL, uintptr_t{0}, utf8.c_str());
}

std::string NoteEditor::utf8Range(int start, int end) const {
    const int length = textLength();
    start = std::clamp(start, 0, length);
    end = std::clamp(end, 0, length);
    if (end <= start) return {};
    std::string utf8(static_cast<size_t>(end - start) + 1, '\0');
    view_->SendScintilla(Sci::SCI_GETTEXTRANGE, long{start}, long{end}, utf8.data());
    utf8.resize(static_cast<size_t>(end - start));
    return utf8;
}

std::string NoteEditor::getTextRangeUtf8(int start, int end) const { return utf8Range(start, end); }

std::string NoteEditor::getTextRange(int start, int end) const {
    return Utf8ToGb18030(utf8Range(start, end));
}

std::string NoteEditor::selectedText() const {
    return getTextRange(selectionStart(), selectionStart() + selectionLength());
}

int NoteEditor::selectionStart() const {
    return static_cast<int>(send(Sci::SCI_GETSELECTIONSTART));
}

int NoteEditor::selectionLength() const {
    return static_cast<int>(send(Sci::SCI_GETSELECTIONEND) - send(Sci::SCI_GETSELECTIONSTART));
}

void NoteEditor::showRange(int start, int length) {
    const int line = lineFromPosition(start);
    if (line != lastShownLine_) {
        // With wrapping a document line may cover several display lines; the first of them
        // goes to the top.
        send(Sci::SCI_SETFIRSTVISIBLELINE, send(Sci::SCI_VISIBLEFROMDOCLINE, line));
    }
    lastShownLine_ = line;
    send(Sci::SCI_SETSEL, start, start + length);
}

bool NoteEditor::findAndSelect(std::string_view text, bool ignoreCase, bool regex) {
    const std::string needle = Gb18030ToUtf8(text);
    if (needle.empty()) return false;
    send(Sci::SCI_SETSEARCHFLAGS,
         (ignoreCase ? 0 : Sci::SCFIND_MATCHCASE) | (regex ? Sci::SCFIND_REGEXP : 0));
    const auto searchFrom = [&](long from) {
        send(Sci::SCI_SETTARGETSTART, from);
        send(Sci::SCI_SETTARGETEND, send(Sci::SCI_GETLENGTH));
        return view_->SendScintilla(Sci::SCI_SEARCHINTARGET, uintptr_t{needle.size()},
                                    needle.c_str());
    };
    long found = searchFrom(send(Sci::SCI_GETSELECTIONEND));
    if (found < 0) found = searchFrom(0);
    if (found < 0) return false;
    send(Sci::SCI_SETSEL, found, send(Sci::SCI_GETTARGETEND));
    return true;
}

void NoteEditor::scrollToEnd() { send(Sci::SCI_LINESCROLL, 0, lineCount() - 1); }

int NoteEditor::currentLine() const { return lineFromPosition(send(Sci::SCI_GETCURRENTPOS)); }

int NoteEditor::lineStartPosition(int line) const {
    return static_cast<int>(send(Sci::SCI_POSITIONFROMLINE, line));
}

int NoteEditor::lineEndPosition(int line) const {
    return static_cast<int>(send(Sci::SCI_GETLINEENDPOSITION, line));
}

void NoteEditor::replaceRange(int start, int end, std::string_view text) {
    send(Sci::SCI_SETSEL, start, end);
    insertText(text);
}

bool NoteEditor::caretAtLineStart() const {
    const long caret = send(Sci::SCI_GETCURRENTPOS);
    return caret == lineStartPosition(lineFromPosition(caret));
}

bool NoteEditor::caretAtLineEnd() const {
    const long caret = send(Sci::SCI_GETCURRENTPOS);
    return caret == lineEndPosition(lineFromPosition(caret));
}

void NoteEditor::applyStyle(int style, const FontSpec& font) {
    view_->SendScintilla(Sci::SCI_STYLESETFONT, uintptr_t(style), Gb18030ToUtf8(font.name).c_str());
    send(Sci::SCI_STYLESETSIZE, style, font.size);
    send(Sci::SCI_STYLESETFORE, style, ToScintillaColour(font.fore.value_or(kBlack)));
    send(Sci::SCI_STYLESETBACK, style, ToScintillaColour(font.back.value_or(kWhite)));
    send(Sci::SCI_STYLESETBOLD, style, font.bold);
    send(Sci::SCI_STYLESETITALIC, style, font.italic);
    send(Sci::SCI_STYLESETUNDERLINE, style, font.underline);
}

void NoteEditor::setFont(const FontSpec& font) {
    FontSpec filled = font;
    if (filled.name.empty()) filled.name = Utf8ToGb18030("宋体");
    if (filled.size <= 0) filled.size = kDefaultSize;
    if (!filled.fore) filled.fore = kBlack;
    if (!filled.back) filled.back = kWhite;
    applyStyle(kPlainStyle, filled);
    font_ = filled;

    // Links keep the chosen face, size and boldness.
    FontSpec link = filled;
    link.underline = true;
    link.fore = kWebLinkFore;
    applyStyle(kWebLinkStyle, link);
    link.fore = kNoteLinkFore;
    applyStyle(kNoteLinkStyle, link);
}

FontSpec NoteEditor::getFont() const { return font_; }

void NoteEditor::setCursor(int kind) { send(Sci::SCI_SETCURSOR, static_cast<unsigned long>(kind)); }

void NoteEditor::moveTo(int left, int top, int width, int height) {
    view_->setGeometry(left, top, width, height);
}

void NoteEditor::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    moveTo(0, 0, event->size().width(), event->size().height());
}

void NoteEditor::copyAllToClipboard() const {
    const long length = send(Sci::SCI_GETLENGTH);
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(utf8Range(0, static_cast<int>(length))));
}

void NoteEditor::pasteReplacingAll() {
    setUtf8Text(WithCrLf(QGuiApplication::clipboard()->text().toStdString()));
}

void NoteEditor::focus() { view_->setFocus(); }

void NoteEditor::setReadOnly(bool readOnly) { send(Sci::SCI_SETREADONLY, readOnly ? 1 : 0); }

bool NoteEditor::readOnly() const { return send(Sci::SCI_GETREADONLY) != 0; }

bool NoteEditor::canUndo() const { return send(Sci::SCI_CANUNDO) != 0; }
bool NoteEditor::canRedo() const { return send(Sci::SCI_CANREDO) != 0; }
void NoteEditor::undo() { send(Sci::SCI_UNDO); }
void NoteEditor::redo() { send(Sci::SCI_REDO); }
void NoteEditor::cut() { send(Sci::SCI_CUT); }
void NoteEditor::copy() { send(Sci::SCI_COPY); }
void NoteEditor::paste() { send(Sci::SCI_PASTE); }
void NoteEditor::clear() { send(Sci::SCI_CLEAR); }
void NoteEditor::selectAll() { send(Sci::SCI_SELECTALL); }

int NoteEditor::textLength() const { return static_cast<int>(send(Sci::SCI_GETLENGTH)); }

int NoteEditor::lineCount() const { return static_cast<int>(send(Sci::SCI_GETLINECOUNT)); }

int NoteEditor::lineFromPosition(int position) const {
    return static_cast<int>(send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
}

int NoteEditor::firstShownLine() const {
    return static_cast<int>(send(Sci::SCI_DOCLINEFROMVISIBLE, send(Sci::SCI_GETFIRSTVISIBLELINE)));
}

int NoteEditor::lastShownLine() const {
    const long last = send(Sci::SCI_GETFIRSTVISIBLELINE) + send(Sci::SCI_LINESONSCREEN);
    return std::min(static_cast<int>(send(Sci::SCI_DOCLINEFROMVISIBLE, last)), lineCount() - 1);
}

void NoteEditor::setStyling(int start, int length, int style) {
    send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(start));
    send(Sci::SCI_SETSTYLING, static_cast<unsigned long>(length), style);
}

int NoteEditor::styleAt(int position) const {
    return static_cast<int>(send(Sci::SCI_GETSTYLEAT, static_cast<unsigned long>(position)));
}

void NoteEditor::insertTab() {
    if (send(Sci::SCI_GETUSETABS) != 0) {
        insertText("\t");
        return;
    }
    long width = send(Sci::SCI_GETINDENT);
    if (width <= 0) width = send(Sci::SCI_GETTABWIDTH);
    insertText(std::string(static_cast<size_t>(width), ' '));
}

void NoteEditor::showContextMenu(const QPoint& globalPos) {
    // Built anew each time so that the greyed entries match the editor's state at this moment.
    const std::unique_ptr<QMenu> menu = CreateEditorContextMenu(*this, this);
    menu->exec(globalPos);
}

void NoteEditor::postHover(int position, bool ended) {
    QMetaObject::invokeMethod(
        this, [this, position, ended] { emit mouseHover(position, ended); }, Qt::QueuedConnection);
}

bool NoteEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_ && watched != view_->viewport()) return false;
    switch (event->type()) {
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            emit keyArriving(
                key, false,
                static_cast<QKeyEvent*>(event)->modifiers().testFlag(Qt::KeypadModifier));
            QMetaObject::invokeMethod(
                this, [this, key] { emit keyPressed(key); }, Qt::QueuedConnection);
            constexpr auto kBlocking = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
            if (key == Qt::Key_Tab &&
                (static_cast<QKeyEvent*>(event)->modifiers() & kBlocking) == 0) {
                insertTab();
                return true;
            }
            return false;
        }
        case QEvent::KeyRelease: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            emit keyArriving(
                key, true,
                static_cast<QKeyEvent*>(event)->modifiers().testFlag(Qt::KeypadModifier));
            QMetaObject::invokeMethod(
                this, [this, key] { emit keyReleased(key); }, Qt::QueuedConnection);
            return false;
        }
        case QEvent::MouseButtonRelease:
            if (watched == view_->viewport() &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                QMetaObject::invokeMethod(
                    this, [this] { emit leftButtonReleased(); }, Qt::QueuedConnection);
            }
            return false;
        case QEvent::ContextMenu:
            showContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        default:
            return false;
    }
}

}  // namespace qm
