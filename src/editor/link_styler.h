// Link highlighting in the editor: web addresses and "qm:\" note links found line by line by
// one pattern and given the link styles, incrementally as the text changes. A text past the
// wrap limits is styled lazily: only the lines in view, at every UI update (as it scrolls).
#pragma once

#include <QObject>
#include <string>
#include <string_view>
#include <vector>

#include "editor/link_pattern.h"

namespace qm {

class NoteEditor;

class LinkStyler : public QObject {
    Q_OBJECT
public:
    // Listens to `editor`, which must outlive this object. Highlighting starts on.
    explicit LinkStyler(NoteEditor& editor, QObject* parent = nullptr);

    // Gives the line plain style, then each link on it its link style. Nothing while off.
    void restyleLine(int line);
    // restyleLine for every line, first to last (the lines in view for a large text).
    void restyleAll();
    // True while only the lines in view are styled (the text is past the wrap limits).
    bool lazy() const { return lazy_; }
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
    // Lazy styling of a large text: the lines in view and the caret's line.
    void restyleShown();
    // Sets lazy_ from the text's size; true when it is lazy now.
    bool checkLazy();

    NoteEditor& editor_;
    LinkPattern pattern_;
    bool linksOff_ = false;
    bool fullRestylePending_ = false;
    int charsTyped_ = 0;
    int lastStyledLine_ = 0;
    int lastStyledLineLength_ = 0;
    int lastLineCount_ = 0;
    bool lazy_ = false;
    // The document range that lazy styling may have given link styles (empty when from > to).
    int lazyFrom_ = 0;
    int lazyTo_ = -1;
    int lazyLength_ = 0;  // the text length when the range was last widened
};

}  // namespace qm
