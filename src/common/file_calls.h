// The low-level file calls of the crash-safe files (the journaled file and the edit log), each
// a point where a test can stop the process as a crash or a power cut would, or make the call
// fail as a full or broken disk would; and the checksum and integer helpers of their records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::fileio {

// Test hook: when set to n > 0, the process ends with _exit(86) just before its n-th write,
// truncate, sync, rename or unlink from now on. 0 turns it off.
void SetCrashPoint(int n);
// Counts one file call (and ends the process when the crash point is reached).
void CrashPoint();

// The kinds of file call a test can make fail.
enum Call : unsigned {
    kOpen = 1u << 0,
    kRead = 1u << 1,
    kWrite = 1u << 2,
    kTruncate = 1u << 3,
    kSync = 1u << 4,
    kRename = 1u << 5,
    kUnlink = 1u << 6,
    kEveryWrite = kWrite | kTruncate | kSync | kRename | kUnlink,
};
// Test hook: from now on every call of the kinds in `calls` on a file whose path contains
// `pathPart` (any file when empty) fails with errno `error` and does nothing, after `skip`
// such calls have passed; until ClearInjectedFailures. Thread-safe.
void InjectFailure(unsigned calls, int error, const std::string& pathPart = {}, int skip = 0);
void ClearInjectedFailures();
// Test hook: while on, every write, truncate, sync (of folders too), rename and unlink made
// through the functions below is recorded with the path of its file, so that a test sees what an
// operation costs; TakeRecordedCalls hands the record over and empties it. Thread-safe.
struct RecordedCall {
    Call call;
    std::string path;
};
void RecordCalls(bool on);
std::vector<RecordedCall> TakeRecordedCalls();
// Whether an injected failure hits this call on `path` (then errno is set). The calls below
// ask it themselves; code that makes its own system calls asks before them.
bool Injected(Call call, const std::string& path);
bool Injected(Call call, int fd);

// Each returns false with errno set when the call fails.
bool WriteAll(int fd, const char* data, size_t size, uint64_t offset);
bool Truncate(int fd, uint64_t size);
bool Sync(int fd);
bool Rename(const std::string& from, const std::string& to);
bool Unlink(const std::string& path);
// Syncs the folder holding `path`, so that a created, renamed or removed name is durable.
bool SyncFolderOf(const std::string& path);
// open(2) with O_CLOEXEC added; -1 with errno set on failure.
int OpenFile(const std::string& path, int flags, int mode = 0644);

// The whole content of an open file or of a file by name.
bool ReadAll(int fd, std::string* out);
bool ReadFile(const std::string& path, std::string* out);

// The system's text for an errno value ("No space left on device").
std::string ErrorText(int error);

void PutU32(std::string* out, uint32_t v);
void PutU64(std::string* out, uint64_t v);
uint32_t GetU32(const char* p);
uint64_t GetU64(const char* p);

// CRC-32 (zlib).
uint32_t Crc(const char* data, size_t size);
uint32_t CrcUpdate(uint32_t crc, const char* data, size_t size);

}  // namespace qm::fileio
