// Windows paths on a POSIX host: drive letters and the UNC root are mapped onto host folders,
// and an emulated current directory serves rooted and relative paths.
#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <mutex>

#include "platform/platform.h"
#include "platform/posix/posix_internal.h"
#include "platform/test_hooks.h"

namespace {

std::mutex g_pathLock;
char g_drives[26][kHostPathSize];
char g_uncRoot[kHostPathSize];
char g_currentDirectory[kHostPathSize];  // Windows form; empty until set

int IsSeparator(char c) { return c == '\\' || c == '/'; }

// The next character of a Windows path: a double-byte character of a test's code page is one,
// whatever its trail byte.
const char* Step(const char* p) {
  const unsigned char byte = static_cast<unsigned char>(*p);
  return byte >= 0x80 && OsIsLeadByte(CodePageAnsi, byte) && p[1] != '\0' ? p + 2 : p + 1;
}

// The end of the name at p: the first separator that is a character of its own, or the end.
const char* NameEnd(const char* p) {
  while (*p != '\0' && !IsSeparator(*p)) p = Step(p);
  return p;
}

int EndsWithBackslash(const char* out) {
  const char* last = out;
  for (const char* p = out; *p != '\0'; p = Step(p)) last = p;
  return *last == '\\';
}

// The length of out up to its last backslash behind from (out's own length when there is none).
size_t LastBackslashBehind(const char* out, size_t from) {
  size_t last = strlen(out);
  for (const char* p = out + from; *p != '\0'; p = Step(p)) {
    if (*p == '\\') last = static_cast<size_t>(p - out);
  }
  return last;
}

int AppendText(char* out, size_t size, size_t* length, const char* text, size_t count) {
  if (*length + count >= size) return 0;
  memcpy(out + *length, text, count);
  *length += count;
  out[*length] = '\0';
  return 1;
}

void CopyHostDirectory(char* target, const char* hostDirectory) {
  target[0] = '\0';
  if (hostDirectory == nullptr) return;
  size_t length = strnlen(hostDirectory, kHostPathSize - 1);
  while (length > 1 && hostDirectory[length - 1] == '/') --length;
  memcpy(target, hostDirectory, length);
  target[length] = '\0';
}

// Normalises the components of 'rest' onto 'out', which already holds the root (length rootLength).
// "..", when it would climb above the root, stays at the root, as on Windows.
int AppendComponents(char* out, size_t size, size_t rootLength, const char* rest) {
  size_t length = strlen(out);
  int endsWithBackslash = EndsWithBackslash(out);  // known from here on without walking out again
  const char* p = rest;
  while (*p != '\0') {
    while (IsSeparator(*p)) ++p;
    if (*p == '\0') break;
    const char* start = p;
    p = NameEnd(p);
    size_t count = static_cast<size_t>(p - start);
    // Win32 drops trailing dots and blanks of a name ("connect." is "connect"); a name of nothing
    // else keeps them ("." and ".." below).
    size_t kept = count;
    while (kept > 0 && (start[kept - 1] == '.' || start[kept - 1] == ' ')) --kept;
    if (kept > 0) count = kept;
    if (count == 1 && start[0] == '.') continue;
    if (count == 2 && start[0] == '.' && start[1] == '.') {
      const size_t cut = LastBackslashBehind(out, rootLength);
      length = cut < length ? cut : rootLength;  // the backslash before the component goes too
      out[length] = '\0';
      endsWithBackslash = EndsWithBackslash(out);
      continue;
    }
    if (length > 0 && !endsWithBackslash && !AppendText(out, size, &length, "\\", 1)) return 0;
    if (!AppendText(out, size, &length, start, count)) return 0;
    endsWithBackslash = 0;
  }
  return 1;
}

int NormaliseLocked(const char* path, char* out, size_t size) {
  if (path == nullptr || size < 4) return 0;
  out[0] = '\0';
  size_t length = 0;
  if (IsSeparator(path[0]) && IsSeparator(path[1])) {
    // \\server\share\rest: server and share form the root.
    const char* p = path + 2;
    const char* server = p;
    p = NameEnd(p);
    size_t serverLength = static_cast<size_t>(p - server);
    if (serverLength == 0 || *p == '\0') return 0;
    ++p;
    const char* share = p;
    p = NameEnd(p);
    size_t shareLength = static_cast<size_t>(p - share);
    if (shareLength == 0) return 0;
    if (!AppendText(out, size, &length, "\\\\", 2) || !AppendText(out, size, &length, server, serverLength) ||
        !AppendText(out, size, &length, "\\", 1) || !AppendText(out, size, &length, share, shareLength))
      return 0;
    return AppendComponents(out, size, length, p);
  }
  if (isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    char root[4] = {static_cast<char>(toupper(static_cast<unsigned char>(path[0]))), ':', '\\', '\0'};
    const char* rest = path + 2;
    if (!IsSeparator(*rest) && g_currentDirectory[0] == root[0]) {
      // X:name, relative to the current directory on the same drive
      if (!AppendText(out, size, &length, g_currentDirectory, strlen(g_currentDirectory))) return 0;
      return AppendComponents(out, size, 3, rest);
    }
    if (!AppendText(out, size, &length, root, 3)) return 0;
    return AppendComponents(out, size, 3, rest);
  }
  if (g_currentDirectory[0] == '\0') return 0;
  if (IsSeparator(path[0])) {
    // \rest: rooted on the drive (or share) of the current directory
    if (g_currentDirectory[0] == '\\') {
      char share[kHostPathSize];
      if (!NormaliseLocked(g_currentDirectory, share, sizeof share)) return 0;
      size_t cut = 2;
      int separators = 0;
      while (share[cut] != '\0') {
        if (share[cut] == '\\' && ++separators == 2) break;
        ++cut;
      }
      share[cut] = '\0';
      if (!AppendText(out, size, &length, share, cut)) return 0;
      return AppendComponents(out, size, cut, path);
    }
    if (!AppendText(out, size, &length, g_currentDirectory, 3)) return 0;
    return AppendComponents(out, size, 3, path);
  }
  if (!AppendText(out, size, &length, g_currentDirectory, strlen(g_currentDirectory))) return 0;
  size_t rootLength = 3;
  if (g_currentDirectory[0] == '\\') {
    rootLength = 2;
    int separators = 0;
    while (out[rootLength] != '\0') {
      if (out[rootLength] == '\\' && ++separators == 2) break;
      ++rootLength;
    }
  }
  return AppendComponents(out, size, rootLength, path);
}

// Appends one component to a host path, taking an existing entry that differs only in case.
int AppendHostComponent(char* host, size_t size, size_t* length, const char* name, size_t count) {
  if (!AppendText(host, size, length, "/", 1)) return 0;
  size_t start = *length;
  if (!AppendText(host, size, length, name, count)) return 0;
  struct stat info;
  if (lstat(host, &info) == 0) return 1;
  host[start - 1] = '\0';
  DIR* dir = opendir(start == 1 ? "/" : host);
  host[start - 1] = '/';
  if (dir == nullptr) return 1;
  while (struct dirent* entry = readdir(dir)) {
    if (strlen(entry->d_name) == count && CompareNoCaseN(entry->d_name, name, count) == 0) {
      memcpy(host + start, entry->d_name, count);
      break;
    }
  }
  closedir(dir);
  return 1;
}

}  // namespace

int CompareNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int ca = AnsiUpper(static_cast<unsigned char>(*a));
    int cb = AnsiUpper(static_cast<unsigned char>(*b));
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
}

int CompareNoCaseN(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    int ca = AnsiUpper(static_cast<unsigned char>(a[i]));
    int cb = AnsiUpper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}

int NormaliseWindowsPath(const char* windowsPath, char* out, size_t size) {
  std::lock_guard<std::mutex> hold(g_pathLock);
  return NormaliseLocked(windowsPath, out, size);
}

int MapWindowsPath(const char* windowsPath, char* hostPath, size_t size) {
  if (size == 0) return 0;
  hostPath[0] = '\0';
  char normal[kHostPathSize];
  std::lock_guard<std::mutex> hold(g_pathLock);
  if (!NormaliseLocked(windowsPath, normal, sizeof normal)) return 0;
  const char* rest;
  const char* root;
  if (normal[0] == '\\') {
    root = g_uncRoot;
    rest = normal + 2;  // server\share\... lie below the UNC root
  } else {
    root = g_drives[normal[0] - 'A'];
    rest = normal + 3;
  }
  if (root[0] == '\0') return 0;
  size_t length = 0;
  if (!AppendText(hostPath, size, &length, root, strlen(root))) return 0;
  if (length == 1) length = 0;  // a root of "/" gets no second slash
  hostPath[length] = '\0';
  const char* p = rest;
  while (*p != '\0') {
    const char* start = p;
    p = NameEnd(p);
    if (!AppendHostComponent(hostPath, size, &length, start, static_cast<size_t>(p - start))) {
      hostPath[0] = '\0';
      return 0;
    }
    if (*p == '\\') ++p;
  }
  if (length == 0) AppendText(hostPath, size, &length, "/", 1);
  return 1;
}

int WindowsPathOfHost(const char* hostPath, char* out, size_t size) {
  std::lock_guard<std::mutex> hold(g_pathLock);
  size_t length = 0;
  out[0] = '\0';
  for (int drive = 0; drive < 26; ++drive) {
    size_t rootLength = strlen(g_drives[drive]);
    if (rootLength == 0 || strncmp(hostPath, g_drives[drive], rootLength) != 0) continue;
    if (hostPath[rootLength] != '/' && hostPath[rootLength] != '\0') continue;
    char root[3] = {static_cast<char>('A' + drive), ':', '\0'};
    if (!AppendText(out, size, &length, root, 2)) return 0;
    hostPath += rootLength;
    break;
  }
  if (length == 0 && !AppendText(out, size, &length, "Z:", 2)) return 0;
  if (*hostPath == '\0' && !AppendText(out, size, &length, "\\", 1)) return 0;
  for (; *hostPath != '\0'; ++hostPath) {
    char c = *hostPath == '/' ? '\\' : *hostPath;
    if (!AppendText(out, size, &length, &c, 1)) return 0;
  }
  return 1;
}

void OsMapDriveForTests(char letter, const char* hostDirectory) {
  if (!isalpha(static_cast<unsigned char>(letter))) return;
  std::lock_guard<std::mutex> hold(g_pathLock);
  CopyHostDirectory(g_drives[toupper(static_cast<unsigned char>(letter)) - 'A'], hostDirectory);
}

void OsMapUncRootForTests(const char* hostDirectory) {
  std::lock_guard<std::mutex> hold(g_pathLock);
  CopyHostDirectory(g_uncRoot, hostDirectory);
}

void OsHostPathForTests(const char* windowsPath, char* hostPath, size_t size) {
  char host[kHostPathSize];
  if (size == 0) return;
  hostPath[0] = '\0';
  if (!MapWindowsPath(windowsPath, host, sizeof host)) return;
  size_t length = strlen(host);
  if (length >= size) return;
  memcpy(hostPath, host, length + 1);
}

int OsSetCurrentDirectory(const char* path) {
  char normal[kHostPathSize];
  char host[kHostPathSize];
  if (!NormaliseWindowsPath(path, normal, sizeof normal)) return 0;
  if (strlen(normal) > 260) return 0;
  if (!MapWindowsPath(normal, host, sizeof host)) return 0;
  struct stat info;
  if (stat(host, &info) != 0 || !S_ISDIR(info.st_mode)) return 0;
  std::lock_guard<std::mutex> hold(g_pathLock);
  memcpy(g_currentDirectory, normal, strlen(normal) + 1);
  return 1;
}

int OsGetCurrentDirectory(char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  std::lock_guard<std::mutex> hold(g_pathLock);
  size_t length = strlen(g_currentDirectory);
  if (length == 0 || length >= size) {
    buffer[0] = '\0';
    return 0;
  }
  memcpy(buffer, g_currentDirectory, length + 1);
  return 1;
}
