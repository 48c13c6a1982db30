// After a successful extraction: refresh the archive's own record in "archive.add" and register the
// archive, and as far as needed its parent archives, in the "archive.dir" files above the target.
#include "engine/record_merge.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/archive_dir_wait.h"
#include "engine/job_log.h"
#include "engine/record_lock.h"
#include "engine/records.h"
#include "platform/platform.h"

namespace {

const char kArchiveAdd[] = "archive.add";
const char kArchiveDir[] = "archive.dir";  // for the log; the file is opened through record_lock.h
constexpr int kNameTagChars = 90;
constexpr int kTitleTagChars = 95;
constexpr int kAncestorLevels = 51;

// dir + "\" + file name; 0 when that does not fit into a path buffer (a cut name would be another file).
int RecordFilePath(char* path, const char* dir, const char* fileName) {
  const size_t dirLength = std::strlen(dir);
  const size_t nameLength = std::strlen(fileName);
  const int needsSeparator = !EndsWithChar(dir, '\\');
  if (dirLength + (needsSeparator ? 1 : 0) + nameLength > static_cast<size_t>(kPathChars)) return 0;
  std::memcpy(path, dir, dirLength);
  size_t at = dirLength;
  if (needsSeparator) path[at++] = '\\';
  std::memcpy(path + at, fileName, nameLength + 1);
  return 1;
}

// Whether a path is only a root (C:, C:\, \\server\share) or has no separator, so that it has no parent.
int HasNoParent(const char* path, TextCodePage codePage) {
  if (path[0] != '\0' && path[1] == ':') return path[2] == '\0' || (path[2] == '\\' && path[3] == '\0');
  if (path[0] == '\\' && path[1] == '\\') {
    const char* p = UncShareEnd(path);
    while (*p == '\\') ++p;
    return *p == '\0';
  }
  const char* rest = NextChar(path, codePage);  // a separator in the first position does not count
  return LastComponent(rest, codePage) == rest;
}

// The directory above, cut at the last backslash, slash or colon; 0 when there is none. The walk
// goes up the target (ANSI) and the archive's record path (OEM) side by side.
int UpperDirectory(char* dst, const char* src, TextCodePage codePage) {
  if (HasNoParent(src, codePage)) return 0;
  DirectoryPart(dst, src, codePage);
  return 1;
}

void NewRecord(char* record) {
  std::memset(record, 0, kRecordSize);
  SetRecordWord(record, kRecordKindOffset, kRecordKindArchive);
}

void ClearSlotFree(char* record) {
  SetRecordWord(record, kRecordFlagsOffset, RecordWord(record, kRecordFlagsOffset) & ~RecordSlotFree);
}

// Record values are OEM text: they are equal ignoring case by the system's case mapping for its
// OEM code page.
int EqualOemNoCase(const char* a, const char* b) {
  const size_t length = std::strlen(a);
  if (std::strlen(b) != length || length >= kRecordTagsSize) return 0;
  char upperA[kRecordTagsSize], upperB[kRecordTagsSize];
  OsOemToUpper(a, upperA, sizeof upperA);
  OsOemToUpper(b, upperB, sizeof upperB);
  return std::memcmp(upperA, upperB, length) == 0;
}

int IsSlotFree(const char* record) { return (RecordWord(record, kRecordFlagsOffset) & RecordSlotFree) != 0; }

int ReadRecordAt(FileHandle file, uint32_t index, char* record) {
  if (OsSeekFile(file, static_cast<int64_t>(index) * kRecordSize, SeekFromStart) < 0) return 0;
  return OsReadFile(file, record, kRecordSize) == static_cast<int32_t>(kRecordSize);
}

void WriteRecordAt(FileHandle file, uint32_t index, const char* record) {
  if (OsSeekFile(file, static_cast<int64_t>(index) * kRecordSize, SeekFromStart) < 0) return;
  OsWriteFile(file, record, kRecordSize);
}

// What a walk over the records of an opened file found. The append slot is the first index after
// the last whole record, so that a trailing incomplete record is replaced rather than followed.
struct RecordScan {
  int32_t match;     // first record with the wanted tag value, or -1
  int32_t lastFree;  // last record with RecordSlotFree set, or -1
  uint32_t count;    // whole records in the file
};

RecordScan ScanRecords(FileHandle file, unsigned char tag, const char* wanted, char* matchRecord) {
  RecordScan scan = {-1, -1, 0};
  char record[kRecordSize];
  if (OsSeekFile(file, 0, SeekFromStart) < 0) return scan;
  while (OsReadFile(file, record, kRecordSize) == static_cast<int32_t>(kRecordSize)) {
    char value[kRecordTagsSize];
    ReadRecordTag(record, tag, value, sizeof value);
    if (scan.match < 0 && EqualOemNoCase(value, wanted)) {
      scan.match = static_cast<int32_t>(scan.count);
      std::memcpy(matchRecord, record, kRecordSize);
    }
    if (IsSlotFree(record)) scan.lastFree = static_cast<int32_t>(scan.count);
    ++scan.count;
  }
  return scan;
}

uint32_t FreeOrAppendSlot(const RecordScan& scan) {
  return scan.lastFree >= 0 ? static_cast<uint32_t>(scan.lastFree) : scan.count;
}

}  // namespace

void StampOwnRecord(char* record, const char* root, const char* nameOem) {
  ClearSlotFree(record);
  const char* lastComponent = LastComponent(root, CodePageOem);
  SetRecordTag(record, root, -1, TagPath);
  SetRecordTag(record, lastComponent, kNameTagChars, TagName);
  SetRecordTag(record, nameOem[0] != '\0' ? nameOem : lastComponent, kTitleTagChars, TagTitle);
}

void StampOwnRecord(char* record) {
  char root[kPathBuffer];
  ArchiveRootOem(root);
  char nameOem[kNameBuffer];
  CopyBounded(nameOem, kNameChars, g_jobSettings.archiveName);
  OsAnsiToOem(nameOem, nameOem);
  StampOwnRecord(record, root, nameOem);
}

namespace {

// Step 1: the archive's own record, refreshed in "archive.add" when that can be read.
void RefreshOwnRecord(char* ownRecord, const char* root, const char* nameOem) {
  char path[kPathBuffer];
  FileHandle file = kNoFile;
  if (RecordFilePath(path, g_jobSettings.targetDir, kArchiveAdd)) file = OsOpenFile(path, FileOpenReadWrite);
  int fromFile = 0;
  if (file != kNoFile) {
    if (ReadRecordAt(file, 0, ownRecord)) {
      fromFile = 1;
    } else {
      OsCloseFile(file);
      file = kNoFile;
    }
  }
  if (!fromFile) NewRecord(ownRecord);
  StampOwnRecord(ownRecord, root, nameOem);

  if (fromFile) {
    WriteRecordAt(file, 0, ownRecord);
    LogRecordWritten(g_jobSettings.targetDir, kArchiveAdd, 0, 1);
    OsCloseFile(file);
  }
}

// Step 3: the archive's record in its parent's "archive.dir": by name, else the last free slot, else appended.
int RegisterInParent(const char* ownRecord, const char* parentDir) {
  // Other runs merging into this file wait from here to the write.
  const FileHandle file = OpenRecordsForMerge(parentDir);
  if (file == kNoFile) return 0;
  char name[kRecordTagsSize];
  ReadRecordTag(ownRecord, TagName, name, sizeof name);
  char found[kRecordSize];
  const RecordScan scan = ScanRecords(file, TagName, name, found);
  const uint32_t slot = scan.match >= 0 ? static_cast<uint32_t>(scan.match) : FreeOrAppendSlot(scan);
  WriteRecordAt(file, slot, ownRecord);
  UnlockRecordsForMerge(file);
  LogRecordWritten(parentDir, kArchiveDir, slot, scan.count);
  OsCloseFile(file);
  return 1;
}

// Step 4.3/4.4 for one ancestor; 1 when it was registered already, so that the walk ends.
int RegisterAncestor(const char* ancestorPath, const char* parentDir) {
  const FileHandle file = OpenRecordsForMerge(parentDir);
  if (file == kNoFile) {
    LogLineNow("merge: %s is not registered in %s (its records could not be locked)", ancestorPath, parentDir);
    return 1;  // never written without the lock; the next run into the tree registers it
  }
  char record[kRecordSize];
  const RecordScan scan = ScanRecords(file, TagPath, ancestorPath, record);
  if (scan.match >= 0) {
    ClearSlotFree(record);
    WriteRecordAt(file, static_cast<uint32_t>(scan.match), record);
    UnlockRecordsForMerge(file);
    LogRecordWritten(parentDir, kArchiveDir, static_cast<uint32_t>(scan.match), scan.count);
    OsCloseFile(file);
    return 1;
  }
  NewRecord(record);
  const char* lastComponent = LastComponent(ancestorPath, CodePageOem);
  SetRecordTag(record, ancestorPath, -1, TagPath);
  SetRecordTag(record, lastComponent, kNameTagChars, TagName);
  SetRecordTag(record, lastComponent, kTitleTagChars, TagTitle);
  WriteRecordAt(file, FreeOrAppendSlot(scan), record);
  UnlockRecordsForMerge(file);
  LogRecordWritten(parentDir, kArchiveDir, FreeOrAppendSlot(scan), scan.count);
  OsCloseFile(file);
  return 0;
}

}  // namespace

int MergeArchiveRecords() {
  char root[kPathBuffer];
  ArchiveRootOem(root);
  char nameOem[kNameBuffer];
  CopyBounded(nameOem, kNameChars, g_jobSettings.archiveName);
  OsAnsiToOem(nameOem, nameOem);

  char ownRecord[kRecordSize];
  RefreshOwnRecord(ownRecord, root, nameOem);
  if (IsTopLevelPath(root)) return 1;  // a top-level archive is registered nowhere

  char parentDir[kPathBuffer];
  if (!UpperDirectory(parentDir, g_jobSettings.targetDir, CodePageAnsi)) return 1;
  // Nothing above the target is written yet: a run that cannot lock the parent's records stops.
  if (!RegisterInParent(ownRecord, parentDir)) {
    SetLogReason("The records in %s could not be locked: %s.", parentDir, ArchiveDirWaitError());
    return 0;
  }

  // The walk climbs the archive root and the target tree side by side. It ends where the target
  // tree has no higher directory, rather than going on with a path that has lost its root.
  char ancestorPath[kPathBuffer];
  CopyBounded(ancestorPath, kPathChars, root);
  for (int level = 0; level < kAncestorLevels; ++level) {
    if (!UpperDirectory(ancestorPath, ancestorPath, CodePageOem) || IsTopLevelPath(ancestorPath)) return 1;
    if (!UpperDirectory(parentDir, parentDir, CodePageAnsi)) return 1;
    if (RegisterAncestor(ancestorPath, parentDir)) return 1;
  }
  return 1;
}
