// What qmtool's commands share: the one-line error, node numbers as typed, and the folder a
// tree file lives in (where its external bodies are found).
#pragma once

#include <string>

namespace qm {

constexpr int kToolError = 2;  // exit status of a command that could not run

// Writes "qmtool: MESSAGE" to stderr; returns kToolError.
int ToolFail(const std::string& message);

// The folder of `path` ("." for a bare name, "/" for a file at the root).
std::string FolderOf(const std::string& path);

// A node number as typed: 1 to 9 decimal digits, nothing else. False leaves *index alone.
bool ParseIndex(const std::string& text, int* index);

}  // namespace qm
