#include "store/outline.h"

namespace qm {
namespace {

constexpr size_t kNumbersSize = 5 * 4;

void PutInt32(std::string* out, int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(bits >> (8 * i)));
}

int32_t GetInt32(const char* p) {
    uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(p[i]);
    return static_cast<int32_t>(bits);
}

}  // namespace

void AppendOutlineRow(std::string* rows, std::string_view title, int32_t image, int32_t itemValue,
                      int32_t state, int32_t depth) {
    rows->append(title);
    rows->push_back('\0');
    PutInt32(rows, image);
    PutInt32(rows, image);
    PutInt32(rows, itemValue);
    PutInt32(rows, state);
    PutInt32(rows, depth);
}

bool ParseOutline(std::string_view rows, std::vector<OutlineRow>* out) {
    out->clear();
    size_t pos = 0;
    while (pos < rows.size()) {
        const size_t nul = rows.find('\0', pos);
        if (nul == std::string_view::npos || rows.size() - nul - 1 < kNumbersSize) return false;
        OutlineRow row;
        row.title.assign(rows.substr(pos, nul - pos));
        const char* p = rows.data() + nul + 1;
        row.image = GetInt32(p);
        row.selectedImage = GetInt32(p + 4);
        row.itemValue = GetInt32(p + 8);
        row.state = GetInt32(p + 12);
        row.depth = GetInt32(p + 16);
        out->push_back(std::move(row));
        pos = nul + 1 + kNumbersSize;
    }
    return true;
}

}  // namespace qm
