// zpack records: the archive directory records of "archive.dat", "archive.dir" and "archive.add"
// files, one line each with name, title and path, readable on any system.
#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <cstdio>
#include <string>

#include "engine/records.h"
#include "platform/platform.h"
#include "tools/zpack/code_pages.h"
#include "tools/zpack/host_paths.h"
#include "tools/zpack/zpack_tool.h"

namespace {

// A tag's value for the terminal: OEM code page -> ANSI code page 1252 -> the terminal's encoding;
// what has no character there is shown as \xNN.
std::string ReadableTag(const char* record, unsigned char tag) {
  char oem[kRecordTagsSize + 1];
  ReadRecordTag(record, tag, oem, sizeof oem);
  char ansi[sizeof oem];
  OsOemToAnsi(oem, ansi);
  return zpack::ShowPacked(ansi, 1252);
}

}  // namespace

int ListRecords(const char* path) {
  std::FILE* file = zpack::OpenHostFile(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "zpack: cannot open %s: %s\n", zpack::ShowArgument(path).c_str(), std::strerror(errno));
    return 1;
  }
  std::printf("%s\n", zpack::ShowArgument(path).c_str());
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
    std::fprintf(stderr, "zpack: %s: %zu bytes after the last whole record\n", zpack::ShowArgument(path).c_str(), got);
    return 1;
  }
  return 0;
}
