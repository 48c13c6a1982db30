// Upper case of ANSI and OEM text for the German system that the POSIX side models (ANSI 1252,
// OEM 850): an ANSI letter is raised as CharUpper does in 1252; an OEM letter is raised on its ANSI
// form and taken back, and a character without an exact form on the other side stays as it is.
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/posix_internal.h"

// a-z, the accented small letters 0xE0-0xFE except the division sign 0xF7, and the four letters whose
// capitals lie in 0x80-0x9F; the sharp s and the micro sign stay as they are.
unsigned char AnsiUpper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return c;
  }
}

namespace {

// c converted to the other code page and back is c itself.
bool RoundTrips(char c, void (*there)(const char*, char*), void (*back)(const char*, char*)) {
  char text[2] = {c, '\0'}, other[2], again[2];
  there(text, other);
  back(other, again);
  return again[0] == c;
}

char OemUpper(char c) {
  if (!RoundTrips(c, OsOemToAnsi, OsAnsiToOem)) return c;
  char text[2] = {c, '\0'};
  OsOemToAnsi(text, text);
  text[0] = static_cast<char>(AnsiUpper(static_cast<unsigned char>(text[0])));
  if (!RoundTrips(text[0], OsAnsiToOem, OsOemToAnsi)) return c;
  OsAnsiToOem(text, text);
  return text[0];
}

}  // namespace

namespace {

// On a double-byte system only a-z have capitals of the same length; a double-byte character is
// kept whole, and never half of it.
void DoubleByteUpper(const char* src, char* dst, size_t size) {
  size_t i = 0;
  while (src[i] != '\0') {
    const unsigned char c = static_cast<unsigned char>(src[i]);
    const size_t length = OsIsLeadByte(CodePageAnsi, c) && src[i + 1] != '\0' ? 2 : 1;
    if (i + length + 1 > size) break;
    dst[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : src[i];
    if (length == 2) dst[i + 1] = src[i + 1];
    i += length;
  }
  dst[i] = '\0';
}

}  // namespace

void OsAnsiToUpper(const char* src, char* dst, size_t size) {
  if (size == 0) return;
  if (DoubleByteCodePage() != 0) return DoubleByteUpper(src, dst, size);
  size_t i = 0;
  for (; src[i] != '\0' && i + 1 < size; ++i) dst[i] = static_cast<char>(AnsiUpper(static_cast<unsigned char>(src[i])));
  dst[i] = '\0';
}

void OsOemToUpper(const char* src, char* dst, size_t size) {
  if (size == 0) return;
  if (DoubleByteCodePage() != 0) return DoubleByteUpper(src, dst, size);
  size_t i = 0;
  for (; src[i] != '\0' && i + 1 < size; ++i) dst[i] = OemUpper(src[i]);
  dst[i] = '\0';
}
