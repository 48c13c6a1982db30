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
  const int length =
      WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, upper, units, back, sizeof back, nullptr, &lost);
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
