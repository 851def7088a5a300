#include "app/search/find_history.h"

#include <algorithm>

namespace qm {

std::vector<std::string> SplitFindHistory(std::string_view text) {
    std::vector<std::string> queries;
    size_t from = 0;
    for (size_t end; (end = text.find("\r\n", from)) != std::string_view::npos; from = end + 2) {
        queries.emplace_back(text.substr(from, end - from));
    }
    if (from < text.size()) queries.emplace_back(text.substr(from));
    return queries;
}

std::string JoinFindHistory(const std::vector<std::string>& queries) {
    std::string text;
    const size_t count = std::min(queries.size(), kStoredFindHistory);
    for (size_t i = 0; i < count; ++i) {
        text += queries[i];
        text += "\r\n";
    }
    return text;
}

}  // namespace qm
