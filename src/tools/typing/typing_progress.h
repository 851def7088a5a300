// The typing progress bar's state, apart from any widget: the value (0 to 100) and text last
// shown, and how wide the green fill is for an area of a given width.
#pragma once

#include <string>

namespace qm {

class TypingProgress {
public:
    static constexpr int kMaximum = 100;

    // Forgets the value and text: the area is to be cleared.
    void Reset();
    // Remembers `value` (clamped to 0..kMaximum) and `text`. Returns true when the value
    // differs from the last one shown, so the fill must be painted again.
    bool Show(int value, const std::string& text);

    int value() const { return value_; }
    const std::string& text() const { return text_; }
    // Width of the fill in an area `areaWidth` pixels wide: value × (width / 100).
    int FillWidth(int areaWidth) const;

private:
    int value_ = -1;  // -1: nothing shown since the last Reset
    std::string text_;
};

}  // namespace qm
