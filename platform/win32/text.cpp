// Text from the ANSI or OEM code page as UTF-8 (through UTF-16), and the local time.
#include <windows.h>

#include "platform/platform.h"

uint32_t OsTextToUtf8(const char* src, TextCodePage codePage, char* dst, uint32_t size) {
  if (dst == nullptr || size == 0) return 0;
  dst[0] = '\0';
  if (src == nullptr || src[0] == '\0') return 0;
  // One UTF-16 unit per byte of these single-byte code pages; longer texts are taken in parts.
  constexpr int kPart = 512;
  WCHAR wide[kPart];
  uint32_t used = 0;
  const UINT page = codePage == CodePageOem ? CP_OEMCP : CP_ACP;
  for (const char* p = src; *p != '\0' && used + 1 < size;) {
    int length = 0;
    while (length < kPart && p[length] != '\0') ++length;
    const int units = MultiByteToWideChar(page, 0, p, length, wide, kPart);
    p += length;
    const int whole = WideCharToMultiByte(CP_UTF8, 0, wide, units, dst + used, static_cast<int>(size - 1 - used),
                                          nullptr, nullptr);
    if (whole > 0) {
      used += static_cast<uint32_t>(whole);
      continue;
    }
    // It does not fit: character by character, so that the cut text ends before a whole character.
    for (int k = 0; k < units; ++k) {
      char bytes[4];
      const int count = WideCharToMultiByte(CP_UTF8, 0, wide + k, 1, bytes, sizeof bytes, nullptr, nullptr);
      if (count <= 0) continue;
      if (used + static_cast<uint32_t>(count) >= size) {
        dst[used] = '\0';
        return used;
      }
      for (int b = 0; b < count; ++b) dst[used++] = bytes[b];
    }
  }
  dst[used] = '\0';
  return used;
}

void OsGetLocalTime(OsLocalTime* time) {
  SYSTEMTIME local;
  GetLocalTime(&local);
  time->year = local.wYear;
  time->month = local.wMonth;
  time->day = local.wDay;
  time->hour = local.wHour;
  time->minute = local.wMinute;
  time->second = local.wSecond;
}
