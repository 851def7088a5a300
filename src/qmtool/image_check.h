// The checks of "qmtool check" over the raw bytes of a tree file: short records, extra
// separators, depths below 1 or jumping down more than one level, bytes after the last record.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// Appends one line (ending in "\n") per problem found in `image` to `report` and returns the
// number of problems; 0 for a sound image.
int CheckImage(std::string_view image, std::string* report);

}  // namespace qm
