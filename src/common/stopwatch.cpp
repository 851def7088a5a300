#include "common/stopwatch.h"

#include "common/format_duration.h"

namespace qm {

double Stopwatch::ElapsedMs() const {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

std::string Stopwatch::ElapsedText(std::string_view suffix) const {
    std::string text = FormatDuration(ElapsedMs());
    text += ' ';
    text += suffix;
    return text;
}

}  // namespace qm
