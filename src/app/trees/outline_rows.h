// Parsing of the outline rows that TreeStore::BuildOutline hands to a tree view: per record
// the title, a NUL, then image, selected image, item value, state and depth as signed 32-bit
// little-endian integers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct OutlineRow {
    std::string title;  // GB18030
    int32_t image = 0;
    int32_t selectedImage = 0;
    int32_t itemValue = 0;
    int32_t state = 0;  // bit 1: bold caption, bit 2: expanded
    int32_t depth = 0;
};

inline constexpr int32_t kStateBold = 1;
inline constexpr int32_t kStateExpanded = 2;

// The rows of `block` in order. A row cut short at the end of the block is dropped.
std::vector<OutlineRow> ParseOutlineRows(std::string_view block);

// The tree shape the view builds from the rows: a row deeper than the one before it starts
// that row's children (whatever the depth step); a shallower row closes levels until one of
// a smaller depth is open. Returns, per row, the index of its parent row, -1 at the top.
std::vector<int> OutlineParents(const std::vector<OutlineRow>& rows);

}  // namespace qm
