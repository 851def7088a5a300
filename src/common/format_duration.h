// Durations as text, in the units the program shows (GB18030 text).
#pragma once

#include <cstdint>
#include <string>

namespace qm {

// Compact form: one unit, two decimals at most: "12.34 毫秒", "1.5 秒", "2 分".
std::string FormatDuration(double milliseconds);

// Detailed form: every non-zero unit from years to seconds, "1 天 1 小时 1 分钟 1 秒";
// below one second, the milliseconds: "250 毫秒".
std::string FormatDurationDetailed(int64_t milliseconds);

}  // namespace qm
