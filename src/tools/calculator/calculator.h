// The line calculator: rewrites an arithmetic text by repeatedly replacing the leftmost
// "number operator number" of the highest precedence level with its value, then reads the
// remaining text as a number. Qt-free; texts are GB18030 like the rest of the core.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/regex.h"

namespace qm {

class Calculator {
public:
    // What evaluate returns for a text that is not an expression; a result within
    // kSentinelTolerance of it counts as not an expression as well.
    static constexpr double kNotAnExpression = -16777216.0;
    static constexpr double kSentinelTolerance = 1e-7;

    // The precedence levels: 1 "^" "&", 2 "%" "\", 3 "*" "/", 4 "+" "-".
    static constexpr int kLevels = 4;

    // Compiles the nine expressions once.
    Calculator();
    Calculator(const Calculator&) = delete;
    Calculator& operator=(const Calculator&) = delete;

    // Evaluates `text` and replaces it with its cleaned form (full-width characters as ASCII,
    // no blanks, "×" "x" "X" as "*", "÷" as "/", and, when it is an expression, only digits,
    // ".", operators and parentheses). Returns kNotAnExpression when the text holds a
    // character outside that set (blanks, line breaks and "=" aside), no digit, no operator,
    // unbalanced parentheses, or when a step or the result is not a finite number.
    double evaluate(std::string& text) const;

    // Applies the levels 1 to 4 in order to a text without parentheses. Returns nullopt when
    // a step gives a value that is not finite.
    std::optional<std::string> reduceLevels(std::string_view text) const;

    // Applies one level (1 to 4) until its expression no longer matches. Returns false, with
    // the text as far as it got, when a step gives a value that is not finite.
    bool reduceLevel(int level, std::string& text) const;

    // The whole line rewrite: for the text of a line (GB18030, only the part before a first
    // "=" or "＝" counts) the cleaned expression, "=", the result rounded to two decimals in
    // six significant digits, and the 13-digit value in parentheses when the shown one
    // differs from it. nullopt when the text is not an expression.
    std::optional<std::string> rewrite(std::string_view line) const;

private:
    Regex levels_[kLevels];
    Regex strip_;       // 5: runs of characters that take no part
    Regex foreign_;     // 6: a character that makes the text no expression
    Regex digitSpace_;  // 7: kept with the others, unused
    Regex digit_;       // 8
    Regex operator_;    // 9
};

// The longest leading decimal number of `text` (optional sign, digits with at most one
// decimal point, optional exponent); 0 when the text starts with none. Independent of the
// process locale.
double LeadingNumber(std::string_view text);

// `value` rounded to 13 significant digits and written in plain decimal notation, never with
// an exponent, so that the operand pattern reads it back whole ("0.00001", not "1e-005").
std::string PlainNumberText(double value);

// The shown result: `value` rounded to two decimals (halves away from zero), in single
// precision with six significant digits, and "(" + 13 digits + ")" when that differs from
// the value by more than 1e-7.
std::string ResultText(double value);

}  // namespace qm
