// The record offsets of a tree image (the terminator of every record) with a cache of their
// depths, so that an indexed operation needs no scan from offset 0. Edits update it in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace qm {

class RecordIndex {
public:
    static constexpr int32_t kUnknownDepth = std::numeric_limits<int32_t>::min();

    bool built() const { return built_; }
    void Reset();
    // Finds every terminator of `data`; the bytes after the last one are no record.
    void Build(std::string_view data);
    // Follows an edit of the indexed data: `removed` bytes at `offset` replaced by `inserted`.
    // Records whose terminator went away are dropped, terminators in `inserted` become
    // records, later offsets shift, and the depths of touched records are forgotten.
    void Update(size_t offset, size_t removed, std::string_view inserted);

    int count() const { return static_cast<int>(ends_.size()); }
    size_t start(int i) const { return i == 0 ? 0 : ends_[i - 1] + 1; }
    size_t end(int i) const { return ends_[i]; }
    int32_t depth(int i) const { return depths_[i]; }
    void set_depth(int i, int32_t depth) { depths_[i] = depth; }

private:
    std::vector<size_t> ends_;
    std::vector<int32_t> depths_;
    bool built_ = false;
};

}  // namespace qm
