// Tree-file records built byte by byte for tests, as the program writes them.
#pragma once

#include <string>

namespace qm::testing {

inline const std::string kSep = "\x1E\x1E";
inline const std::string kEnd(1, '\0');
inline constexpr char kRecordTime[] = "2020-01-02 03:04:05";

// A complete 13-field record with the three times set to kRecordTime.
inline std::string Rec(const std::string& title, int depth, const std::string& body = "",
                       const std::string& externalPath = "", int image = 1, int state = 0) {
    const std::string i = std::to_string(image);
    return title + kSep + i + kSep + i + kSep + "0" + kSep + std::to_string(state) + kSep +
           std::to_string(depth) + kSep + body + kSep + externalPath + kSep + "0" + kSep + "0" +
           kSep + kRecordTime + kSep + kRecordTime + kSep + kRecordTime + kEnd;
}

}  // namespace qm::testing
