#include "qmtool/arguments.h"

#include <cstdio>

namespace qm {

int ToolFail(const std::string& message) {
    std::fprintf(stderr, "qmtool: %s\n", message.c_str());
    return kToolError;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool ParseIndex(const std::string& text, int* index) {
    if (text.empty() || text.size() > 9) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    *index = std::stoi(text);
    return true;
}

}  // namespace qm
