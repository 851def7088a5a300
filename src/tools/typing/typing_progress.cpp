#include "tools/typing/typing_progress.h"

#include <algorithm>

namespace qm {

void TypingProgress::Reset() {
    value_ = -1;
    text_.clear();
}

bool TypingProgress::Show(int value, const std::string& text) {
    value = std::clamp(value, 0, kMaximum);
    const bool changed = value != value_;
    value_ = value;
    text_ = text;
    return changed;
}

int TypingProgress::FillWidth(int areaWidth) const {
    if (value_ <= 0 || areaWidth <= 0) return 0;
    return static_cast<int>(static_cast<long long>(value_) * areaWidth / kMaximum);
}

}  // namespace qm
