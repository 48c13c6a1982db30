// Upper case of OEM text by the system's own tables: each whole character through its wide form in
// the OEM code page, so that every code page has its own letters (852: L with stroke, 850: a umlaut
// ...) and the trail byte of a double-byte character is never taken for a letter of its own.
#include "platform/platform.h"
#include "platform/win32/win32_internal.h"

namespace {

// The capital of one character of `bytes` bytes into out; 0 when it has none of the same length.
int UpperCharacter(const char* character, int bytes, char* out) {
  WCHAR wide[2];
  const int units = MultiByteToWideChar(CP_OEMCP, MB_ERR_INVALID_CHARS, character, bytes, wide, 2);
  if (units <= 0) return 0;
  WCHAR upper[2] = {wide[0], units > 1 ? wide[1] : static_cast<WCHAR>(0)};
  CharUpperBuffW(upper, static_cast<DWORD>(units));
  if (upper[0] == wide[0] && (units == 1 || upper[1] == wide[1])) return 0;
  char back[8];
  BOOL lost = FALSE;
  // UTF-8 loses no character and takes no flag for it.
  const bool utf8 = GetOEMCP() == CP_UTF8;
  const int length = WideCharToMultiByte(CP_OEMCP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, upper, units, back, sizeof back,
                                         nullptr, utf8 ? nullptr : &lost);
  if (length != bytes || lost) return 0;
  for (int k = 0; k < bytes; ++k) out[k] = back[k];
  return 1;
}

}  // namespace

void OsOemToUpper(const char* src, char* dst, size_t size) {
  if (size == 0) return;
  size_t at = 0;
  while (src[at] != '\0') {
    const int bytes = CharacterBytes(CP_OEMCP, src + at);
    if (at + static_cast<size_t>(bytes) > size - 1) break;  // never half a character
    char upper[4];
    const char* from = UpperCharacter(src + at, bytes, upper) ? upper : src + at;
    for (int k = 0; k < bytes; ++k) dst[at + k] = from[k];  // dst may be src: each byte read before written
    at += static_cast<size_t>(bytes);
  }
  dst[at] = '\0';
}

// ANSI text, by whole characters: in a double-byte code page a lead byte and its trail are one
// character, raised together (a trail byte on its own may look like an ASCII letter); in UTF-8
// (65001) a character of two to four bytes is one, as on the OEM side.
namespace {

// The character at text raised into dst with the same length; returns that length (1 to 4).
size_t AnsiUpperChar(const char* text, char* dst) {
  const unsigned char byte = static_cast<unsigned char>(text[0]);
  // Below 0x80 every ANSI code page is ASCII, where CharUpper raises a-z only; no lead byte lies there.
  if (byte < 0x80) {
    dst[0] = byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : text[0];
    return 1;
  }
  const size_t length = static_cast<size_t>(CharacterBytes(CP_ACP, text));
  for (size_t k = 0; k < length; ++k) dst[k] = text[k];
  WCHAR wide[2] = {0, 0};
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), wide, 2) != 1) return length;
  WCHAR upper = wide[0];
  CharUpperBuffW(&upper, 1);
  if (upper == wide[0]) return length;
  char back[4];
  BOOL lost = FALSE;
  const bool utf8 = GetACP() == CP_UTF8;
  if (WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, &upper, 1, back, 4, nullptr, utf8 ? nullptr : &lost) ==
          static_cast<int>(length) &&
      !lost) {
    for (size_t k = 0; k < length; ++k) dst[k] = back[k];
  }
  return length;
}

}  // namespace

void OsAnsiToUpper(const char* src, char* dst, size_t size) {
  if (size == 0) return;
  size_t i = 0;
  while (src[i] != '\0') {
    char upper[4];
    const size_t length = AnsiUpperChar(src + i, upper);
    if (i + length + 1 > size) break;  // a character is copied whole or not at all
    for (size_t k = 0; k < length; ++k) dst[i + k] = upper[k];
    i += length;
  }
  dst[i] = '\0';
}
