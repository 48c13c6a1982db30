// Names as the file system compares them, for the German system that the POSIX side models: the
// ANSI 1252 name in UTF-16, upper-cased by Unicode's simple case mapping as Windows does for the
// letters that code page has. The host has no short names: every path is its own long form.
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/posix_internal.h"

namespace {

int IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

uint16_t UpperOf(uint16_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<uint16_t>(c - 0x20);
  switch (c) {
    case 0x00B5: return 0x039C;  // micro sign: Greek capital mu
    case 0x00FF: return 0x0178;  // y diaeresis
    case 0x0153: return 0x0152;  // oe
    case 0x0161: return 0x0160;  // s caron
    case 0x017E: return 0x017D;  // z caron
    case 0x0192: return 0x0191;  // f with hook
    default: return c;
  }
}

}  // namespace

uint32_t OsComparableName(const char* path, uint16_t* name, uint32_t size) {
  if (name == nullptr || size == 0) return 0;
  name[0] = 0;
  if (path == nullptr) return 0;
  size_t end = std::strlen(path);
  while (end > 0 && (path[end - 1] == '\\' || path[end - 1] == '/')) --end;
  size_t start = end;
  while (start > 0 && !IsSeparator(path[start - 1])) --start;
  size_t kept = end;
  while (kept > start && (path[kept - 1] == '.' || path[kept - 1] == ' ')) --kept;
  if (kept == start) kept = end;
  uint32_t count = 0;
  for (size_t k = start; k < kept && count + 1 < size; ++k) {
    name[count++] = UpperOf(UnicodeOfCodePageByte(CodePageAnsi, static_cast<unsigned char>(path[k])));
  }
  name[count] = 0;
  return count;
}

// No short names: the long form of an existing path is its normalised form (trailing dots and
// blanks of its names dropped, as the path mapping drops them).
uint32_t OsGetLongPathName(const char* path, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  char normal[kHostPathSize];
  if (!OsPathExists(path) || !NormaliseWindowsPath(path, normal, sizeof normal)) return 0;
  const size_t length = std::strlen(normal);
  if (length >= size) return 0;
  std::memcpy(buffer, normal, length + 1);
  return static_cast<uint32_t>(length);
}
