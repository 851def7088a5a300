#include "store/record_index.h"

#include <algorithm>
#include <cstring>

#include "store/record_format.h"

namespace qm {
namespace {

void AppendTerminators(std::string_view data, size_t base, std::vector<size_t>* out) {
    const char* const begin = data.data();
    const char* p = begin;
    const char* const stop = begin + data.size();
    while (p < stop) {
        const void* hit = std::memchr(p, kRecordTerminator, static_cast<size_t>(stop - p));
        if (hit == nullptr) break;
        const char* at = static_cast<const char*>(hit);
        out->push_back(base + static_cast<size_t>(at - begin));
        p = at + 1;
    }
}

}  // namespace

void RecordIndex::Reset() {
    ends_.clear();
    depths_.clear();
    built_ = false;
}

void RecordIndex::Build(std::string_view data) {
    ends_.clear();
    AppendTerminators(data, 0, &ends_);
    depths_.assign(ends_.size(), kUnknownDepth);
    built_ = true;
}

void RecordIndex::Update(size_t offset, size_t removed, std::string_view inserted) {
    if (!built_) return;
    const auto first = std::lower_bound(ends_.begin(), ends_.end(), offset);
    const auto last = std::lower_bound(first, ends_.end(), offset + removed);
    const size_t f = static_cast<size_t>(first - ends_.begin());
    const size_t l = static_cast<size_t>(last - ends_.begin());

    std::vector<size_t> added;
    AppendTerminators(inserted, offset, &added);

    if (inserted.size() != removed) {
        for (size_t k = l; k < ends_.size(); ++k) ends_[k] = ends_[k] + inserted.size() - removed;
    }
    if (l > f || !added.empty()) {
        ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(f),
                    ends_.begin() + static_cast<std::ptrdiff_t>(l));
        ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(f), added.begin(), added.end());
        depths_.erase(depths_.begin() + static_cast<std::ptrdiff_t>(f),
                      depths_.begin() + static_cast<std::ptrdiff_t>(l));
        depths_.insert(depths_.begin() + static_cast<std::ptrdiff_t>(f), added.size(),
                       kUnknownDepth);
    }
    // The record that now holds the bytes behind the edit changed too.
    const size_t touched = f + added.size();
    if (touched < depths_.size()) depths_[touched] = kUnknownDepth;
}

}  // namespace qm
