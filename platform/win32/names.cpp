// Names as the file system compares them, through their wide form: the same units for every
// spelling that Windows takes for one directory, whatever the ANSI code page of the machine.
#include <windows.h>

#include "platform/platform.h"

namespace {

constexpr int kWidePath = 1024;

int IsSeparator(WCHAR c) { return c == L'\\' || c == L'/' || c == L':'; }

}  // namespace

uint32_t OsComparableName(const char* path, uint16_t* name, uint32_t size) {
  if (name == nullptr || size == 0) return 0;
  name[0] = 0;
  WCHAR wide[kWidePath];
  if (path == nullptr || MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kWidePath) <= 0) return 0;
  // An existing path in its long form: short names (LANGER~1) become the names they stand for.
  WCHAR longForm[kWidePath];
  const DWORD longUnits = GetLongPathNameW(wide, longForm, kWidePath);
  const WCHAR* full = longUnits > 0 && longUnits < kWidePath ? longForm : wide;

  size_t end = lstrlenW(full);
  while (end > 0 && (full[end - 1] == L'\\' || full[end - 1] == L'/')) --end;
  size_t start = end;
  while (start > 0 && !IsSeparator(full[start - 1])) --start;
  // Win32 drops trailing dots and blanks of a last component ("connect." is "connect"); a name of
  // nothing else keeps them.
  size_t kept = end;
  while (kept > start && (full[kept - 1] == L'.' || full[kept - 1] == L' ')) --kept;
  if (kept == start) kept = end;

  uint32_t count = static_cast<uint32_t>(kept - start);
  if (count > size - 1) count = size - 1;
  WCHAR* out = reinterpret_cast<WCHAR*>(name);
  for (uint32_t k = 0; k < count; ++k) out[k] = full[start + k];
  if (count > 0) CharUpperBuffW(out, count);
  out[count] = 0;
  return count;
}

uint32_t OsGetLongPathName(const char* path, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  WCHAR wide[kWidePath];
  WCHAR longForm[kWidePath];
  if (path == nullptr || MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kWidePath) <= 0) return 0;
  DWORD units = GetLongPathNameW(wide, longForm, kWidePath);
  if (units == 0 || units >= kWidePath) return 0;
  // The system may keep the dots and blanks it ignored ("connect." for the directory "connect").
  DWORD kept = units;
  while (kept > 0 && (longForm[kept - 1] == L'.' || longForm[kept - 1] == L' ')) --kept;
  if (kept > 0 && !IsSeparator(longForm[kept - 1])) {
    units = kept;
    longForm[units] = 0;
  }
  // Through the wide form: the A function would give a name of another code page as question marks.
  BOOL lost = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, longForm, -1, buffer, static_cast<int>(size),
                                         nullptr, &lost);
  if (length <= 0 || lost) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<uint32_t>(length - 1);
}
