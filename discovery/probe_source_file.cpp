// Which packed file to unpack, and what its trailer says about the archive.
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/path_utils.h"
#include "engine/packed_file.h"

namespace {

// Reads the trailer of path with its own open, seek and read; 1 when the file is a valid packed file.
int ReadTrailerOf(const char* path, PackedFileTrailer* trailer) {
  std::memset(trailer, 0, sizeof *trailer);
  FileHandle file = OsOpenFile(path, FileOpenRead);
  if (file == kNoFile) return 0;
  int64_t length = OsFileLength(file);
  int valid = 0;
  if (length >= static_cast<int64_t>(sizeof *trailer) &&
      OsSeekFile(file, -static_cast<int64_t>(sizeof *trailer), SeekFromEnd) >= 0) {
    int32_t got = OsReadFile(file, trailer, sizeof *trailer);
    valid = got == static_cast<int32_t>(sizeof *trailer) && trailer->magic == kPackedFileMagic &&
            static_cast<int64_t>(trailer->fileSize) == length;
  }
  OsCloseFile(file);
  // The texts need not carry their terminators.
  trailer->title[sizeof trailer->title - 1] = '\0';
  trailer->subdirectory[sizeof trailer->subdirectory - 1] = '\0';
  return valid;
}

// Probes sourcePath as it stands; keepGivenName keeps an archive name that is already set.
int ProbeNamedSource(int keepGivenName) {
  JobSettings& settings = g_jobSettings;
  if (settings.sourcePath[0] == '\0') return 0;
  PackedFileTrailer trailer;
  if (!ReadTrailerOf(settings.sourcePath, &trailer)) return 0;
  CopyBounded(settings.archiveSubdir, kNameChars, trailer.subdirectory);
  if (!(keepGivenName && settings.archiveName[0] != '\0')) CopyBounded(settings.archiveName, kNameChars, trailer.title);
  return 1;
}

}  // namespace

int ProbeSourceFile(int useDefaultSource) {
  JobSettings& settings = g_jobSettings;
  int keepGivenName = useDefaultSource == 1;
  if (settings.sourcePath[0] != '\0') {
    if (ProbeNamedSource(keepGivenName)) return 1;
  } else if (useDefaultSource == 1) {
    // The program's own file, which carries a packed file when one was appended to it.
    CopyBounded(settings.sourcePath, kPathChars, settings.modulePath);
    if (ProbeNamedSource(keepGivenName)) return 1;
    // The packing tool's last packed file.
    settings.sourcePath[0] = '\0';
    uint32_t size = sizeof settings.sourcePath;
    ReadRegistryString(RegistryCurrentUser, kPackToolKey, kPackFileValue, settings.sourcePath, &size);
    if (ProbeNamedSource(keepGivenName)) return 1;
    settings.sourcePath[0] = '\0';
  }
  settings.archiveName[0] = '\0';
  settings.archiveSubdir[0] = '\0';
  return 0;
}
