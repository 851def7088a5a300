// A generated notebook for the benchmarks: a root and random notes of random depth, with bodies
// of 200 to 1800 bytes of mixed GB18030 text, the same bytes for the same seed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qm::bench {

// A body of 200 to 1800 bytes: two-byte ideographs, a few English words, full-width commas
// and CR LF line breaks.
std::string RandomBody(std::mt19937* rng);

// The file image of a notebook of `notes` records: record 0 is the root "笔记本" (depth 1),
// every other record a note at a random depth from 2 to one more than the record before it
// (at most `maxDepth`), titled "笔记 <i> note", with a random body. `timeText` goes into the
// three time fields; `depths` receives each record's depth when given.
std::string GenerateNotebookImage(int notes, int maxDepth, std::uint32_t seed,
                                  const std::string& timeText, std::vector<int>* depths = nullptr);

}  // namespace qm::bench
