// Link highlighting in the editor: web addresses and "qm:\" note links found line by line by
// one pattern and given the link styles, incrementally as the text changes.
#pragma once

#include <QObject>
#include <string>
#include <string_view>
#include <vector>

#include "store/regex.h"

namespace qm {

class NoteEditor;

// A link inside one line: byte offset and length in the line's UTF-8 text.
struct LinkSpan {
    size_t position = 0;
    size_t length = 0;
    bool internal = false;  // "qm:\" in any letter case: a note link
};

// The link pattern: web addresses (a scheme and "://", or "www" and one character, then
// no blank, ideograph, full-width parenthesis, quote or angle bracket) and note links ("qm:\"
// and the rest of the line).
class LinkPattern {
public:
    static const char* const kPattern;

    LinkPattern();
    // Every link of a line of UTF-8 text, left to right.
    std::vector<LinkSpan> find(std::string_view utf8Line) const;

private:
    Regex regex_;
};

// True when the text starts with "qm:\" in any letter case.
bool IsNoteLink(std::string_view text);

class LinkStyler : public QObject {
    Q_OBJECT
public:
    // Listens to `editor`, which must outlive this object. Highlighting starts on.
    explicit LinkStyler(NoteEditor& editor, QObject* parent = nullptr);

    // Gives the line plain style, then each link on it its link style. Nothing while off.
    void restyleLine(int line);
    // restyleLine for every line, first to last.
    void restyleAll();
    // The incremental rule run at every UI update: the caret's line when it changed; a range
    // between the last styled line and the caret when the line count changed other than by
    // a typed line break; every line after requestFullRestyle.
    void onUpdateUI();
    // `off` removes every link style at once, on restyles all; `deferred` only records it.
    void setLinkHighlighting(bool off, bool deferred = false);
    bool linksOff() const { return linksOff_; }
    // The next UI update restyles every line.
    void requestFullRestyle() { fullRestylePending_ = true; }

    // The link (GB18030) under `position`, the position right after its last character
    // included; "" when there is none.
    std::string linkAt(int position) const;

    const LinkPattern& pattern() const { return pattern_; }

private:
    // Styles the line starting at document position `start` whose UTF-8 text is `text`.
    void styleLine(int start, std::string_view text);
    // After the whole text was replaced: every line styled, the memory set to the new text.
    void onTextReplaced();

    NoteEditor& editor_;
    LinkPattern pattern_;
    bool linksOff_ = false;
    bool fullRestylePending_ = false;
    int charsTyped_ = 0;
    int lastStyledLine_ = 0;
    int lastStyledLineLength_ = 0;
    int lastLineCount_ = 0;
};

}  // namespace qm
