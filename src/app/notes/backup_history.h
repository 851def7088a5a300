// The list of backup files made so far ("历史路径组": full paths, newest first, joined by "|")
// and the names of the backup files. Plain data and rules, no file access of its own.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Splits the stored list at every "|"; empty entries stay (they name no file and are dropped
// by the next AddToHistory). An empty text gives an empty list.
std::vector<std::string> SplitHistory(std::string_view text);
// Joins the entries with "|", no separator before the first.
std::string JoinHistory(const std::vector<std::string>& entries);

// "笔记本_" + the local time as YYYY-MM-DD HH-MM-SS + ".qm" (UTF-8).
std::string BackupFileName(std::time_t time);

// Records `newPath` as the newest backup: drops every entry equal to it or naming no file
// (`exists` false), puts it first, and cuts the list to `keep` entries (a keep below 0 counts
// as 0). Returns the cut entries, whose files are to be deleted, in list order.
std::vector<std::string> AddToHistory(std::vector<std::string>* history, const std::string& newPath,
                                      int keep,
                                      const std::function<bool(const std::string&)>& exists);

}  // namespace qm
