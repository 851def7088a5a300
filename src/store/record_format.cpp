#include "store/record_format.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/chars.h"

namespace qm {

int FindSeparators(std::string_view data, size_t start, size_t end, int max, size_t* positions) {
    int found = 0;
    const char* const base = data.data();
    size_t pos = start;
    while (found < max && pos + 1 < end) {
        // Most fields are a few bytes long: a short look comes before memchr, which keeps the
        // scan of a long body at memory speed.
        const size_t last = end - 1;  // a separator starts before the last byte
        size_t at = pos;
        const size_t near = std::min(last, pos + 32);
        while (at < near && base[at] != kFieldSeparator[0]) ++at;
        if (at == near) {
            if (near == last) break;
            const void* hit = std::memchr(base + near, kFieldSeparator[0], last - near);
            if (hit == nullptr) break;
            at = static_cast<size_t>(static_cast<const char*>(hit) - base);
        }
        if (base[at + 1] == kFieldSeparator[1]) {
            positions[found++] = at;
            pos = at + kFieldSeparator.size();
        } else {
            pos = at + 1;
        }
    }
    return found;
}

int CountSeparators(std::string_view record) {
    int count = 0;
    size_t positions[kFieldCount];
    for (size_t from = 0;;) {
        const int found = FindSeparators(record, from, record.size(), kFieldCount, positions);
        count += found;
        if (found < kFieldCount) return count;
        from = positions[found - 1] + kFieldSeparator.size();
    }
}

FieldSpan FindField(std::string_view data, size_t start, size_t end, int k) {
    FieldSpan span;
    if (k < 1 || k > kFieldCount) return span;
    size_t positions[kFieldCount];
    const int needed = k < kFieldCount ? k : kFieldCount - 1;
    span.separators = FindSeparators(data, start, end, needed, positions);
    if (span.separators < needed) return span;
    span.found = true;
    span.start = k == 1 ? start : positions[k - 2] + kFieldSeparator.size();
    span.end = k == kFieldCount ? end : positions[k - 1];
    return span;
}

RecordViews SplitRecordViews(std::string_view record, int count) {
    RecordViews fields;
    if (count > kFieldCount) count = kFieldCount;
    size_t positions[kFieldCount];
    const int found = FindSeparators(record, 0, record.size(), count, positions);
    size_t from = 0;
    for (int i = 0; i < count && i <= found; ++i) {
        const size_t to = i < found ? positions[i] : record.size();
        fields[i] = record.substr(from, to - from);
        from = to + kFieldSeparator.size();
    }
    return fields;
}

RecordFields SplitRecord(std::string_view record, int count) {
    const RecordViews views = SplitRecordViews(record, count);
    RecordFields fields;
    for (int i = 0; i < kFieldCount; ++i) fields[i].assign(views[i]);
    return fields;
}

namespace {

template <typename Fields>
std::string Join(const Fields& fields) {
    size_t size = 1 + kFieldSeparator.size() * (kFieldCount - 1);
    for (const auto& field : fields) size += field.size();
    std::string record;
    record.reserve(size);
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) record.append(kFieldSeparator);
        record.append(fields[i]);
    }
    record.push_back(kRecordTerminator);
    return record;
}

}  // namespace

std::string JoinRecord(const RecordFields& fields) { return Join(fields); }

std::string JoinRecord(const RecordViews& fields) { return Join(fields); }

namespace {

int32_t ParseAsciiInt(std::string_view narrow) {
    size_t pos = 0;
    while (pos < narrow.size() &&
           (narrow[pos] == ' ' || (narrow[pos] >= '\t' && narrow[pos] <= '\r'))) {
        ++pos;
    }
    bool negative = false;
    if (pos < narrow.size() && (narrow[pos] == '+' || narrow[pos] == '-')) {
        negative = narrow[pos] == '-';
        ++pos;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; pos < narrow.size() && narrow[pos] >= '0' && narrow[pos] <= '9'; ++pos) {
        value = value * 10 + (narrow[pos] - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

}  // namespace

int32_t ParseIntField(std::string_view text) {
    if (std::none_of(text.begin(), text.end(), [](char c) { return c & 0x80; })) {
        return ParseAsciiInt(text);
    }
    // Full-width forms first: row 0xA3 holds the full-width ASCII characters 0x21..0x7E,
    // and 0xA1 0xA1 is the ideographic space.
    std::string narrow;
    narrow.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = CharLengthAt(text, pos);
        const unsigned char lead = static_cast<unsigned char>(text[pos]);
        const unsigned char trail = length == 2 ? static_cast<unsigned char>(text[pos + 1]) : 0;
        if (length == 2 && lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            narrow.push_back(static_cast<char>(trail - 0x80));
        } else if (length == 2 && lead == 0xA1 && trail == 0xA1) {
            narrow.push_back(' ');
        } else {
            narrow.append(text.substr(pos, length));
        }
        pos += length;
    }
    return ParseAsciiInt(narrow);
}

std::string SanitizeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == kRecordTerminator) continue;
        out.push_back(c == kFieldSeparator[0] ? ' ' : c);
    }
    return out;
}

}  // namespace qm
