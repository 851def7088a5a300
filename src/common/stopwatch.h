// Measures elapsed time for progress messages ("导入完成 1.5 秒 ...").
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace qm {

class Stopwatch {
public:
    // Starts at construction; Start() starts again.
    Stopwatch() { Start(); }

    void Start() { start_ = std::chrono::steady_clock::now(); }

    // Milliseconds since Start(), with fractions.
    double ElapsedMs() const;

    // The compact duration since Start() (FormatDuration), a space and `suffix` (GB18030).
    std::string ElapsedText(std::string_view suffix) const;

private:
    std::chrono::steady_clock::time_point start_;
};

}  // namespace qm
