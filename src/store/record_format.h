// The bytes of one tree record: 13 fields joined by the separator 0x1E 0x1E, closed by 0x00.
// Pure functions over byte text; the store applies the repairs they call for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

inline constexpr std::string_view kFieldSeparator{"\x1E\x1E", 2};
inline constexpr char kRecordTerminator = '\0';
inline constexpr int kFieldCount = 13;

using RecordFields = std::array<std::string, kFieldCount>;

// Offsets of the first separators of the record [start, end) (end = its terminator), at most
// `max` of them; returns how many were found.
int FindSeparators(std::string_view data, size_t start, size_t end, int max, size_t* positions);

// The number of separators in a record (without its terminator); 12 in a well-formed one.
int CountSeparators(std::string_view record);

// Where field k (1..13) of the record [start, end) lies. Field 13 runs to the terminator, so a
// record with extra separators keeps them inside field 13. When the record is too short,
// `found` is false and `separators` says how many it has before the missing one.
struct FieldSpan {
    bool found = false;
    size_t start = 0;
    size_t end = 0;
    int separators = 0;
};
FieldSpan FindField(std::string_view data, size_t start, size_t end, int k);

// The first `count` fields of a record given without its terminator, split at every
// separator; missing fields are empty and parts after the 13th are dropped.
RecordFields SplitRecord(std::string_view record, int count = kFieldCount);

// The same fields as views into `record` (valid while its bytes are): a long body is split
// off without being copied.
using RecordViews = std::array<std::string_view, kFieldCount>;
RecordViews SplitRecordViews(std::string_view record, int count = kFieldCount);

// The 13 fields joined by separators, with the terminator.
std::string JoinRecord(const RecordFields& fields);
std::string JoinRecord(const RecordViews& fields);

// An integer field: full-width characters read as their ASCII forms, then leading white
// space, an optional sign and digits; reading stops at any other character. No digits
// give 0; values beyond 32 bits are clamped.
int32_t ParseIntField(std::string_view text);

// Text made safe for a field: every 0x1E becomes a space (so neither a separator nor half of
// one can appear at a field's edge) and every 0x00 is dropped (it would end the record).
std::string SanitizeField(std::string_view text);

}  // namespace qm
