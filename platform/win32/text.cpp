// Text from the ANSI or OEM code page as UTF-8 (through UTF-16), and the local time.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_internal.h"

int CharacterBytes(UINT codePage, const char* text) {
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return 1;
  if (codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8) ||
      (codePage == CP_OEMCP && GetOEMCP() == CP_UTF8)) {
    const int bytes = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    for (int k = 1; k < bytes; ++k) {
      if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) return k;  // also stops at the terminator
    }
    return bytes;
  }
  return IsDBCSLeadByteEx(codePage, lead) && text[1] != '\0' ? 2 : 1;
}

namespace {

// One or two UTF-16 units (a surrogate pair) as UTF-8 into dst when they fit into the room left:
// the bytes written, 0 when they convert to nothing, -1 when they do not fit.
int AppendWhole(const WCHAR* units, int count, char* dst, uint32_t room) {
  char bytes[8];
  const int length = WideCharToMultiByte(CP_UTF8, 0, units, count, bytes, sizeof bytes, nullptr, nullptr);
  if (length <= 0) return 0;
  if (static_cast<uint32_t>(length) > room) return -1;
  for (int b = 0; b < length; ++b) dst[b] = bytes[b];
  return length;
}

}  // namespace

uint32_t OsTextToUtf8(const char* src, TextCodePage codePage, char* dst, uint32_t size) {
  if (dst == nullptr || size == 0) return 0;
  dst[0] = '\0';
  if (src == nullptr || src[0] == '\0') return 0;
  // Taken in parts of whole characters: no part ends between the lead and trail byte of a
  // double-byte character. A part of kPart bytes never gives more than kPart UTF-16 units.
  constexpr int kPart = 512;
  WCHAR wide[kPart];
  uint32_t used = 0;
  const UINT page = codePage == CodePageOem ? CP_OEMCP : CP_ACP;
  for (const char* p = src; *p != '\0' && used + 1 < size;) {
    int length = 0;
    while (p[length] != '\0') {
      const int bytes = CharacterBytes(page, p + length);
      if (length + bytes > kPart) break;
      length += bytes;
    }
    const int units = MultiByteToWideChar(page, 0, p, length, wide, kPart);
    p += length;
    const int whole = WideCharToMultiByte(CP_UTF8, 0, wide, units, dst + used, static_cast<int>(size - 1 - used),
                                          nullptr, nullptr);
    if (whole > 0) {
      used += static_cast<uint32_t>(whole);
      continue;
    }
    // It does not fit: character by character, so that the cut text ends before a whole character.
    for (int k = 0; k < units;) {
      const int count = k + 1 < units && wide[k] >= 0xD800 && wide[k] < 0xDC00 ? 2 : 1;
      const int length8 = AppendWhole(wide + k, count, dst + used, size - 1 - used);
      if (length8 < 0) {
        dst[used] = '\0';
        return used;
      }
      used += static_cast<uint32_t>(length8);
      k += count;
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

int OsIsLeadByte(TextCodePage codePage, unsigned char byte) {
  return byte >= 0x80 && IsDBCSLeadByteEx(codePage == CodePageOem ? CP_OEMCP : CP_ACP, byte) ? 1 : 0;
}
