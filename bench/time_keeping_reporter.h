// A console reporter that also keeps the real time of every benchmark by name, so a
// benchmark binary can print its table of ratios after the runs: the median of its
// repetitions when it ran several, otherwise the mean of its one run.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

namespace qm::bench {

class TimeKeepingReporter : public benchmark::ConsoleReporter {
public:
    // Tabular plain output when not on a terminal (logs, CI).
    TimeKeepingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times_[name] = run.GetAdjustedRealTime();
                medians_[name] = true;
            } else if (run.run_type == Run::RT_Iteration && !medians_[name]) {
                times_[name] = run.GetAdjustedRealTime();
            }
        }
    }

protected:
    std::map<std::string, double> times_;  // in each benchmark's own time unit
    std::map<std::string, bool> medians_;  // names whose time is a median of repetitions
};

}  // namespace qm::bench
