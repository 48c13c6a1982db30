// The record of a run in progress: its name, its text, and the running job's own record.
#include "engine/interrupted_run.h"

#include <cstdio>
#include <cstring>

#include "discovery/path_utils.h"
#include "engine/job_log.h"
#include "engine/unpack_job.h"

namespace {

constexpr char kFirstLine[] = "Zarpex32 installation in progress\r\n";
constexpr char kPhaseLabel[] = "phase ";
// The phase letter sits at a fixed place, so that a change of phase is one byte written in place.
constexpr size_t kPhaseOffset = sizeof kFirstLine - 1 + sizeof kPhaseLabel - 1;
constexpr size_t kRecordBytes = 700;  // two names and the fixed lines

struct OwnRecord {
  int written;
  char path[kPathBuffer];
};
OwnRecord g_own;

// One "label value\r\n" line at text; the value copied into value (kPathBuffer bytes). The line's
// end on success, nullptr when the line is not there or its value does not fit.
const char* ReadField(const char* text, const char* end, const char* label, char* value) {
  const size_t labelLength = std::strlen(label);
  if (static_cast<size_t>(end - text) < labelLength || std::memcmp(text, label, labelLength) != 0) return nullptr;
  const char* start = text + labelLength;
  const char* stop = start;
  while (stop + 1 < end && !(stop[0] == '\r' && stop[1] == '\n')) ++stop;
  if (stop + 1 >= end || stop - start > kPathChars) return nullptr;
  std::memcpy(value, start, static_cast<size_t>(stop - start));
  value[stop - start] = '\0';
  return stop + 2;
}

// Writes the whole file and flushes it to the disk before closing it.
int WriteDurably(const char* path, const char* bytes, size_t length) {
  const FileHandle file = OsOpenFile(path, FileOpenReadWriteTruncate);
  if (file == kNoFile) return 0;
  const int written = OsWriteFile(file, bytes, static_cast<uint32_t>(length)) == static_cast<int32_t>(length) &&
                      OsFlushFile(file);
  OsCloseFile(file);
  return written;
}

}  // namespace

int RunRecordPath(char* path, const char* target) {
  char name[kPathBuffer];
  StripTrailingBackslash(name, CopyBounded(name, kPathChars, target));
  size_t length = std::strlen(name);
  while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ')) name[--length] = '\0';
  char parent[kPathBuffer];
  if (length == 0 || !ParentDirectory(parent, name)) return 0;
  if (length + sizeof kRunRecordSuffix - 1 > static_cast<size_t>(kPathChars)) return 0;
  std::memcpy(path, name, length);
  std::memcpy(path + length, kRunRecordSuffix, sizeof kRunRecordSuffix);
  return 1;
}

size_t FormatRunRecord(char* buffer, size_t size, const RunRecord& record) {
  const int length = std::snprintf(buffer, size, "%s%s%c\r\ndelete-backup %d\r\ntarget %s\r\nbackup %s\r\n", kFirstLine,
                                   kPhaseLabel, record.phase, record.deleteBackup ? 1 : 0, record.target, record.backup);
  if (length < 0 || static_cast<size_t>(length) >= size) return 0;
  return static_cast<size_t>(length);
}

int ParseRunRecord(const char* bytes, size_t length, RunRecord* record) {
  const char* end = bytes + length;
  const size_t first = sizeof kFirstLine - 1;
  if (length < kPhaseOffset + 3 || std::memcmp(bytes, kFirstLine, first) != 0) return 0;
  char phase[kPathBuffer];
  char flag[kPathBuffer];
  const char* at = ReadField(bytes + first, end, kPhaseLabel, phase);
  if (at != nullptr) at = ReadField(at, end, "delete-backup ", flag);
  if (at != nullptr) at = ReadField(at, end, "target ", record->target);
  if (at != nullptr) at = ReadField(at, end, "backup ", record->backup);
  if (at == nullptr || std::strlen(phase) != 1 || RunPhaseText(phase[0])[0] == '?' || record->target[0] == '\0') return 0;
  if (std::strcmp(flag, "0") != 0 && std::strcmp(flag, "1") != 0) return 0;
  // A name with a separator would lead out of the record's directory.
  if (std::strpbrk(record->target, "\\/:") != nullptr || std::strpbrk(record->backup, "\\/:") != nullptr) return 0;
  record->phase = phase[0];
  record->deleteBackup = flag[0] == '1';
  return 1;
}

const char* RunPhaseText(char phase) {
  switch (phase) {
    case RunPhaseNewTarget: return "unpacking into a new target";
    case RunPhaseBackedUp: return "old target moved to the backup, unpacking";
    case RunPhaseMerging: return "record merge begun, the backup still to be dealt with";
    default: return "?";
  }
}

RunRecordFound ReadRunRecord(const char* path, RunRecord* record) {
  const uint32_t attributes = OsGetAttributes(path);
  if (attributes == kInvalidAttributes) return RunRecordNone;
  if ((attributes & kAttrDirectory) != 0) return RunRecordForeign;
  const FileHandle file = OsOpenFile(path, FileOpenRead);
  if (file == kNoFile) return RunRecordForeign;
  char bytes[kRecordBytes + 1];
  const int32_t got = OsReadFile(file, bytes, sizeof bytes);
  OsCloseFile(file);
  if (got <= 0 || static_cast<size_t>(got) > kRecordBytes) return RunRecordForeign;
  return ParseRunRecord(bytes, static_cast<size_t>(got), record) ? RunRecordFoundOne : RunRecordForeign;
}

int BeginRunRecord(char phase, const char* target, const char* backup, int deleteBackup) {
  g_own.written = 0;
  RunRecord record = {};
  record.phase = phase;
  record.deleteBackup = deleteBackup;
  FileNamePart(record.target, target);
  if (backup[0] != '\0') FileNamePart(record.backup, backup);
  char bytes[kRecordBytes];
  const size_t length = FormatRunRecord(bytes, sizeof bytes, record);
  if (length == 0 || !RunRecordPath(g_own.path, target)) {
    LogLineNow("record: none for %s (the name does not fit), the run goes on without one", target);
    return 0;
  }
  if (OsPathExists(g_own.path)) {
    LogLineNow("record: %s is not this program's, left alone; the run goes on without a record", g_own.path);
    return 0;
  }
  if (!WriteDurably(g_own.path, bytes, length)) {
    OsDeleteFile(g_own.path);
    LogLineNow("record: %s cannot be written, the run goes on without one", g_own.path);
    return 0;
  }
  g_own.written = 1;
  LogLineNow("record: %s written (%s)", g_own.path, RunPhaseText(phase));
  return 1;
}

void SetRunRecordPhase(char phase) {
  if (!g_own.written) return;
  const FileHandle file = OsOpenFile(g_own.path, FileOpenReadWrite);
  const int done = file != kNoFile && OsSeekFile(file, static_cast<int64_t>(kPhaseOffset), SeekFromStart) >= 0 &&
                   OsWriteFile(file, &phase, 1) == 1 && OsFlushFile(file);
  if (file != kNoFile) OsCloseFile(file);
  LogLineNow(done ? "record: %s: %s" : "record: %s: the phase cannot be written (%s)", g_own.path, RunPhaseText(phase));
}

void EndRunRecord() {
  if (!g_own.written) return;
  g_own.written = 0;
  if (OsDeleteFile(g_own.path)) {
    LogLine("record: %s deleted, the run has ended", g_own.path);
  } else {
    LogLine("record: %s cannot be deleted", g_own.path);
  }
}
