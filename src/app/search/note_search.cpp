#include "app/search/note_search.h"

#include "app/trees/outline_model.h"
#include "editor/off_thread.h"

namespace qm {

SearchResult NoteSearch::findTitle(std::string_view query, const MatchOptions& options,
                                   int selected) const {
    SearchResult result;
    const TextMatcher matcher(query, options);
    if (!matcher.valid()) {
        result.status = SearchResult::Status::kInvalidPattern;
        result.error = matcher.error();
        return result;
    }
    const auto firstMatch = [&](int after) {
        for (int node = after + 1; node < outline_->nodeCount(); ++node) {
            if (matcher.Matches(outline_->row(node)->title)) return node;
        }
        return -1;
    };
    int found = firstMatch(selected);
    if (found < 0 && selected != -1) found = firstMatch(-1);
    if (found >= 0) {
        result.status = SearchResult::Status::kFound;
        result.index = found;
        result.matchedPart = 1;
        result.matchedText = outline_->row(found)->title;
    }
    return result;
}

SearchResult NoteSearch::findTitleOrBody(std::string_view query, const MatchOptions& options,
                                         int selected,
                                         const std::function<void()>& betweenRecords) {
    SearchQuery search;
    search.pattern = std::string(query);
    search.afterIndex = selected;
    search.ignoreCase = options.ignoreCase;
    search.wholeText = options.wholeText;
    search.useRegex = options.useRegex;
    search.includeBodies = true;
    search.betweenRecords = betweenRecords;
    search.stop = &stop_;
    // A body of many megabytes is read and matched on a worker while the window answers, the
    // stop button included.
    search.runLong = [](const std::function<void()>& work) { RunOffThreadAnsweringInput(work); };
    SearchResult result = notebook_->SearchNodes(search);
    if (result.status == SearchResult::Status::kNotFound && selected != -1) {
        search.afterIndex = -1;
        result = notebook_->SearchNodes(search);
    }
    return result;
}

}  // namespace qm
