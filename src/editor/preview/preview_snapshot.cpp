#include "editor/preview/preview_snapshot.h"

#include <algorithm>
#include <cctype>

#include "common/charset.h"

namespace qm {

namespace {

constexpr size_t kSniffBytes = 1024;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool IsGbkFamily(const std::string& charset) {
    static const char* const kNames[] = {
        "gbk",    "gb2312",   "gb18030", "x-gbk",     "cp936",           "ms936",   "windows-936",
        "euc-cn", "csgb2312", "chinese", "iso-ir-58", "csiso58gb231280", "gb_2312", "gb_2312-80"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](const char* name) { return charset == name; });
}

}  // namespace

std::string DeclaredCharset(std::string_view html) {
    std::string head(html.substr(0, kSniffBytes));
    std::transform(head.begin(), head.end(), head.begin(), Lower);
    const std::string key = "charset=";
    const size_t at = head.find(key);
    if (at == std::string::npos) return {};
    size_t from = at + key.size();
    while (from < head.size() && (head[from] == '"' || head[from] == '\'' || head[from] == ' ')) {
        ++from;
    }
    size_t end = from;
    while (end < head.size() &&
           (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' ||
            head[end] == '_' || head[end] == ':' || head[end] == '.')) {
        ++end;
    }
    return head.substr(from, end - from);
}

PreviewSnapshot MakePreviewSnapshot(std::string_view gb18030) {
    PreviewSnapshot snapshot;
    if (IsGbkFamily(DeclaredCharset(gb18030))) {
        snapshot.bytes = std::string(gb18030);
        snapshot.contentType = "text/html;charset=gb18030";
    } else {
        snapshot.bytes = Gb18030ToUtf8(gb18030);
        snapshot.contentType = "text/html;charset=utf-8";
    }
    return snapshot;
}

}  // namespace qm
