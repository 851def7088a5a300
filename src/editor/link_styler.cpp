#include "editor/link_styler.h"

#include <algorithm>

#include "common/charset.h"
#include "editor/note_editor.h"
#include "editor/wrap_limit.h"

namespace qm {

LinkStyler::LinkStyler(NoteEditor& editor, QObject* parent) : QObject(parent), editor_(editor) {
    connect(&editor_, &NoteEditor::charAdded, this, [this](int) { ++charsTyped_; });
    connect(&editor_, &NoteEditor::uiUpdated, this, &LinkStyler::onUpdateUI);
    connect(&editor_, &NoteEditor::textReplaced, this, &LinkStyler::onTextReplaced);
}

void LinkStyler::styleLine(int start, std::string_view text) {
    // The line's break is not styled; a "qm:\" link ends before it anyway.
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
    editor_.setStyling(start, static_cast<int>(end), NoteEditor::kPlainStyle);
    for (const LinkSpan& span : pattern_.find(text)) {
        editor_.setStyling(start + static_cast<int>(span.position), static_cast<int>(span.length),
                           span.internal ? NoteEditor::kNoteLinkStyle : NoteEditor::kWebLinkStyle);
    }
}

void LinkStyler::restyleLine(int line) {
    if (linksOff_ || line < 0 || line >= editor_.lineCount()) return;
    const int start = editor_.lineStartPosition(line);
    const int next =
        line + 1 < editor_.lineCount() ? editor_.lineStartPosition(line + 1) : editor_.textLength();
    styleLine(start, editor_.getTextRangeUtf8(start, next));
}

bool LinkStyler::checkLazy() {
    lazy_ = static_cast<size_t>(editor_.textLength()) > kWrapByteLimit ||
            static_cast<size_t>(editor_.lineCount()) > kWrapLineLimit;
    if (!lazy_) lazyTo_ = -1;
    return lazy_;
}

void LinkStyler::restyleShown() {
    if (linksOff_) return;
    const int first = editor_.firstShownLine();
    const int last = editor_.lastShownLine();
    for (int line = first; line <= last; ++line) restyleLine(line);
    const int caret = editor_.currentLine();
    if (caret < first || caret > last) restyleLine(caret);
    const int from = editor_.lineStartPosition(std::min(first, caret));
    const int to = editor_.lineEndPosition(std::max(last, caret));
    // Text inserted since the last call may have pushed styled links further on.
    const int length = editor_.textLength();
    if (length > lazyLength_ && lazyFrom_ <= lazyTo_) lazyTo_ += length - lazyLength_;
    lazyLength_ = length;
    if (lazyFrom_ > lazyTo_) {
        lazyFrom_ = from;
        lazyTo_ = to;
    } else {
        lazyFrom_ = std::min(lazyFrom_, from);
        lazyTo_ = std::max(lazyTo_, to);
    }
}

void LinkStyler::restyleAll() {
    if (linksOff_) return;
    if (checkLazy()) {
        restyleShown();
        return;
    }
    // One read of the document, cut at the line breaks.
    const std::string text = editor_.getTextRangeUtf8(0, editor_.textLength());
    size_t start = 0;
    while (start < text.size()) {
        size_t next = text.find_first_of("\r\n", start);
        if (next == std::string::npos) {
            next = text.size();
        } else {
            next +=
                (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
        }
        styleLine(static_cast<int>(start), std::string_view(text).substr(start, next - start));
        start = next;
    }
}

void LinkStyler::onUpdateUI() {
    if (linksOff_) return;
    // A text that grew past the limits by editing turns lazy here; one that shrank stays lazy
    // until it is replaced.
    if (lazy_ || checkLazy()) {
        fullRestylePending_ = false;
        restyleShown();
        return;
    }
    const int count = editor_.lineCount();
    int cur = 0;
    if (fullRestylePending_) {
        fullRestylePending_ = false;
        lastLineCount_ = 0;
        lastStyledLine_ = 0;
        cur = count - 1;
    } else {
        cur = editor_.currentLine();
    }
    const int len = editor_.lineEndPosition(cur) - editor_.lineStartPosition(cur);

    // A typed line break adds CR and LF; only other line-count changes (paste, delete, load)
    // restyle a range.
    if (count != lastLineCount_ && charsTyped_ != 2) {
        int lo = std::min(lastStyledLine_, cur);
        int hi = std::min(std::max(lastStyledLine_, cur), count - 1);
        lastLineCount_ = count;
        if (lo == 0 && hi == 0) hi = count - 1;
        for (int line = lo; line <= hi; ++line) restyleLine(line);
    } else if (cur != lastStyledLine_ || len != lastStyledLineLength_) {
        restyleLine(editor_.currentLine());
    }
    lastStyledLine_ = cur;
    lastStyledLineLength_ = len;
    charsTyped_ = 0;
}

void LinkStyler::onTextReplaced() {
    lazyTo_ = -1;
    restyleAll();
    const int cur = editor_.currentLine();
    lastLineCount_ = editor_.lineCount();
    lastStyledLine_ = cur;
    lastStyledLineLength_ = editor_.lineEndPosition(cur) - editor_.lineStartPosition(cur);
    charsTyped_ = 0;
    fullRestylePending_ = false;
}

void LinkStyler::setLinkHighlighting(bool off, bool deferred) {
    linksOff_ = off;
    if (deferred) return;
    if (off) {
        if (lazy_) {
            // Only what lazy styling has touched can hold link styles.
            const int to = std::min(lazyTo_, editor_.textLength());
            if (lazyFrom_ < to) {
                editor_.setStyling(lazyFrom_, to - lazyFrom_, NoteEditor::kPlainStyle);
            }
            lazyTo_ = -1;
        } else {
            editor_.setStyling(0, editor_.textLength(), NoteEditor::kPlainStyle);
        }
    } else {
        restyleAll();
    }
}

std::string LinkStyler::linkAt(int position) const {
    if (position < 0 || position > editor_.textLength()) return {};
    const int line = editor_.lineFromPosition(position);
    const int start = editor_.lineStartPosition(line);
    const std::string text = editor_.getTextRangeUtf8(start, editor_.lineEndPosition(line));
    for (const LinkSpan& span : pattern_.find(text)) {
        const int linkStart = start + static_cast<int>(span.position);
        const int linkEnd = linkStart + static_cast<int>(span.length);
        if (position < linkStart) return {};
        if (position <= linkEnd) return Utf8ToGb18030(text.substr(span.position, span.length));
    }
    return {};
}

}  // namespace qm
