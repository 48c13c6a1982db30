// The upward search for the archive start path: each parent's "archive.dir" is asked about the child,
// and an "archive" directory of an installation with "clients\setup.inf" names its server.
#include <cstdio>
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/locator_internal.h"
#include "discovery/path_utils.h"

namespace {

// archiveRoot + "\" + tail; an archive root that would not fit is no archive root.
int AppendTail(const char* tail) {
  char* archiveRoot = g_jobSettings.archiveRoot;
  if (tail[0] == '\0') return 1;
  char joined[kPathBuffer];
  int length = std::snprintf(joined, sizeof joined, "%s\\%s", archiveRoot, tail);
  if (length < 0 || static_cast<size_t>(length) >= sizeof joined) {
    archiveRoot[0] = '\0';
    return 0;
  }
  CopyToSize(archiveRoot, kPathBuffer, joined);
  return 1;
}

// For an "archive" directory: the installation's server from its clients\setup.inf.
int ServerFromSetupInf(const char* installDir, const char* tail) {
  char inf[kPathBuffer];
  if (!JoinPathWhole(inf, installDir, kClientSetupInf, sizeof inf)) return 0;
  char server[kServerNameChars + 1];
  char volume[kServerNameChars + 1];
  server[0] = volume[0] = '\0';
  OsGetProfileString(kSettingsSection, "Server", "", server, sizeof server, inf);
  if (server[0] == '\0') return 0;
  OsGetProfileString(kSettingsSection, "Volume", "", volume, sizeof volume, inf);
  char root[kPathBuffer];
  int length = volume[0] != '\0' ? std::snprintf(root, sizeof root, "%s\\%s:zelvar\\%s", server, volume, tail)
                                 : std::snprintf(root, sizeof root, "\\\\%s\\%szelvar\\%s", server, "", tail);
  if (length < 0 || static_cast<size_t>(length) >= sizeof root) return 0;
  CopyToSize(g_jobSettings.archiveRoot, kPathBuffer, root);
  return 1;
}

}  // namespace

int SearchArchiveRoot(const char* path) {
  char work[kPathBuffer];
  CopyBounded(work, kPathChars, path);
  size_t limit = 3;  // X:\ .
  if (!IsDriveForm(work)) {
    char unc[kPathBuffer];
    if (!VolumeToUncWhole(unc, work)) return 0;
    CopyToSize(work, sizeof work, unc);
    limit = UncRootLength(work);  // never above the share
  }
  char tail[kPathBuffer] = "";
  if (g_jobSettings.archiveRoot[0] == '\0') {
    while (std::strlen(work) > limit) {
      size_t before = std::strlen(work);
      char name[kPathBuffer];
      FileNamePart(name, work);
      DirectoryPart(work, work);
      if (std::strlen(work) >= before) break;  // nothing left to climb over
      // An empty level (a doubled separator) is climbed over without asking anybody.
      if (name[0] != '\0') {
        ScanRecordFile(work, "archive.dir", MatchArchiveDirName, name, 1);
        if (g_jobSettings.archiveRoot[0] != '\0') break;
        char longer[kPathBuffer];
        int length = tail[0] == '\0' ? std::snprintf(longer, sizeof longer, "%s", name)
                                     : std::snprintf(longer, sizeof longer, "%s\\%s", name, tail);
        if (length < 0 || static_cast<size_t>(length) >= sizeof longer) return 0;
        CopyToSize(tail, sizeof tail, longer);
        if (EqualNoCase(name, "archive") && ServerFromSetupInf(work, tail)) return 1;
      }
    }
    if (g_jobSettings.archiveRoot[0] == '\0') return 0;
  }
  return AppendTail(tail);
}
