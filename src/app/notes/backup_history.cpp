#include "app/notes/backup_history.h"

#include <algorithm>

#include "store/time_text.h"

namespace qm {

std::vector<std::string> SplitHistory(std::string_view text) {
    std::vector<std::string> entries;
    if (text.empty()) return entries;
    size_t start = 0;
    for (;;) {
        const size_t bar = text.find('|', start);
        entries.emplace_back(text.substr(start, bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    return entries;
}

std::string JoinHistory(const std::vector<std::string>& entries) {
    std::string text;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) text.push_back('|');
        text += entries[i];
    }
    return text;
}

std::string BackupFileName(std::time_t time) {
    std::string stamp = TimeText(time);
    std::replace(stamp.begin(), stamp.end(), ':', '-');
    return "笔记本_" + stamp + ".qm";
}

std::vector<std::string> AddToHistory(std::vector<std::string>* history, const std::string& newPath,
                                      int keep,
                                      const std::function<bool(const std::string&)>& exists) {
    std::vector<std::string>& list = *history;
    list.erase(std::remove_if(
                   list.begin(), list.end(),
                   [&](const std::string& entry) { return entry == newPath || !exists(entry); }),
               list.end());
    list.insert(list.begin(), newPath);
    const size_t kept = static_cast<size_t>(std::max(keep, 0));
    std::vector<std::string> cut;
    if (list.size() > kept) {
        cut.assign(list.begin() + static_cast<std::ptrdiff_t>(kept), list.end());
        list.resize(kept);
    }
    return cut;
}

}  // namespace qm
