#include "common/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace qm {
namespace {

std::string FormatSignificant(double value, int digits) {
    if (value == 0) value = 0;  // no "-0"
    // std::to_chars ignores the locale: printf would write a decimal comma in some of them.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    std::string text(buffer, result.ptr);

    // The general format writes at least two exponent digits; the program's form has three.
    const size_t e = text.find('e');
    if (e == std::string::npos) return text;
    size_t digits_start = e + 1;
    if (digits_start < text.size() && (text[digits_start] == '+' || text[digits_start] == '-')) {
        ++digits_start;
    } else {
        text.insert(digits_start++, 1, '+');
    }
    const size_t exponent_digits = text.size() - digits_start;
    if (exponent_digits < 3) text.insert(digits_start, 3 - exponent_digits, '0');
    return text;
}

}  // namespace

std::string NumberText(double value) { return FormatSignificant(value, 13); }

std::string NumberTextSingle(float value) { return FormatSignificant(value, 6); }

std::string NumberTextDigits(double value, int digits) {
    return FormatSignificant(value, std::clamp(digits, 1, 17));
}

}  // namespace qm
