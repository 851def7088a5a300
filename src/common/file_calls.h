// The low-level file calls of the crash-safe files (the journaled file and the edit log), each
// a point where a test can stop the process as a crash or a power cut would, and the checksum
// and integer helpers of their on-disk records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::fileio {

// Test hook: when set to n > 0, the process ends with _exit(86) just before its n-th write,
// truncate, sync, rename or unlink from now on. 0 turns it off.
void SetCrashPoint(int n);
// Counts one file call (and ends the process when the crash point is reached).
void CrashPoint();

bool WriteAll(int fd, const char* data, size_t size, uint64_t offset);
bool Truncate(int fd, uint64_t size);
bool Sync(int fd);
bool Rename(const std::string& from, const std::string& to);
bool Unlink(const std::string& path);
// Syncs the folder holding `path`, so that a created, renamed or removed name is durable.
bool SyncFolderOf(const std::string& path);

// The whole content of an open file or of a file by name.
bool ReadAll(int fd, std::string* out);
bool ReadFile(const std::string& path, std::string* out);

void PutU32(std::string* out, uint32_t v);
void PutU64(std::string* out, uint64_t v);
uint32_t GetU32(const char* p);
uint64_t GetU64(const char* p);

// CRC-32 (zlib).
uint32_t Crc(const char* data, size_t size);
uint32_t CrcUpdate(uint32_t crc, const char* data, size_t size);

}  // namespace qm::fileio
