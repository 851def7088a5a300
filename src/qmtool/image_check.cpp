#include "qmtool/image_check.h"

#include <cstdio>

#include "store/record_format.h"
#include "store/tree_store.h"

namespace qm {
namespace {

template <typename... Args>
void AppendLine(std::string* report, const char* format, Args... args) {
    char line[160];
    std::snprintf(line, sizeof line, format, args...);
    report->append(line);
}

}  // namespace

int CheckImage(std::string_view image, std::string* report) {
    int problems = 0;
    size_t start = 0;
    int index = 0;
    int previousDepth = 0;
    for (size_t end; (end = image.find('\0', start)) != std::string_view::npos; start = end + 1) {
        const std::string_view record = image.substr(start, end - start);
        const int separators = CountSeparators(record);
        if (separators < kFieldCount - 1) {
            AppendLine(report, "record %d at offset %zu: short, %d separators\n", index, start,
                       separators);
            ++problems;
        } else if (separators > kFieldCount - 1) {
            AppendLine(report, "record %d at offset %zu: extra separators, %d\n", index, start,
                       separators);
            ++problems;
        }
        const int depth = ParseIntField(SplitRecord(record, kFieldDepth)[5]);
        if (depth < 1) {
            AppendLine(report, "record %d at offset %zu: depth %d below 1\n", index, start, depth);
            ++problems;
        } else if (depth > previousDepth + 1) {
            AppendLine(report, "record %d at offset %zu: depth jumps from %d to %d\n", index, start,
                       previousDepth, depth);
            ++problems;
        }
        previousDepth = depth;
        ++index;
    }
    if (start < image.size()) {
        AppendLine(report, "%zu bytes after the last record, at offset %zu\n", image.size() - start,
                   start);
        ++problems;
    }
    return problems;
}

}  // namespace qm
