// zpack records: the archive directory records of "archive.dat", "archive.dir" and "archive.add"
// files, one line each with name, title and path, readable on any system.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "engine/records.h"
#include "platform/platform.h"
#include "tools/zpack/zpack_tool.h"

namespace {

// A tag's value for the terminal: OEM code page -> ANSI code page 1252 -> UTF-8 (1252 read as
// Latin-1); control characters and 1252's 0x80-0x9F show as '?'.
std::string ReadableTag(const char* record, unsigned char tag) {
  char oem[kRecordTagsSize + 1];
  ReadRecordTag(record, tag, oem, sizeof oem);
  char ansi[sizeof oem];
  OsOemToAnsi(oem, ansi);
  std::string text;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(ansi); *p != 0; ++p) {
    if (*p < 0x20 || (*p >= 0x7F && *p < 0xA0)) {
      text += '?';
    } else if (*p < 0x80) {
      text += static_cast<char>(*p);
    } else {
      text += static_cast<char>(0xC0 | (*p >> 6));
      text += static_cast<char>(0x80 | (*p & 0x3F));
    }
  }
  return text;
}

}  // namespace

int ListRecords(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "zpack: cannot open %s\n", path);
    return 1;
  }
  std::printf("%s\n", path);
  char record[kRecordSize];
  uint32_t index = 0;
  size_t got;
  while ((got = std::fread(record, 1, sizeof record, file)) == sizeof record) {
    const bool freeSlot = (RecordWord(record, kRecordFlagsOffset) & RecordSlotFree) != 0;
    std::printf("  %-3" PRIu32 " name \"%s\"  title \"%s\"  path \"%s\"%s\n", index++,
                ReadableTag(record, TagName).c_str(), ReadableTag(record, TagTitle).c_str(),
                ReadableTag(record, TagPath).c_str(), freeSlot ? "  (free slot)" : "");
  }
  std::fclose(file);
  if (got != 0) {
    std::fprintf(stderr, "zpack: %s: %zu bytes after the last whole record\n", path, got);
    return 1;
  }
  return 0;
}
