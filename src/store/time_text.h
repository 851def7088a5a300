// Time fields of a record: local time as "YYYY-MM-DD HH:MM:SS" (19 bytes).
#pragma once

#include <ctime>
#include <string>

namespace qm {

std::string TimeText(std::time_t time);

}  // namespace qm
