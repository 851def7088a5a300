#include "tools/calculator/calculator.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>

#include "common/charset.h"
#include "common/number_text.h"

namespace qm {
namespace {

// An operand: a run of digits and dots, with a "-" in front that does not follow a digit.
#define QM_OPERAND R"(((?<!\d)\-[\d\.]+|[\d\.]+))"
constexpr const char* kLevelPatterns[Calculator::kLevels] = {
    QM_OPERAND R"((\^|\&))" QM_OPERAND,
    QM_OPERAND R"((%|\\))" QM_OPERAND,
    QM_OPERAND R"((\*|\/))" QM_OPERAND,
    QM_OPERAND R"((\+|\-))" QM_OPERAND,
};
#undef QM_OPERAND
constexpr const char* kStripPattern = R"([^\d\.\+\-\*\/%\\\^\&\(\)]+)";
constexpr const char* kForeignPattern = R"([^\d\.\+\-\*\/%\\\^\&\(\)\s\=]+)";
constexpr const char* kDigitSpacePattern = R"([\s\d])";
constexpr const char* kDigitPattern = R"(\d)";
// Closed here: written open, no engine would take it. It still asks only whether one of
// + - * / % \ ^ & occurs.
constexpr const char* kOperatorPattern = R"([\+\-\*\/%\\\^\&])";

constexpr double kZero = 1e-7;

// Appends the code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Full-width forms as ASCII, blanks (ASCII and full-width) removed, the multiplication and
// division signs and the letter x as "*" and "/". Bytes that are not valid UTF-8 stay.
std::string Normalize(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        size_t length = lead < 0x80    ? 1
                        : lead >= 0xF0 ? 4
                        : lead >= 0xE0 ? 3
                        : lead >= 0xC0 ? 2
                                       : 1;
        if (i + length > utf8.size()) length = 1;
        char32_t cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t k = 1; k < length; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (cp >= 0xFF01 && cp <= 0xFF5E) cp -= 0xFEE0;  // full-width ASCII
        if (cp == 0x3000) cp = ' ';                      // full-width space
        if (cp == ' ') {
            // dropped
        } else if (cp == 0xD7 || cp == 'x' || cp == 'X') {
            out += '*';
        } else if (cp == 0xF7) {
            out += '/';
        } else if (cp < 0x80 || length > 1) {
            AppendUtf8(out, cp);
        } else {
            out += utf8[i];  // a stray byte, kept as it was
        }
        i += length;
    }
    return out;
}

// Every ")" closes an earlier "(" and every "(" is closed.
bool Balanced(std::string_view text) {
    int depth = 0;
    for (const char c : text) {
        if (c == '(') ++depth;
        if (c == ')' && --depth < 0) return false;
    }
    return depth == 0;
}

double Apply(double a, char op, double b) {
    if (std::fabs(a) <= kZero || std::fabs(b) <= kZero) {
        if (op == '*') return 0;
        // No division by zero: the dividend stands.
        if ((op == '/' || op == '%' || op == '\\') && std::fabs(b) <= kZero) return a;
    }
    switch (op) {
        case '^':
            return std::pow(a, b);
        case '&':
            return std::sqrt(a);
        case '%':
            return std::fmod(a, b);
        case '\\':
            return std::trunc(a / b);
        case '*':
            return a * b;
        case '/':
            return a / b;
        case '+':
            return a + b;
        case '-':
            return a - b;
        default:
            return NAN;
    }
}

}  // namespace

Calculator::Calculator() {
    for (int i = 0; i < kLevels; ++i) levels_[i].Compile(kLevelPatterns[i], true, true);
    strip_.Compile(kStripPattern, true, true);
    foreign_.Compile(kForeignPattern, true, true);
    digitSpace_.Compile(kDigitSpacePattern, true, true);
    digit_.Compile(kDigitPattern, true, true);
    operator_.Compile(kOperatorPattern, true, true);
}

bool Calculator::reduceLevel(int level, std::string& text) const {
    if (level < 1 || level > kLevels) return true;
    const Regex& expression = levels_[level - 1];
    // Each step removes an operator, so the loop ends by itself; the bound only guards it.
    size_t steps_left = text.size() + 1;
    RegexMatch match;
    while (steps_left-- > 0 && expression.FirstMatch(text, &match) == RegexStatus::kMatch) {
        if (match.groups.size() < 3 || match.groups[1].empty()) break;
        const double value = Apply(LeadingNumber(match.groups[0]), match.groups[1][0],
                                   LeadingNumber(match.groups[2]));
        if (!std::isfinite(value)) return false;
        const size_t at = text.find(match.text);
        if (at == std::string::npos) break;
        text.replace(at, match.text.size(), PlainNumberText(value));
    }
    return true;
}

std::optional<std::string> Calculator::reduceLevels(std::string_view text) const {
    std::string result(text);
    for (int level = 1; level <= kLevels; ++level) {
        if (!reduceLevel(level, result)) return std::nullopt;
    }
    return result;
}

double Calculator::evaluate(std::string& text) const {
    std::string utf8 = Normalize(Gb18030ToUtf8(text));
    text = Utf8ToGb18030(utf8);

    if (foreign_.FirstMatch(utf8, nullptr) != RegexStatus::kNoMatch) return kNotAnExpression;
    if (digit_.FirstMatch(utf8, nullptr) != RegexStatus::kMatch) return kNotAnExpression;
    if (operator_.FirstMatch(utf8, nullptr) != RegexStatus::kMatch) return kNotAnExpression;

    RegexStatus status = RegexStatus::kNoMatch;
    utf8 = strip_.RemoveMatches(utf8, &status);
    if (status != RegexStatus::kMatch && status != RegexStatus::kNoMatch) return kNotAnExpression;
    text = utf8;  // only ASCII is left
    // A ")" without its "(" would never be consumed, and an open "(" would be read as part
    // of a number: neither is an expression.
    if (!Balanced(utf8)) return kNotAnExpression;

    // Innermost parentheses first, each replaced by the reduced text between them.
    for (size_t close = utf8.find(')'); close != std::string::npos; close = utf8.find(')')) {
        const size_t open = utf8.rfind('(', close);
        const std::optional<std::string> inner =
            reduceLevels(std::string_view(utf8).substr(open + 1, close - open - 1));
        if (!inner) return kNotAnExpression;
        utf8.replace(open, close - open + 1, *inner);
    }
    const std::optional<std::string> rest = reduceLevels(utf8);
    if (!rest) return kNotAnExpression;
    const double value = LeadingNumber(*rest);
    return std::isfinite(value) ? value : kNotAnExpression;
}

std::optional<std::string> Calculator::rewrite(std::string_view line) const {
    std::string utf8 = Gb18030ToUtf8(line);
    static constexpr std::string_view kFullWidthEquals = "\xEF\xBC\x9D";  // "＝"
    for (size_t at = utf8.find(kFullWidthEquals); at != std::string::npos;
         at = utf8.find(kFullWidthEquals, at + 1)) {
        utf8.replace(at, kFullWidthEquals.size(), "=");
    }
    const size_t equals = utf8.find('=');
    if (equals != std::string::npos) utf8.resize(equals);

    std::string text = Utf8ToGb18030(utf8);
    const double value = evaluate(text);
    if (std::fabs(value - kNotAnExpression) <= kSentinelTolerance) return std::nullopt;
    return text + "=" + ResultText(value);
}

double LeadingNumber(std::string_view text) {
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const size_t start = i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t k = i + 1;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
        if (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) {
            while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) ++k;
            i = k;
        }
    }
    double value = 0;
    const auto result = std::from_chars(text.data() + start, text.data() + i, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large is infinite; too small is zero.
        const size_t e = text.find_first_of("eE", start);
        const bool tiny = e < i && text.substr(e + 1, 1) == "-";
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

std::string PlainNumberText(double value) {
    if (!std::isfinite(value)) return NumberText(value);
    char buffer[400];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 12);
    double rounded = 0;
    std::from_chars(buffer, result.ptr, rounded);
    if (rounded == 0) return "0";
    result = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed);
    if (result.ec != std::errc()) return NumberText(value);
    return std::string(buffer, result.ptr);
}

std::string ResultText(double value) {
    // Where a double holds no hundredths any more, rounding would only add an error.
    double rounded = value;
    const double scaled = std::fabs(value) * 100 + 1e-12;
    if (scaled < 0x1p53) {
        double whole = std::floor(scaled);
        if (scaled - whole >= 0.5) whole += 1;
        rounded = std::copysign(whole / 100, value);
    }

    std::string shown;
    double shownValue = 0;
    if (std::fabs(rounded) <= FLT_MAX) {
        const auto single = static_cast<float>(rounded);
        shown = NumberTextSingle(single);
        shownValue = single;
    } else {
        // Beyond single precision: the same six digits, from the double.
        shown = NumberTextDigits(rounded, 6);
        shownValue = LeadingNumber(shown);
    }
    if (std::fabs(shownValue - value) > 1e-7) shown += "(" + NumberText(value) + ")";
    return shown;
}

}  // namespace qm
