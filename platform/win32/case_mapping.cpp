// Upper case of ANSI and OEM text by the system's own tables: through the wide form of the code page,
// so that every code page has its own letters (1250 and 852: L with stroke, 1252 and 850: a umlaut ...).
#include <windows.h>

#include "platform/platform.h"

namespace {

char UpperIn(UINT codePage, char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  // Below 0x80 every ANSI and OEM code page is ASCII, where CharUpper raises a-z only.
  if (byte < 0x80) return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : c;
  WCHAR wide = 0;
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &c, 1, &wide, 1) != 1) return c;
  WCHAR upper = wide;
  CharUpperBuffW(&upper, 1);
  if (upper == wide) return c;
  char back = c;
  BOOL lost = FALSE;
  if (WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &upper, 1, &back, 1, nullptr, &lost) != 1 || lost) {
    return c;
  }
  return back;
}

void ToUpperIn(UINT codePage, const char* src, char* dst, size_t size) {
  if (size == 0) return;
  size_t i = 0;
  for (; src[i] != '\0' && i + 1 < size; ++i) dst[i] = UpperIn(codePage, src[i]);
  dst[i] = '\0';
}

}  // namespace

void OsAnsiToUpper(const char* src, char* dst, size_t size) { ToUpperIn(CP_ACP, src, dst, size); }

void OsOemToUpper(const char* src, char* dst, size_t size) { ToUpperIn(CP_OEMCP, src, dst, size); }
