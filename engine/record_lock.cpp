// The locks in "archive.dir" files that keep runs of this program apart.
#include "engine/record_lock.h"

#include <cstring>

#include "discovery/job_settings.h"

namespace {

constexpr uint32_t kMergePollMs = 5;
constexpr uint64_t kClaimOffsetBits = 40;  // 2^40 bytes of claims behind the merge lock

}  // namespace

uint64_t TargetClaimOffset(const char* targetDir) {
  const char* name = targetDir;
  for (const char* p = targetDir; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  // FNV-1a of the name, case folded as file names are (ASCII letters; other characters as they are).
  uint64_t hash = 14695981039346656037ull;
  for (const char* p = name; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    hash = (hash ^ c) * 1099511628211ull;
  }
  return kRecordMergeLockOffset + 1 + (hash & ((1ull << kClaimOffsetBits) - 1));
}

FileHandle OpenArchiveDirFile(const char* dir) {
  char path[kPathBuffer];
  const size_t length = std::strlen(dir);
  const int separator = length == 0 || dir[length - 1] != '\\';
  if (length + (separator ? 1 : 0) + std::strlen("archive.dir") > static_cast<size_t>(kPathChars)) return kNoFile;
  std::memcpy(path, dir, length);
  std::strcpy(path + length, separator ? "\\archive.dir" : "archive.dir");
  const uint32_t attributes = OsGetAttributes(path);
  if (attributes != kInvalidAttributes && (attributes & kAttrReadOnly) != 0) {
    OsSetAttributes(path, attributes & ~kAttrReadOnly);
  }
  return OsOpenFile(path, FileOpenReadWriteCreate);
}

int LockRecordsForMerge(FileHandle file) {
  for (uint32_t waited = 0; waited < kLockWaitBoundMs; waited += kMergePollMs) {
    const LockResult result = OsTryLockFileByte(file, kRecordMergeLockOffset);
    if (result != LockBusy) return result == LockTaken ? 1 : 0;
    OsSleep(kMergePollMs);
  }
  return 0;
}

void UnlockRecordsForMerge(FileHandle file) { OsUnlockFileByte(file, kRecordMergeLockOffset); }
