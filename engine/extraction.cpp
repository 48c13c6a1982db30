// Entry extraction: walks the entries of the open, checked packed file and recreates each of them
// under targetDir, then merges the archive's records into the tree above it.
#include "engine/extraction.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/interrupted_run.h"
#include "engine/job_log.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "engine/records.h"
#include "engine/setup_path_display.h"
#include "engine/source_reader.h"
#include "engine/unpack_job.h"

FileHandle g_sourceFile = kNoFile;
FileHandle g_outputFile = kNoFile;
uint32_t g_remainingInput;
int g_outputWriteFailed;
uint64_t g_outputWritten;

namespace {

// Record file kinds by file name; the row number is the kind.
const char* const kRecordFileNames[] = {"archive.dat", "archive.dir", "archive.add"};

int IsSeparator(char c) { return c == '\\' || c == '/'; }

// Names that Windows resolves to a device wherever they stand, with or without an extension.
int IsDeviceName(const char* component, size_t length) {
  size_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  char upper[8];
  if (base < 3 || base > 7) return 0;
  for (size_t k = 0; k < base; ++k) {
    const char c = component[k];
    upper[k] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  upper[base] = '\0';
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (std::strcmp(upper, device) == 0) return 1;
  }
  if (base == 4 && (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0)) {
    return upper[3] >= '1' && upper[3] <= '9';
  }
  return 0;
}

void SendSetupPercent(uint32_t index, uint32_t count, uint32_t* lastPercent) {
  const uint32_t percent =
      count == 0 ? 100u : static_cast<uint32_t>(static_cast<uint64_t>(index) * 100u / count);
  if (percent <= *lastPercent) return;
  OsSendMessage(g_jobSettings.parentWindow, UM_SETUP_PROGRESS, percent, 0);
  *lastPercent = percent;
  OsUpdateWindow(g_jobSettings.parentWindow);
  OsPumpOneMessage(g_jobSettings.parentWindow);
}

// Whether the open output file already has the entry's attributes, so that setting them by name
// (one more open of the file) would change nothing. Only an entry that asks for the archive bit
// qualifies: a file system may set that bit when the written file is closed, and that must not add
// a bit the entry does not have. Most files ask for exactly what a new file has: the archive bit.
int HasEntryAttributes(FileHandle file, uint32_t attributes) {
  if ((attributes & kAttrArchive) == 0) return 0;
  const uint32_t present = OsGetOpenFileAttributes(file);
  return present != kInvalidAttributes && present == attributes ? 1 : 0;
}

// One file entry: create, decompress, times, close, attributes. 0 when the entry failed, -1 on abort.
int ExtractFileEntry(const char* path, const EntryHeader& header, ExplodeWorkArea* workArea) {
  const int created = CreateOutputFile(path);
  if (created == OutputAbort) return -1;
  if (created == OutputSkip) {
    LogEntrySkipped(path);
    return 1;
  }
  int result = 1;
  g_outputWritten = 0;
  if (header.storedSize > 0) {
    g_remainingInput = header.storedSize;
    result = DecompressEntry(path, workArea, header.entryFlags);
  }
  SetEntryTimes(header.creationTime, g_outputFile, header.accessTime, header.writeTime);
  const int attributesInPlace = HasEntryAttributes(g_outputFile, header.attributes);
  OsCloseFile(g_outputFile);
  g_outputFile = kNoFile;
  if (!attributesInPlace) OsSetAttributes(path, header.attributes);
  if (result == 1) LogFileWritten(path, g_outputWritten);
  return result;
}

}  // namespace

int IsSafeEntryName(const char* name) {
  if (!IsSeparator(name[0])) return 0;  // the name is joined to targetDir behind a backslash
  const char* component = name + 1;
  for (;;) {
    size_t length = 0;
    int onlyDotsAndBlanks = 1;
    while (component[length] != '\0' && !IsSeparator(component[length])) {
      const char c = component[length];
      if (c == ':') return 0;  // drive or alternate data stream
      if (c != '.' && c != ' ') onlyDotsAndBlanks = 0;
      length = static_cast<size_t>(NextChar(component + length) - component);  // a trail 0x5C is no separator
    }
    // An empty level (\\, trailing backslash, UNC start) or one of dots and blanks (., .., ". .",
    // which Windows reduces to . or ..) could climb out of the target; a device name leaves it too.
    if (length == 0 || onlyDotsAndBlanks || IsDeviceName(component, length)) return 0;
    if (component[length] == '\0') return 1;
    component += length + 1;
  }
}

int IsWritableEntry(const char* name, const char* targetDir) {
  if (!IsSafeEntryName(name)) return 0;
  return std::strlen(targetDir) + std::strlen(name) <= static_cast<size_t>(kPathChars);
}

char* ComposeOutputPath(char* outputPath, const char* name, const char* targetDir) {
  char nameCopy[kPathBuffer];
  CopyBounded(nameCopy, kPathChars, name);  // outputPath may hold the name
  CopyBounded(outputPath, kPathChars, targetDir);
  const size_t used = std::strlen(outputPath);
  CopyBounded(outputPath + used, kPathChars - used, nameCopy);
  return outputPath;
}

namespace {

// Output is gathered into larger writes than the decompressor's 4096-byte blocks: each write call
// costs far more than copying its bytes, above all on the Windows side.
constexpr uint32_t kOutputBufferSize = 64 * 1024;
char g_outputBuffer[kOutputBufferSize];
uint32_t g_outputBuffered;

void WriteThrough(const char* buffer, uint32_t count) {
  if (OsWriteFile(g_outputFile, buffer, count) != static_cast<int32_t>(count)) g_outputWriteFailed = 1;
  g_outputWritten += count;
}

}  // namespace

void FlushOutput() {
  if (g_outputBuffered > 0) WriteThrough(g_outputBuffer, g_outputBuffered);
  g_outputBuffered = 0;
}

void WriteOutputBytes(const char* buffer, uint32_t count) {
  if (count == 0) return;
  if (g_outputBuffered + count > kOutputBufferSize) FlushOutput();
  if (count >= kOutputBufferSize) {
    WriteThrough(buffer, count);
    return;
  }
  std::memcpy(g_outputBuffer + g_outputBuffered, buffer, count);
  g_outputBuffered += count;
}

void WriteOutput(char* buffer, uint32_t* count, void*) { WriteOutputBytes(buffer, *count); }

uint32_t ReadCompressed(char* buffer, uint32_t* count, void*) {
  if (CheckStopRequested()) return 0;  // the decompressor then ends with a stream error
  if (g_jobSettings.setupCall) CatchUpSetupPath();
  const uint32_t wanted = *count < g_remainingInput ? *count : g_remainingInput;
  if (wanted == 0) return 0;
  const int32_t got = ReadSource(buffer, wanted);
  if (got <= 0) return 0;  // a read error ends the entry like a stream cut short
  g_remainingInput -= static_cast<uint32_t>(got);
  return static_cast<uint32_t>(got);
}

int DecompressEntry(const char* path, ExplodeWorkArea* workArea, uint16_t entryFlags) {
  g_outputWriteFailed = 0;
  g_outputBuffered = 0;
  ExplodeResult result;
  if ((entryFlags & EntryHasRecords) != 0) {
    char copy[kPathBuffer];
    StripTrailingBackslash(copy, path);
    const char* slash = FindLastOf(copy, "\\");
    RecordStream stream = {RecordsNone, WriteOutputBytes};
    if (slash != nullptr) {
      for (int row = 0; row < 3; ++row) {
        if (EqualNoCase(slash + 1, kRecordFileNames[row])) stream.kind = row;
      }
    }
    g_recordFill = 0;
    result = explodeStream(ReadCompressed, WriteRecords, workArea, &stream);
    // Bytes of a trailing incomplete record wait in the buffer; they belong to the file as they are.
    if (g_recordFill > 0) {
      WriteOutputBytes(g_recordBuffer, g_recordFill);
      g_recordFill = 0;
    }
  } else {
    result = explodeStream(ReadCompressed, WriteOutput, workArea, nullptr);
  }
  FlushOutput();
  if (result != ExplodeOk || g_outputWriteFailed) LogEntryNotWritten(path, result, g_outputWriteFailed);
  return result == ExplodeOk && !g_outputWriteFailed ? 1 : 0;
}

int ExtractEntries() {
  // Every entry must come through: one failed entry fails the extraction, whatever follows it.
  int succeeded = 1;
  const int setupCall = g_jobSettings.setupCall;
  const uint32_t entryCount = g_trailer.entryCount;
  uint32_t lastPercent = 0;
  ExplodeWorkArea workArea;

  const int positioned = BeginSourceReading(g_sourceFile, g_trailer.firstEntryOffset);
  ForgetKnownDirectory();
  BeginSetupPathDisplay();
  if (!positioned) succeeded = 0;
  if (setupCall) {
    OsSendMessage(g_jobSettings.parentWindow, UM_SETUP_PROGRESS, 0, 0);
  } else {
    ReportEntryCount(entryCount);
  }
  EnsureDirectory(g_jobSettings.targetDir, 0);

  uint32_t i = 0;
  for (; positioned && i < entryCount && !CheckStopRequested(); ++i) {
    if (setupCall) {
      SendSetupPercent(i, entryCount, &lastPercent);
    } else {
      ReportPosition(i);
    }
    EntryHeaderBuffer headerBuffer;
    // A header that cannot be read while the trailer promises more entries means a defective file:
    // the walk ends, and the extraction fails rather than leave an incomplete archive behind.
    if (ReadEntryHeaderFrom(ReadSourceBlock, nullptr, &headerBuffer) != EntryRead) {
      LogUnreadableHeader(i + 1, entryCount);
      succeeded = 0;
      break;
    }
    const EntryHeader header = headerBuffer.header;
    const int64_t dataStart = SourcePosition();
    char* path = EntryName(headerBuffer);
    if (!IsWritableEntry(path, g_jobSettings.targetDir)) {
      LogRefusedEntry(path, g_jobSettings.targetDir);
      succeeded = 0;  // never written: it would land outside the target or under a cut name
    } else {
      ComposeOutputPath(path, path, g_jobSettings.targetDir);
      const int isDirectory = (header.entryFlags & EntryIsDirectory) != 0;
      EnsureDirectory(path, isDirectory ? 0 : 1);
      if (isDirectory) LogDirectoryEntry(path);
      if (!isDirectory) {
        const int result = ExtractFileEntry(path, header, &workArea);
        if (result < 0) {
          succeeded = 0;
          break;
        }
        if (result == 0) succeeded = 0;
      }
    }
    if (!SetSourcePosition(dataStart + header.storedSize)) {
      succeeded = 0;
      break;
    }
    if (setupCall) {
      const MessageResult reply = OsSendMessage(g_jobSettings.parentWindow, UM_SETUP_QUERY_STOP, 0, 0);
      g_workerState.stopRequested = reply != 0 ? 1 : 0;
      if (reply != 0) LogStopAfterEntry(i + 1, entryCount, path);
    }
  }

  if (setupCall) FinishSetupPathDisplay();
  OsCloseFile(g_sourceFile);
  g_sourceFile = kNoFile;
  if (succeeded) LogStopSeen(i, entryCount);
  if (!succeeded || CheckStopRequested() || !EnterPointOfNoReturn()) return 0;

  if (!setupCall) SendKeptReports();  // the merge may wait long for another run
  SetRunRecordPhase(RunPhaseMerging);  // from here on a killed run is finished, not undone
  if (!MergeArchiveRecords()) {
    // Nothing above the target was written: a roll-back killed part-way is undone, not finished.
    SetRunRecordPhase(g_jobSettings.backupDir[0] != '\0' ? RunPhaseBackedUp : RunPhaseNewTarget);
    ReportJobStop(QuestionTargetClaimed, SetupErrorCannotRename);
    return 0;
  }
  if (setupCall) {
    SendSetupPercent(entryCount, entryCount, &lastPercent);
  } else {
    ReportPosition(entryCount);
  }
  return 1;
}
