// Counting the file calls an operation makes (through the crash-safe files' call layer).
#pragma once

#include <string>
#include <vector>

#include "common/file_calls.h"

namespace qm::testing {

// Records the file calls made while it lives.
class CallRecord {
public:
    CallRecord() {
        fileio::TakeRecordedCalls();
        fileio::RecordCalls(true);
    }
    ~CallRecord() { fileio::RecordCalls(false); }
    CallRecord(const CallRecord&) = delete;
    CallRecord& operator=(const CallRecord&) = delete;

    // Ends the record; later calls of Count read what it holds.
    void Stop() {
        fileio::RecordCalls(false);
        const std::vector<fileio::RecordedCall> taken = fileio::TakeRecordedCalls();
        calls_.insert(calls_.end(), taken.begin(), taken.end());
    }
    // Calls of kind `call` on files whose path ends with `suffix`.
    int Count(fileio::Call call, const std::string& suffix) const {
        int n = 0;
        for (const fileio::RecordedCall& c : calls_) {
            n += c.call == call && c.path.size() >= suffix.size() &&
                 c.path.compare(c.path.size() - suffix.size(), suffix.size(), suffix) == 0;
        }
        return n;
    }

private:
    std::vector<fileio::RecordedCall> calls_;
};

}  // namespace qm::testing
