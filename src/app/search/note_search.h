// Finding the next note of the notebook after the selected one, by its title or by its title
// and body, wrapping round to the top once. Holds the stop flag of the body search.
#pragma once

#include <atomic>
#include <functional>
#include <string_view>

#include "store/text_match.h"
#include "store/tree_store.h"

namespace qm {

class OutlineModel;

class NoteSearch {
public:
    // Both must outlive the search. The titles come from `outline`, the bodies from `notebook`
    // (whose outline the model shows: item n is node n).
    NoteSearch(TreeStore* notebook, const OutlineModel* outline)
        : notebook_(notebook), outline_(outline) {}
    NoteSearch(const NoteSearch&) = delete;
    NoteSearch& operator=(const NoteSearch&) = delete;

    // The first item after `selected` whose title matches; when there is none and `selected`
    // is not -1, the first from item 0 on, so that the selected item itself is found again.
    // Runs to its end without processing events. kFound (matchedPart 1), kNotFound, or
    // kInvalidPattern with the expression engine's message and nothing tested.
    SearchResult findTitle(std::string_view query, const MatchOptions& options, int selected) const;

    // The same walk over titles and bodies in the store (a title is tested before its body;
    // matchedPart 1 or 2). `betweenRecords` runs before each note; a body file or a long body
    // is read and matched on a worker while the window answers. The walk ends with kStopped
    // once requestStop() was called, and does not wrap round then.
    SearchResult findTitleOrBody(std::string_view query, const MatchOptions& options, int selected,
                                 const std::function<void()>& betweenRecords);

    void requestStop() { stop_ = true; }
    void clearStop() { stop_ = false; }
    bool stopRequested() const { return stop_; }

private:
    TreeStore* notebook_;
    const OutlineModel* outline_;
    std::atomic<bool> stop_{false};
};

}  // namespace qm
