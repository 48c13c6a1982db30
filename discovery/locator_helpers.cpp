// Path pieces of the locator: whole joins and copies, share roots, component-wise prefixes.
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator_internal.h"
#include "discovery/path_utils.h"

size_t JoinedLength(const char* dir, const char* tail) {
  size_t length = std::strlen(dir);
  if (!EndsWithChar(dir, '\\')) ++length;
  if (*tail == '\\') ++tail;
  return length + std::strlen(tail);
}

int JoinPathWhole(char* dst, const char* dir, const char* tail, size_t size) {
  if (size == 0) return 0;
  if (JoinedLength(dir, tail) >= size) {
    dst[0] = '\0';
    return 0;
  }
  JoinPath(dst, dir, tail, size);
  return 1;
}

int CopyWhole(char* dst, size_t size, const char* src) {
  if (size == 0) return 0;
  if (std::strlen(src) >= size) {
    dst[0] = '\0';
    return 0;
  }
  CopyToSize(dst, size, src);
  return 1;
}

int VolumeToUncWhole(char* dst, const char* src) {
  char unc[kPathBuffer + 2];
  VolumeToUncForm(src, unc, sizeof unc);
  return CopyWhole(dst, kPathBuffer, unc);
}

size_t UncRootLength(const char* path) {
  const char* p = SkipChars(path, "\\");
  p = FindFirstOf(p, "\\/");  // server name
  p = SkipChars(p, "\\");
  p = FindFirstOf(p, "\\/");  // share name
  p = SkipChars(p, "\\");
  return static_cast<size_t>(p - path);
}

int IsPathPrefixNoCase(const char* path, const char* prefix) {
  size_t length = std::strlen(prefix);
  if (length == 0 || !StartsWithNoCase(path, prefix)) return 0;
  // The prefix matched whole characters, so path[length] starts one; the prefix's own end is its
  // last whole character (a trail byte 0x5C ends no component).
  char next = path[length];
  return next == '\0' || next == '\\' || next == '/' || EndsWithChar(prefix, '\\') || EndsWithChar(prefix, '/') ||
         EndsWithChar(prefix, ':');
}
