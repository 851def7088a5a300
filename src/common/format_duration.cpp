#include "common/format_duration.h"

#include <cmath>

#include "common/charset.h"
#include "common/number_text.h"

namespace qm {
namespace {

// The unit names are written in UTF-8 here and turned into the core's GB18030 once.
const std::string& Gb(const char* utf8) {
    thread_local std::string scratch;
    scratch = Utf8ToGb18030(utf8);
    return scratch;
}

bool Below(double x, double limit) { return x - limit < -0.0000001; }

// Rounds to two decimals, halves away from zero.
double RoundTwoDecimals(double x) { return std::round(x * 100.0) / 100.0; }

}  // namespace

std::string FormatDuration(double milliseconds) {
    struct Step {
        double divisor;  // applied before the test
        double limit;    // 0: the last unit, no test
        const char* unit;
    };
    static const Step kSteps[] = {{1000, 60, " 秒"}, {60, 60, " 分"}, {60, 24, " 时"},
                                  {24, 30, " 天"},   {30, 12, " 月"}, {12, 0, " 年"}};
    double x = milliseconds;
    const char* unit = " 毫秒";
    if (!Below(x, 1000)) {
        for (const Step& step : kSteps) {
            x /= step.divisor;
            unit = step.unit;
            if (step.limit == 0 || Below(x, step.limit)) break;
        }
    }
    return NumberText(RoundTwoDecimals(x)) + Gb(unit);
}

std::string FormatDurationDetailed(int64_t milliseconds) {
    int64_t seconds = milliseconds / 1000;
    if (seconds == 0) return std::to_string(milliseconds) + Gb(" 毫秒");

    // From the smallest unit up: how many of it make the next one (0: the last unit).
    struct Unit {
        int64_t per_next;
        const char* name;
    };
    static const Unit kUnits[] = {{60, " 秒"}, {60, " 分钟"}, {24, " 小时"},
                                  {30, " 天"}, {12, " 月"},   {0, " 年"}};
    int64_t parts[6];
    for (int i = 0; i < 6; ++i) {
        parts[i] = kUnits[i].per_next ? seconds % kUnits[i].per_next : seconds;
        if (kUnits[i].per_next) seconds /= kUnits[i].per_next;
    }

    std::string text;
    for (int i = 5; i >= 0; --i) {
        if (parts[i] <= 0) continue;
        if (!text.empty()) text += ' ';
        text += std::to_string(parts[i]) + Gb(kUnits[i].name);
    }
    return text;
}

}  // namespace qm
