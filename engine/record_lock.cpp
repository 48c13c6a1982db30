// The locks in "archive.dir" files that keep runs of this program apart.
#include "engine/record_lock.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/archive_dir_wait.h"
#include "engine/job_log.h"

namespace {

constexpr uint32_t kMergePollMs = 5;
constexpr uint32_t kNameUnits = 512;
uint32_t g_mergeBoundForTests;

}  // namespace

uint64_t TargetClaimOffset(const char* targetDir) {
  uint16_t name[kNameUnits];
  const uint32_t units = OsComparableName(targetDir, name, kNameUnits);
  // FNV-1a of the name's UTF-16 units, so that machines with other ANSI code pages agree.
  uint64_t hash = 14695981039346656037ull;
  for (uint32_t k = 0; k < units; ++k) {
    hash = (hash ^ (name[k] & 0xFFu)) * 1099511628211ull;
    hash = (hash ^ (name[k] >> 8)) * 1099511628211ull;
  }
  return kRecordMergeLockOffset + 1 + (hash & ((1ull << kClaimOffsetBits) - 1));
}

int ArchiveDirPath(char* path, const char* dir) {
  const size_t length = std::strlen(dir);
  const int separator = !EndsWithChar(dir, '\\');  // a trail byte 0x5C is no separator
  if (length + (separator ? 1 : 0) + std::strlen("archive.dir") > static_cast<size_t>(kPathChars)) return 0;
  std::memcpy(path, dir, length);
  std::strcpy(path + length, separator ? "\\archive.dir" : "archive.dir");
  return 1;
}

FileHandle OpenArchiveDirFile(const char* dir, ArchiveDirOpening* opening) {
  char path[kPathBuffer];
  if (!ArchiveDirPath(path, dir)) return kNoFile;
  const uint32_t attributes = OsGetAttributes(path);
  int madeWritable = 0;
  if (attributes != kInvalidAttributes && (attributes & kAttrReadOnly) != 0) {
    madeWritable = OsSetAttributes(path, attributes & ~kAttrReadOnly);
  }
  const FileHandle file = OsOpenFile(path, FileOpenReadWriteCreate);
  if (opening != nullptr) {
    opening->created = attributes == kInvalidAttributes && file != kNoFile;
    opening->madeWritable = madeWritable;
    opening->attributes = attributes;
  }
  return file;
}

void SetMergeLockBoundForTests(uint32_t milliseconds) { g_mergeBoundForTests = milliseconds; }

namespace {

FileHandle OpenForMerge(void* context, int* /*missing*/) { return OpenArchiveDirFile(static_cast<const char*>(context)); }

}  // namespace

FileHandle OpenRecordsForMerge(const char* dir) {
  ArchiveDirWait wait = {};
  wait.dir = dir;
  wait.offset = kRecordMergeLockOffset;
  // The bound is kept by the clock: a sleep lasts longer than asked (on Windows a whole timer tick).
  wait.boundMs = g_mergeBoundForTests != 0 ? g_mergeBoundForTests : kLockWaitBoundMs;
  wait.startTick = OsTickCount();
  wait.pollMs = kMergePollMs;
  wait.open = OpenForMerge;
  wait.context = const_cast<char*>(dir);
  FileHandle file = kNoFile;
  const ArchiveDirWaitResult result = WaitForArchiveDirLock(wait, &file);
  if (result == WaitRanOut) LogLine("merge: the lock in %s\archive.dir stayed taken; the merge goes on without it", dir);
  return file;
}

void UnlockRecordsForMerge(FileHandle file) { OsUnlockFileByte(file, kRecordMergeLockOffset); }
