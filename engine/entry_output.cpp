// The output side of an entry: its directories, its file, and the stored times.
#include "engine/entry_output.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/extraction.h"
#include "engine/job_log.h"
#include "engine/progress_messages.h"
#include "engine/setup_path_display.h"

namespace {

// Where directory creation starts: behind a drive (C: and one backslash) or a UNC server and share.
char* CreationStart(char* path) {
  if (path[0] != '\0' && path[1] == ':') return path + (path[2] == '\\' ? 3 : 2);
  char* p = path + (ShareRootEnd(path) - path);
  while (*p == '\\') ++p;
  return p;
}

// The directory that the last EnsureDirectory of this walk found or made; it need not be asked for
// again. Only the walk's own directories are remembered, and the walk forgets them when it begins.
char g_knownDirectory[kPathBuffer];

int OpenOutput(const char* path) {
  g_outputFile = OsOpenFile(path, FileOpenReadWriteTruncate);
  return g_outputFile != kNoFile;
}

// Stored times are 32-bit Unix seconds. Values from 2^31 on are negative in the signed conversion
// and have no local calendar time, so they fail like any other unconvertible time.
int ConvertTime(uint32_t unixTime, uint64_t* fileTime) {
  if (unixTime >= 0x80000000u) return 0;
  return OsUnixTimeToFileTime(static_cast<int64_t>(unixTime), fileTime);
}

}  // namespace

void EnsureDirectory(const char* path, int isFilePath) {
  char copy[kPathBuffer + 1];  // room for the backslash appended below
  CopyBounded(copy, kPathChars, path);
  StripTrailingBackslash(copy, copy);
  if (g_jobSettings.setupCall) ShowPathInSetupControl(copy);

  char fileName[kPathBuffer] = "";
  if (isFilePath) {
    FileNamePart(fileName, copy);
    DirectoryPart(copy, copy);
  }
  if (!g_jobSettings.setupCall) {
    ReportDirectory(copy);
    ReportFileName(fileName);
  }
  // Entries come directory by directory: most of them go where the one before went.
  if (copy[0] != '\0' && std::strcmp(copy, g_knownDirectory) == 0) return;
  if (OsDirectoryExists(copy)) {
    CopyBounded(g_knownDirectory, kPathChars, copy);
    return;
  }

  const size_t length = std::strlen(copy);
  copy[length] = '\\';
  copy[length + 1] = '\0';
  int lastCreated = 0;
  // Level by level, by whole characters: the trail byte 0x5C of a double-byte character ends no level.
  for (char* p = CreationStart(copy); *p != '\0'; p = const_cast<char*>(NextChar(p))) {
    if (*p != '\\') continue;
    *p = '\0';
    lastCreated = OsCreateDirectory(copy);  // an existing level fails here, which is fine
    *p = '\\';
  }
  copy[length] = '\0';
  if (lastCreated) CopyBounded(g_knownDirectory, kPathChars, copy);
}

void ForgetKnownDirectory() { g_knownDirectory[0] = '\0'; }

int CreateOutputFile(const char* path) {
  // A read-only file is made writable before it is overwritten. Only a failed open can mean one, so
  // the attributes are looked at then, which spares a look-up for every new file.
  if (OpenOutput(path)) return OutputOpened;
  const uint32_t attributes = OsGetAttributes(path);
  if (attributes != kInvalidAttributes && (attributes & kAttrReadOnly) != 0) {
    OsSetAttributes(path, attributes & ~kAttrReadOnly);
  }
  if (OpenOutput(path)) return OutputOpened;

  if (g_jobSettings.setupCall) {
    if (OpenOutput(path)) return OutputOpened;
    LogOutputNotCreated(path);
    g_jobSettings.error = SetupErrorCannotOpen;
    return OutputAbort;
  }
  for (;;) {
    if (CheckStopRequested()) return OutputAbort;  // a stopping job asks nothing more
    int answer = 0;
    SendJobMessage(UM_OUTPUT_FAILED, reinterpret_cast<MessageWParam>(&answer), reinterpret_cast<MessageLParam>(path));
    // 0 means nobody answered (no progress page): asking again would never end, so that aborts too.
    if (answer == 0 || answer == 2 || answer == 3) {
      LogOutputNotCreated(path);
      return OutputAbort;
    }
    if (answer == 5) return OutputSkip;
    if (OpenOutput(path)) return OutputOpened;
  }
}

int SetEntryTimes(uint32_t creationTime, FileHandle outputFile, uint32_t accessTime, uint32_t writeTime) {
  uint64_t creation, access, write;
  if (!ConvertTime(creationTime, &creation) || !ConvertTime(accessTime, &access) ||
      !ConvertTime(writeTime, &write)) {
    return -1;
  }
  return OsSetFileTimes(outputFile, creation, access, write) ? 0 : -1;
}
