#include "app/trees/outline_rows.h"

#include <cstring>

namespace qm {

namespace {

constexpr size_t kIntegers = 5;

int32_t ReadLe32(const char* p) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(p[i]);
    int32_t result;
    std::memcpy(&result, &value, sizeof result);
    return result;
}

}  // namespace

std::vector<OutlineRow> ParseOutlineRows(std::string_view block) {
    std::vector<OutlineRow> rows;
    size_t pos = 0;
    while (pos < block.size()) {
        const size_t nul = block.find('\0', pos);
        if (nul == std::string_view::npos || block.size() - (nul + 1) < kIntegers * 4) break;
        OutlineRow row;
        row.title.assign(block.substr(pos, nul - pos));
        const char* p = block.data() + nul + 1;
        row.image = ReadLe32(p);
        row.selectedImage = ReadLe32(p + 4);
        row.itemValue = ReadLe32(p + 8);
        row.state = ReadLe32(p + 12);
        row.depth = ReadLe32(p + 16);
        rows.push_back(std::move(row));
        pos = nul + 1 + kIntegers * 4;
    }
    return rows;
}

std::vector<int> OutlineParents(const std::vector<OutlineRow>& rows) {
    std::vector<int> parents(rows.size(), -1);
    std::vector<int> open;  // the chain of rows from the top down to the row before
    for (size_t i = 0; i < rows.size(); ++i) {
        while (!open.empty() && rows[static_cast<size_t>(open.back())].depth >= rows[i].depth) {
            open.pop_back();
        }
        parents[i] = open.empty() ? -1 : open.back();
        open.push_back(static_cast<int>(i));
    }
    return parents;
}

}  // namespace qm
