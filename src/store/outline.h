// Outline rows: the block from which a tree view is filled, one row per record in file order
// (title, 0x00, then image, image again, item value, state and depth as 32-bit little-endian
// integers), with no count and nothing after the last row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct OutlineRow {
    std::string title;
    int32_t image = 0;
    int32_t selectedImage = 0;
    int32_t itemValue = 0;
    int32_t state = 0;  // bit value 1: bold caption, 2: expanded
    int32_t depth = 0;
};

void AppendOutlineRow(std::string* rows, std::string_view title, int32_t image, int32_t itemValue,
                      int32_t state, int32_t depth);

// Splits an outline block into rows. Returns false (with the rows read so far) when the block
// ends inside a row.
bool ParseOutline(std::string_view rows, std::vector<OutlineRow>* out);

}  // namespace qm
