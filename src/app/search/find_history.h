// The find history: how the query list of the search bar is kept in its setting, one query
// per line, the newest first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// At most this many queries are written to the setting; the list in the window keeps more.
inline constexpr size_t kStoredFindHistory = 30;

// The queries of a stored history text, in order: the text split at every CR LF. An empty
// piece between two CR LFs is a query; the empty rest after the final CR LF is not.
std::vector<std::string> SplitFindHistory(std::string_view text);

// The stored form of `queries`: the first kStoredFindHistory of them, each followed by CR LF.
std::string JoinFindHistory(const std::vector<std::string>& queries);

}  // namespace qm
