// Upper case of OEM text by the system's own tables: through the wide form of the OEM code page,
// so that every code page has its own letters (852: L with stroke, 850: a umlaut ...).
#include <windows.h>

#include "platform/platform.h"

namespace {

char OemUpper(char c) {
  WCHAR wide = 0;
  if (MultiByteToWideChar(CP_OEMCP, MB_ERR_INVALID_CHARS, &c, 1, &wide, 1) != 1) return c;
  WCHAR upper = wide;
  CharUpperBuffW(&upper, 1);
  if (upper == wide) return c;
  char back = c;
  BOOL lost = FALSE;
  if (WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, &upper, 1, &back, 1, nullptr, &lost) != 1 || lost) {
    return c;
  }
  return back;
}

}  // namespace

void OsOemToUpper(const char* src, char* dst, size_t size) {
  if (size == 0) return;
  size_t i = 0;
  for (; src[i] != '\0' && i + 1 < size; ++i) dst[i] = OemUpper(src[i]);
  dst[i] = '\0';
}
