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
  // Walked by whole characters: a double-byte character of a test's code page ends in a trail byte
  // that may be 0x5C, which is neither a separator nor a trailing backslash.
  auto step = [](const char* p) {
    const unsigned char byte = static_cast<unsigned char>(*p);
    return byte >= 0x80 && OsIsLeadByte(CodePageAnsi, byte) && p[1] != '\0' ? p + 2 : p + 1;
  };
  size_t end = 0;
  for (const char* p = path; *p != '\0'; p = step(p)) {
    if (*p != '\\' && *p != '/') end = static_cast<size_t>(step(p) - path);
  }
  size_t start = 0;
  for (const char* p = path; static_cast<size_t>(p - path) < end; p = step(p)) {
    if (IsSeparator(*p)) start = static_cast<size_t>(step(p) - path);
  }
  size_t kept = end;
  while (kept > start && (path[kept - 1] == '.' || path[kept - 1] == ' ')) --kept;
  if (kept == start) kept = end;
  uint32_t count = 0;
  for (const char* p = path + start; static_cast<size_t>(p - path) < kept && count + 1 < size; p = step(p)) {
    const unsigned char lead = static_cast<unsigned char>(p[0]);
    // A double-byte character has no case here; its two bytes make one unit of its own.
    name[count++] = step(p) == p + 2 ? static_cast<uint16_t>(lead << 8 | static_cast<unsigned char>(p[1]))
                                     : UpperOf(UnicodeOfCodePageByte(CodePageAnsi, lead));
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
