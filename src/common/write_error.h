// A failed write of one of the program's files: which file and the system's reason, as the
// stores keep it for the window to tell the user.
#pragma once

#include <string>

#include "common/file_calls.h"

namespace qm {

struct WriteError {
    std::string path;  // the file (UTF-8 file-system name)
    int code = 0;      // errno; 0 while nothing failed

    bool failed() const { return code != 0; }
    std::string reason() const { return fileio::ErrorText(code); }
};

}  // namespace qm
