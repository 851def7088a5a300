// What a tree file holds durably: the file with the edit log beside it applied, as a reader
// that cannot write loads it. The file alone may lag behind until the next checkpoint.
#pragma once

#include <string>

#include "store/tree_store.h"

namespace qm::testing {

inline std::string DurableBytes(const std::string& path) {
    TreeStore reader;
    if (!reader.Load(path)) return {};
    return reader.image();
}

}  // namespace qm::testing
