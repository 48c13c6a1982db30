// Network forms of a server path: mapped drives of the current user, and the server's own form.
#include <cstdio>
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/locator_internal.h"
#include "discovery/path_utils.h"

namespace {
// Remote name of a connected drive ("X:"); empty when the drive is no network connection.
int QueryConnection(char letter, char* remote, uint32_t size) {
  char drive[3] = {letter, ':', '\0'};
  uint32_t length = size;
  remote[0] = '\0';
  if (OsGetNetworkConnection(drive, remote, &length) != 0) {
    remote[0] = '\0';
    return 0;
  }
  remote[size - 1] = '\0';
  return remote[0] != '\0';
}
}  // namespace

int UncToMappedDrive(const char* path, char* out, uint32_t size) {
  if (size == 0) return 0;
  char remote[kPathBuffer];
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (!QueryConnection(letter, remote, sizeof remote)) continue;
    // The remote name must cover whole components: \\srv\sh is no prefix of \\srv\share\x.
    if (!IsPathPrefixNoCase(path, remote)) continue;
    const char* rest = path + std::strlen(remote);
    if (*rest == '\\') ++rest;
    char mapped[kPathBuffer];
    int length = std::snprintf(mapped, sizeof mapped, "%c:\\%s", letter, rest);
    if (length < 0 || static_cast<size_t>(length) >= sizeof mapped) continue;
    CopyToSize(out, size, mapped);
    return 1;
  }
  if (out != path) CopyToSize(out, size, path);
  return 0;
}

int MappedDriveToUnc(const char* path, char* out, uint32_t size) {
  if (size == 0) return 0;
  if (path[0] == '\0' || path[1] != ':') {
    if (out != path) CopyToSize(out, size, path);
    return 0;
  }
  char remote[kPathBuffer];
  if (!QueryConnection(path[0], remote, sizeof remote)) {
    out[0] = '\0';
    return 0;
  }
  const char* rest = path + 2;
  if (*rest == '\\') ++rest;
  char unc[kPathBuffer];
  if (*rest == '\0') {
    CopyToSize(unc, sizeof unc, remote);
  } else if (!JoinPathWhole(unc, remote, rest, sizeof unc)) {
    out[0] = '\0';
    return 0;
  }
  CopyToSize(out, size, unc);
  return 1;
}

int ServerPathForm(const char* path, char* out) {
  if (path[0] == '\0' || IsDriveForm(path)) return 0;
  char unc[kPathBuffer];
  char volume[kPathBuffer];
  if (!VolumeToUncWhole(unc, path)) {
    out[0] = '\0';
    return 0;
  }
  UncToVolumeForm(unc, volume, sizeof volume);
  // The installation directory: the first directory behind the volume's colon.
  const char* colon = FindChar(volume, ':');
  int inInstallation = 0;
  if (colon != nullptr) {
    const char* directory = SkipChars(colon + 1, "\\/");
    size_t length = static_cast<size_t>(FindFirstOf(directory, "\\/") - directory);
    if (length > 0) {
      char marker[kPathBuffer];
      char markerUnc[kPathBuffer];
      size_t head = static_cast<size_t>(directory - volume) + length;
      if (head + 1 + std::strlen(kClientSetupExe) < sizeof marker) {
        std::memcpy(marker, volume, head);
        marker[head] = '\0';
        JoinPath(marker, marker, kClientSetupExe, sizeof marker);
        VolumeToUncForm(marker, markerUnc, sizeof markerUnc);
        inInstallation = OsPathExists(markerUnc);
      }
    }
  }
  CopyToSize(out, kPathBuffer, inInstallation ? volume : unc);
  return 1;
}
