// Width of the editor's line-number margin: room for the digits of the line count plus padding.
#pragma once

namespace qm {

// Number of decimal digits of `lineCount` (1 for anything below 10, including 0).
constexpr int DecimalDigits(int lineCount) {
    int digits = 1;
    for (; lineCount >= 10; lineCount /= 10) ++digits;
    return digits;
}

// Pixels per digit never go below 9, the figure the margin was laid out with; a wider margin
// font gets its own digit width so that numbers are never clipped.
constexpr int kMinDigitWidth = 9;
constexpr int kMarginPadding = 5;

// Margin width in pixels for `lineCount` lines when one digit is `digitWidth` pixels wide:
// 1 to 9 lines give 14 and 10 lines give 23 with 9-pixel digits.
constexpr int LineNumberMarginWidth(int lineCount, int digitWidth) {
    const int perDigit = digitWidth > kMinDigitWidth ? digitWidth : kMinDigitWidth;
    return DecimalDigits(lineCount) * perDigit + kMarginPadding;
}

}  // namespace qm
