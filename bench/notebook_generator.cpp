#include "notebook_generator.h"

#include <algorithm>

#include "store/record_format.h"

namespace qm::bench {

std::string RandomBody(std::mt19937* rng) {
    static const char* const kWords[] = {"note",  "the",    "record", "tree",   "meeting",
                                         "Linux", "budget", "todo",   "review", "2024"};
    std::uniform_int_distribution<int> length(200, 1800);
    std::uniform_int_distribution<int> row(0xB0, 0xD7);
    std::uniform_int_distribution<int> column(0xA1, 0xFE);
    std::uniform_int_distribution<int> pick(0, 99);
    const size_t target = static_cast<size_t>(length(*rng));
    std::string body;
    body.reserve(target + 16);
    while (body.size() < target) {
        const int p = pick(*rng);
        if (p < 60) {
            body.push_back(static_cast<char>(row(*rng)));
            body.push_back(static_cast<char>(column(*rng)));
        } else if (p < 85) {
            body += kWords[p % 10];
            body.push_back(' ');
        } else if (p < 95) {
            body += "\xA3\xAC";  // full-width comma
        } else {
            body += "\r\n";
        }
    }
    return body;
}

std::string GenerateNotebookImage(int notes, int maxDepth, std::uint32_t seed,
                                  const std::string& timeText, std::vector<int>* depths) {
    std::mt19937 rng(seed);
    std::string image;
    image.reserve(static_cast<size_t>(notes) * 1120);
    if (depths != nullptr) depths->reserve(static_cast<size_t>(notes));
    int depth = 1;
    for (int i = 0; i < notes; ++i) {
        if (i > 0) {
            std::uniform_int_distribution<int> next(2, std::min(depth + 1, maxDepth));
            depth = next(rng);
        }
        if (depths != nullptr) depths->push_back(depth);
        RecordFields f;
        f[0] = i == 0 ? std::string("\xB1\xCA\xBC\xC7\xB1\xBE")
                      : "\xB1\xCA\xBC\xC7 " + std::to_string(i) + " note";
        f[1] = f[2] = i == 0 ? "2" : "1";
        f[3] = f[4] = "0";
        f[5] = std::to_string(depth);
        if (i > 0) f[6] = RandomBody(&rng);
        f[8] = f[9] = "0";
        f[10] = f[11] = f[12] = timeText;
        image += JoinRecord(f);
    }
    return image;
}

}  // namespace qm::bench
