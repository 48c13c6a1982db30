// The archive start path of the target directory: the path under which the server knows it.
#include <cstdio>
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/locator_internal.h"
#include "discovery/path_utils.h"

namespace {

// A target on a local disk of the server itself: \\<computer>\zelvar<rest behind RootDirectory>.
void ArchiveRootOnServerDisk() {
  JobSettings& settings = g_jobSettings;
  char rootDirectory[kPathBuffer] = "";
  uint32_t size = sizeof rootDirectory;
  ReadRegistryString(RegistryLocalMachine, kServerKey, kRootDirectoryValue, rootDirectory, &size);
  if (rootDirectory[0] == '\0') return;
  // "C:\zelvar\" and "C:\zelvar" name the same root; the rest must keep its backslash.
  size_t length = std::strlen(rootDirectory);
  if (length > 3 && EndsWithChar(rootDirectory, '\\')) rootDirectory[length - 1] = '\0';
  if (!IsPathPrefixNoCase(settings.targetDir, rootDirectory)) {
    char shortForm[kPathBuffer] = "";
    uint32_t shortLength = OsGetShortPathName(rootDirectory, shortForm, sizeof shortForm);
    if (shortLength == 0 || shortLength >= sizeof shortForm) return;
    shortForm[sizeof shortForm - 1] = '\0';
    CopyToSize(rootDirectory, sizeof rootDirectory, shortForm);
    length = std::strlen(rootDirectory);
    if (length > 3 && EndsWithChar(rootDirectory, '\\')) rootDirectory[length - 1] = '\0';
    if (!IsPathPrefixNoCase(settings.targetDir, rootDirectory)) return;
  }
  char computer[kComputerNameBuffer] = "";
  if (!OsGetComputerName(computer, sizeof computer)) return;
  computer[sizeof computer - 1] = '\0';
  if (computer[0] == '\0') return;
  const char* rest = settings.targetDir + std::strlen(rootDirectory);
  char archiveRoot[kPathBuffer];
  int written = std::snprintf(archiveRoot, sizeof archiveRoot, "\\\\%s\\zelvar%s", computer, rest);
  if (written < 0 || static_cast<size_t>(written) >= sizeof archiveRoot) return;
  CopyToSize(settings.archiveRoot, kPathBuffer, archiveRoot);
}

}  // namespace

int DeriveArchiveRoot() {
  JobSettings& settings = g_jobSettings;
  if (settings.targetDir[0] == '\0') return 0;
  StripTrailingBackslash(settings.targetDir, settings.targetDir);
  char alternative[kPathBuffer] = "";

  if (!IsDriveForm(settings.targetDir)) {
    char unc[kPathBuffer];
    if (!VolumeToUncWhole(unc, settings.targetDir)) {
      settings.targetDir[0] = '\0';  // like every derived path that would be cut
      settings.archiveRoot[0] = '\0';
      return 0;
    }
    CopyToSize(settings.targetDir, kPathBuffer, unc);
    CopyToSize(alternative, sizeof alternative, unc);
    char mapped[kPathBuffer];
    UncToMappedDrive(settings.targetDir, mapped, sizeof mapped);
    CopyToSize(settings.targetDir, kPathBuffer, mapped);
  }

  settings.archiveRoot[0] = '\0';
  ScanRecordFile(settings.targetDir, "archive.add", TakeFirstArchivePath, settings.archiveRoot, 1);
  if (settings.archiveRoot[0] != '\0') return 1;

  if (SearchArchiveRoot(settings.targetDir)) return 1;
  if (alternative[0] != '\0' && !EqualNoCase(alternative, settings.targetDir)) {
    if (SearchArchiveRoot(alternative)) return 1;
  }
  if (MappedDriveToUnc(settings.targetDir, alternative, sizeof alternative)) {
    if (SearchArchiveRoot(alternative)) return 1;
  }
  if (alternative[0] != '\0') {
    char serverForm[kPathBuffer];
    if (ServerPathForm(alternative, serverForm)) CopyBounded(settings.archiveRoot, kPathChars, serverForm);
    return 1;
  }
  if (settings.platformIsNt == 1) ArchiveRootOnServerDisk();
  return 1;
}
