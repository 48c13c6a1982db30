// The run's log: gathered lines, appended in blocks to the file named on the command line.
#include "engine/job_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "discovery/program_texts.h"
#include "engine/explode.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "z_version.h"

namespace {

constexpr uint32_t kLogBufferSize = 32 * 1024;
constexpr int kLineChars = 1536;   // a message text with a 260-character path and more fits
constexpr int kReasonChars = 768;

// Runs on this machine and others append to one log at once: the file is opened for appending only,
// so that each write lands at its end as it is then, and a write holds a lock beyond the data while
// it lasts (some systems, Wine among them, find the end and write there in two steps).
constexpr uint64_t kLogWriteLockOffset = 1ull << 62;
constexpr uint32_t kLogWriteLockBoundMs = 5000;  // then the block is written without the lock
// A run killed in the middle loses at most about this much of its lines.
constexpr uint32_t kGatherMs = 1000;

struct JobLog {
  char path[kPathBuffer];
  char openPath[kPathBuffer];  // the name the open file was opened under
  FileHandle file = kNoFile;
  char run[112];               // names the run on each of its lines: computer and process id
  char buffer[kLogBufferSize];
  uint32_t used;
  uint32_t oldestTick;         // when the oldest gathered line was added
  int writeFailed;
  char reason[kReasonChars];
};
JobLog g_log;

// Whole lines only, in one write each block: the lines of other runs come between blocks, never
// inside a line.
void WriteGathered() {
  if (g_log.used == 0) return;
  const uint32_t start = OsTickCount();
  LockResult lock;
  while ((lock = OsTryLockFileByte(g_log.file, kLogWriteLockOffset)) == LockBusy &&
         OsTickCount() - start < kLogWriteLockBoundMs) {
    OsSleep(1);
  }
  if (OsWriteFile(g_log.file, g_log.buffer, g_log.used) != static_cast<int32_t>(g_log.used)) g_log.writeFailed = 1;
  if (lock == LockTaken) OsUnlockFileByte(g_log.file, kLogWriteLockOffset);
  g_log.used = 0;
}

void NameTheRun() {
  char computer[32];
  char name[3 * sizeof computer];
  if (!OsGetComputerName(computer, sizeof computer)) std::strcpy(computer, "?");
  OsTextToUtf8(computer, CodePageAnsi, name, sizeof name);
  std::snprintf(g_log.run, sizeof g_log.run, "%s:%lu", name, static_cast<unsigned long>(OsProcessId()));
}

// Line breaks of message texts would split one event into several lines.
void Flatten(char* text) {
  for (char* p = text; *p != '\0'; p = const_cast<char*>(NextChar(p))) {
    if (*p == '\n' || *p == '\r' || *p == '\t') *p = ' ';
  }
}

void AppendLine(const char* ansi) {
  OsLocalTime now;
  OsGetLocalTime(&now);
  char stamp[160];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u  %s  ", now.year, now.month, now.day, now.hour,
                now.minute, now.second, g_log.run);
  // Each ANSI character takes at most 3 bytes in UTF-8.
  constexpr uint32_t kLineBytes = sizeof stamp + 3 * kLineChars + 2;
  if (g_log.used + kLineBytes > kLogBufferSize) WriteGathered();
  char* at = g_log.buffer + g_log.used;
  const uint32_t stampLength = static_cast<uint32_t>(std::strlen(stamp));
  std::memcpy(at, stamp, stampLength);
  const uint32_t textLength = OsTextToUtf8(ansi, CodePageAnsi, at + stampLength, 3 * kLineChars + 1);
  std::memcpy(at + stampLength + textLength, "\r\n", 2);
  const uint32_t tick = OsTickCount();
  if (g_log.used == 0) g_log.oldestTick = tick;
  g_log.used += stampLength + textLength + 2;
  if (tick - g_log.oldestTick >= kGatherMs) WriteGathered();
}

// A text cut at the buffer's end loses a double-byte character whole: its lead byte alone would
// join whatever follows into another character.
void FormatInto(char* text, size_t size, const char* format, va_list arguments) {
  const int length = std::vsnprintf(text, size, format, arguments);
  if (length >= 0 && static_cast<size_t>(length) >= size) {
    char* last = LastChar(text);
    if (last[0] != '\0' && last[1] == '\0' && OsIsLeadByte(CodePageAnsi, static_cast<unsigned char>(last[0]))) {
      last[0] = '\0';
    }
  }
  Flatten(text);
}

// A message of the string table with its arguments, as the page would show it.
void MessageText(char* text, size_t size, int id, ...) {
  char format[512];
  LoadText(id, format, sizeof format);
  va_list arguments;
  va_start(arguments, id);
  FormatInto(text, size, format, arguments);
  va_end(arguments);
}

int StopRequestedNow() { return g_workerState.stopRequested != 0 || JobAbandoned(); }

const char* ExplodeResultText(uint32_t result) {
  switch (result) {
    case ExplodeBadDictionarySize: return "unknown dictionary size";
    case ExplodeBadLiteralMode: return "unknown literal mode";
    case ExplodeInputTooShort: return "stream too short";
    default: return "stream damaged or cut short";
  }
}

}  // namespace

void SetJobLogPath(const char* path) { CopyBounded(g_log.path, kPathChars, path); }
const char* JobLogPath() { return g_log.path; }
int JobLogOpen() { return g_log.file != kNoFile; }

int OpenJobLog() {
  if (g_log.path[0] == '\0') return 1;
  if (g_log.file != kNoFile) {
    if (std::strcmp(g_log.path, g_log.openPath) == 0) return 1;
    CloseJobLog();  // the control text named another log: it wins
  }
  const FileHandle file = OsOpenFile(g_log.path, FileOpenAppendCreate);
  if (file == kNoFile) return 0;
  g_log.file = file;
  NameTheRun();
  CopyBounded(g_log.openPath, kPathChars, g_log.path);
  g_log.used = 0;
  g_log.writeFailed = 0;
  g_log.reason[0] = '\0';
  return 1;
}

void FlushJobLog() {
  if (g_log.file != kNoFile) WriteGathered();
}

void CloseJobLog() {
  if (g_log.file == kNoFile) return;
  WriteGathered();
  if (g_log.writeFailed) {
    AppendLine("log: some lines of this run could not be written");
    WriteGathered();
  }
  OsCloseFile(g_log.file);
  g_log.file = kNoFile;
  g_log.openPath[0] = '\0';
}

namespace {

void AppendFormatted(const char* format, va_list arguments) {
  char text[kLineChars];
  FormatInto(text, sizeof text, format, arguments);
  AppendLine(text);
}

}  // namespace

void LogLine(const char* format, ...) {
  if (g_log.file == kNoFile) return;
  va_list arguments;
  va_start(arguments, format);
  AppendFormatted(format, arguments);
  va_end(arguments);
}

void LogLineNow(const char* format, ...) {
  if (g_log.file == kNoFile) return;
  va_list arguments;
  va_start(arguments, format);
  AppendFormatted(format, arguments);
  va_end(arguments);
  WriteGathered();
}

void SetLogReason(const char* format, ...) {
  if (g_log.file == kNoFile || g_log.reason[0] != '\0') return;
  va_list arguments;
  va_start(arguments, format);
  FormatInto(g_log.reason, sizeof g_log.reason, format, arguments);
  va_end(arguments);
}

// ---- events ----

void LogRunStart(const char* mode, const char* commandLine) {
  LogLine("Zarpex32 %s (%s), %s: %s", Z_VERSION, Z_VERSION_INTERNAL, mode, commandLine != nullptr ? commandLine : "");
}

void LogRunEnded(const char* reason) {
  SetLogReason("%s", reason);
  LogLineNow("end before the job: exit code -1: %s", g_log.reason);
}

void LogJobStart() {
  if (g_log.file == kNoFile) return;
  const JobSettings& settings = g_jobSettings;
  g_log.reason[0] = '\0';
  LogLine("job: source %s", settings.sourcePath);
  LogLine("job: target %s", settings.targetDir);
  LogLine("job: archive root %s", settings.archiveRoot);
  LogLine("job: archive name \"%s\"", settings.archiveName);
}

void LogTrailer() {
  LogLine("packed file: title \"%s\", subdirectory %s, %lu entries, %lu bytes to unpack, first entry at %lu",
          g_trailer.title, g_trailer.subdirectory, static_cast<unsigned long>(g_trailer.entryCount),
          static_cast<unsigned long>(g_trailer.unpackedSize), static_cast<unsigned long>(g_trailer.firstEntryOffset));
}

void LogFreeSpace(const char* root, uint64_t freeBytes, uint64_t required) {
  LogLine("free space on %s: %llu bytes, required %llu bytes", root, static_cast<unsigned long long>(freeBytes),
          static_cast<unsigned long long>(required));
}

void LogBackup(const char* backup) { LogLineNow("existing target moved aside to %s", backup); }

void LogTargetExistsAnswer(int32_t answer) {
  static const char* const kAnswers[] = {"cancel: nothing is changed", "rename, delete the backup after success",
                                         "rename and keep the backup"};
  if (answer == TargetExistsCancel) SetLogReason("The existing target directory was to stay as it is (cancel).");
  LogLineNow("target exists; answer: %s", answer >= 0 && answer <= 2 ? kAnswers[answer] : "unknown");
}

void LogJobStop(int questionType, MessageLParam argument) {
  if (g_log.file == kNoFile) return;
  char text[kLineChars];
  switch (questionType) {
    case QuestionNoArchiveRoot: MessageText(text, sizeof text, TextNoArchiveRoot); break;
    case QuestionSourceNotOpened: MessageText(text, sizeof text, TextSourceNotOpened); break;
    case QuestionNotPackedFile: MessageText(text, sizeof text, TextNotPackedFile); break;
    case QuestionDriveNotReady:
      MessageText(text, sizeof text, TextDriveNotReady, reinterpret_cast<const char*>(argument));
      break;
    case QuestionNotEnoughSpace: {
      const uint32_t packed = static_cast<uint32_t>(argument);
      MessageText(text, sizeof text, TextNotEnoughSpace, static_cast<long>(packed & 0xFFFFu),
                  static_cast<long>(packed >> 16));
      break;
    }
    case QuestionTargetNotRenamed: MessageText(text, sizeof text, TextTargetNotRenamed); break;
    case QuestionTargetClaimed: MessageText(text, sizeof text, TextTargetClaimed); break;
    case QuestionRecoveryFailed:
      MessageText(text, sizeof text, TextRecoveryFailed, reinterpret_cast<const char*>(argument));
      break;
    default: std::snprintf(text, sizeof text, "question %d", questionType); break;
  }
  SetLogReason("%s", text);
  LogLineNow("stop: %s", text);
}

void LogDirectoryEntry(const char* path) { LogLine("directory %s", path); }

void LogFileWritten(const char* path, uint64_t size) {
  LogLine("file %s, %llu bytes", path, static_cast<unsigned long long>(size));
}

void LogEntrySkipped(const char* path) { LogLine("skipped (cannot be created, ignored by the user): %s", path); }

void LogOutputNotCreated(const char* path) {
  if (g_log.file == kNoFile) return;
  char text[kLineChars];
  MessageText(text, sizeof text, TextOutputFailed, path);
  SetLogReason("%s", text);
  LogLine("cannot create %s", path);
}

void LogRefusedEntry(const char* name, const char* targetDir) {
  if (g_log.file == kNoFile) return;
  char name0[kPathBuffer];
  CopyBounded(name0, kPathChars, name);
  const char* why = "its name would leave the target directory";
  if (std::strlen(targetDir) + std::strlen(name) > static_cast<size_t>(kPathChars) && name[0] == '\\') {
    why = "target directory and name together are longer than 260 characters and would be cut";
  }
  SetLogReason("The entry %s was not written: %s.", name0, why);
  LogLine("refused entry %s: %s", name0, why);
}

void LogEntryNotWritten(const char* path, uint32_t explodeResult, int writeFailed) {
  if (g_log.file == kNoFile) return;
  if (writeFailed) {
    SetLogReason("The file %s could not be written completely (disk full or write error).", path);
    LogLine("write failed: %s", path);
  } else if (StopRequestedNow()) {
    LogLine("stopped while writing %s", path);
  } else {
    SetLogReason("The entry %s is damaged: %s.", path, ExplodeResultText(explodeResult));
    LogLine("damaged entry %s: %s (%lu)", path, ExplodeResultText(explodeResult), static_cast<unsigned long>(explodeResult));
  }
}

void LogUnreadableHeader(uint32_t index, uint32_t count) {
  SetLogReason("The packed file is damaged: the header of entry %lu of %lu cannot be read.",
               static_cast<unsigned long>(index), static_cast<unsigned long>(count));
  LogLine("damaged packed file: the header of entry %lu of %lu cannot be read", static_cast<unsigned long>(index),
          static_cast<unsigned long>(count));
}

void LogStopAfterEntry(uint32_t index, uint32_t count, const char* path) {
  SetLogReason("The setup program stopped the job after entry %lu of %lu.", static_cast<unsigned long>(index),
               static_cast<unsigned long>(count));
  LogLineNow("stop requested by the setup program after entry %lu of %lu (%s)", static_cast<unsigned long>(index),
             static_cast<unsigned long>(count), path);
}

void LogStopSeen(uint32_t entriesDone, uint32_t count) {
  if (g_log.file == kNoFile || !StopRequestedNow()) return;
  SetLogReason("The job was stopped after %lu of %lu entries.", static_cast<unsigned long>(entriesDone),
               static_cast<unsigned long>(count));
  LogLineNow("stopped after %lu of %lu entries", static_cast<unsigned long>(entriesDone), static_cast<unsigned long>(count));
}

void LogRollBack(const char* target, const char* backup) {
  if (g_log.file == kNoFile) return;
  if (backup[0] == '\0') {
    LogLineNow("roll-back: what was unpacked into %s is deleted", target);
    return;
  }
  LogLine("roll-back: what was unpacked into %s is deleted", target);
  if (OsPathExists(backup)) {
    LogLineNow("roll-back: the backup %s could not be moved back; it stays under that name", backup);
  } else {
    LogLineNow("roll-back: the backup %s is back as %s", backup, target);
  }
}

void LogBackupOutcome(const char* backup, int deleteBackup) {
  if (g_log.file == kNoFile || backup[0] == '\0') return;
  if (deleteBackup != 1) {
    LogLineNow("backup kept: %s", backup);
  } else if (OsPathExists(backup)) {
    LogLineNow("backup could not be deleted completely: %s", backup);
  } else {
    LogLineNow("backup deleted: %s", backup);
  }
}

void LogRecordWritten(const char* dir, const char* fileName, uint32_t slot, uint32_t recordsBefore) {
  const char* how = recordsBefore == 0 ? "file created or empty, " : (slot < recordsBefore ? "replaced, " : "appended, ");
  LogLine("record file %s\\%s: %sslot %lu", dir, fileName, how, static_cast<unsigned long>(slot));
}

void LogSetupOutcome(uint32_t doneCode, int exitCode) {
  if (g_log.file == kNoFile) return;
  char success[kLineChars];
  if (exitCode == 0) MessageText(success, sizeof success, TextJobSucceeded);
  if (exitCode != 0 && StopRequestedNow()) SetLogReason("The job was stopped.");
  SetLogReason("The job failed.");
  LogLine("outcome: done code %lu, exit code %d: %s", static_cast<unsigned long>(doneCode), exitCode,
          exitCode == 0 ? success : g_log.reason);
}

void LogJobResult(int result) {
  if (g_log.file == kNoFile) return;
  char success[kLineChars];
  if (result) MessageText(success, sizeof success, TextJobSucceeded);
  if (!result && StopRequestedNow()) SetLogReason("The job was stopped.");
  SetLogReason("The job failed.");
  LogLine("outcome: %s: %s", result ? "succeeded" : "failed", result ? success : g_log.reason);
  FlushJobLog();  // the program stays open: what happened is in the file now
}
