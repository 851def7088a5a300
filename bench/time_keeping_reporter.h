// A console reporter that also keeps the mean real time of every benchmark by name, so a
// benchmark binary can print its table of ratios after the runs.
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
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times_[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
    }

protected:
    std::map<std::string, double> times_;  // in each benchmark's own time unit
};

}  // namespace qm::bench
