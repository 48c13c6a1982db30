// The installation root and the default target directory, and the installation root of a chosen target.
#include <cstdio>
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/locator_internal.h"
#include "discovery/path_utils.h"

namespace {

// installRoot from the installation's settings, in their fixed order; 1 when one was found.
int FindInstallRoot() {
  JobSettings& settings = g_jobSettings;
  if (settings.installRoot[0] != '\0') return 1;  // given with -P or left by DeriveInstallRoot

  // The archive directory named in brannix.ini: its parent is the installation root.
  char archiveRoot[kPathBuffer];
  ReadSettingsValue(kSettingsSection, "ArchiveRoot", "", archiveRoot, sizeof archiveRoot);
  if (archiveRoot[0] != '\0') {
    StripTrailingBackslash(archiveRoot, archiveRoot);
    DirectoryPart(settings.installRoot, archiveRoot);
    if (settings.installRoot[0] != '\0') return 1;
  }

  // The server (and volume) named in brannix.ini.
  char server[kServerNameChars + 1];
  ReadSettingsValue(kSettingsSection, "Server", "", server, sizeof server);
  if (server[0] != '\0') {
    char volume[kServerNameChars + 1];
    ReadSettingsValue(kSettingsSection, "Volume", "", volume, sizeof volume);
    char root[kPathBuffer];
    int length = volume[0] != '\0' ? std::snprintf(root, sizeof root, "\\\\%s\\%s\\zelvar", server, volume)
                                   : std::snprintf(root, sizeof root, "\\\\%s\\zelvar", server);
    if (length > 0 && static_cast<size_t>(length) < sizeof root) {
      CopyToSize(settings.installRoot, kPathBuffer, root);
      return 1;
    }
  }

  // The local installation of a server (NT only).
  if (settings.platformIsNt == 1) {
    uint32_t size = sizeof settings.installRoot;
    ReadRegistryString(RegistryLocalMachine, kServerKey, kRootDirectoryValue, settings.installRoot, &size);
    if (settings.installRoot[0] != '\0') return 1;
  }
  return 0;
}

}  // namespace

void DeriveTargetDir(int useDefaultSource) {
  JobSettings& settings = g_jobSettings;
  ProbeSourceFile(useDefaultSource);
  if (settings.targetGiven != 1) {
    if (!FindInstallRoot()) {
      settings.installRoot[0] = '\0';
      settings.archiveRoot[0] = '\0';
      return;
    }
    StripTrailingBackslash(settings.installRoot, settings.installRoot);
    const char* subdir = settings.archiveSubdir[0] != '\0' ? settings.archiveSubdir : "\\archive";
    char target[kPathBuffer];
    int length = std::snprintf(target, sizeof target, "%s%s", settings.installRoot, subdir);
    // A target that does not fit would be another directory: no default target then.
    if (length < 0 || static_cast<size_t>(length) >= sizeof target) target[0] = '\0';
    CopyToSize(settings.targetDir, kPathBuffer, target);
  }
  DeriveArchiveRoot();
}

void DeriveInstallRoot() {
  JobSettings& settings = g_jobSettings;
  DeriveArchiveRoot();
  const char* archiveRoot = settings.archiveRoot;
  if (archiveRoot[0] == '\0') return;

  // Behind the server (and volume) lies the installation directory's name; the tail behind it is the
  // archive's place inside the installation.
  const char* p = archiveRoot;
  if (*p == '\\') {
    p = SkipChars(p, "\\");
  } else {
    p = FindFirstOf(p, "\\");
    p = SkipChars(p, "\\");
  }
  p = SkipPastSeparatorRun(p, ":\\");
  const char* tail = FindChar(p, '\\');

  if (tail != nullptr) {
    CopyBounded(settings.installRoot, kPathChars, settings.targetDir);
    // Tried at the start of every whole character: a trail byte 0x5C starts no tail.
    for (char* at = settings.installRoot; *at != '\0'; at = const_cast<char*>(NextChar(at))) {
      if (StartsWithNoCase(at, tail)) {
        *at = '\0';
        StripTrailingBackslash(settings.installRoot, settings.installRoot);
        return;
      }
    }
  }
  char head[kPathBuffer];
  size_t headLength = tail != nullptr ? static_cast<size_t>(tail - archiveRoot) : std::strlen(archiveRoot);
  if (headLength >= sizeof head) headLength = sizeof head - 1;
  std::memcpy(head, archiveRoot, headLength);
  head[headLength] = '\0';
  VolumeToUncForm(head, settings.installRoot, kPathBuffer);
}
