// Which packed file to unpack, and what its trailer says about the archive.
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/path_utils.h"
#include "engine/packed_file.h"

namespace {

// Reads the trailer of path with its own open; 1 when the file is a valid packed file. The same
// check as the job's, so that a signed program carrying one is found here too.
int ReadTrailerOf(const char* path, PackedFileTrailer* trailer) {
  std::memset(trailer, 0, sizeof *trailer);
  FileHandle file = OsOpenFile(path, FileOpenRead);
  if (file == kNoFile) return 0;
  const int valid = ReadTrailerInto(file, trailer);
  OsCloseFile(file);
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
