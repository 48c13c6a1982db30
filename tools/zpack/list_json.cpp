// zpack list --json: the trailer and every entry as one JSON document, so that scripts need not
// read the table.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "tools/zpack/code_pages.h"
#include "tools/zpack/json_text.h"
#include "tools/zpack/packed_reading.h"
#include "tools/zpack/zpack_tool.h"

namespace zpack {

namespace {
void PrintTime(const char* key, uint32_t seconds) {
  std::printf("\"%s\": %s, \"%sStored\": %" PRIu32, key, JsonString(IsoTime(seconds)).c_str(), key, seconds);
}
}  // namespace

int ListJson(const char* path, int codePage) {
  PackedFile packed;
  bool valid = false;
  if (!OpenPacked(path, &packed, &valid)) return kExitFailed;
  const PackedFileTrailer& t = g_trailer;
  std::printf("{\n  \"file\": %s,\n  \"fileLength\": %" PRId64 ",\n  \"codePage\": %d,\n  \"trailer\": {\"valid\": %s, "
              "\"magic\": %" PRIu32 ", \"reserved\": %" PRIu32 ", \"firstEntryOffset\": %" PRIu32
              ", \"entryCount\": %" PRIu32 ", \"fileSize\": %" PRIu32 ", \"unpackedSize\": %" PRIu32
              ", \"title\": %s, \"subdirectory\": %s},\n  \"entries\": [",
              JsonString(EscapedHostText(path)).c_str(), packed.length, codePage,
              valid ? "true" : "false", t.magic, t.reserved, t.firstEntryOffset, t.entryCount, t.fileSize,
              t.unpackedSize, JsonString(EscapedUtf8(t.title, codePage)).c_str(),
              JsonString(EscapedUtf8(t.subdirectory, codePage)).c_str());
  uint32_t walked = 0;
  if (valid) {
    walked = WalkEntries(packed.file, [&](EntryHeaderBuffer& b, int64_t dataStart) {
      const EntryHeader& h = b.header;
      std::printf("%s\n    {\"name\": %s, \"flags\": %u, \"directory\": %s, \"records\": %s, \"offset\": %" PRId64
                  ", \"storedSize\": %" PRIu32 ", \"attributes\": %" PRIu32 ", ",
                  walked == 0 ? "" : ",", JsonString(EscapedUtf8(StoredName(b), codePage)).c_str(),
                  static_cast<unsigned>(h.entryFlags), (h.entryFlags & EntryIsDirectory) ? "true" : "false",
                  (h.entryFlags & EntryHasRecords) ? "true" : "false", dataStart, h.storedSize, h.attributes);
      PrintTime("created", h.creationTime);
      std::printf(", ");
      PrintTime("accessed", h.accessTime);
      std::printf(", ");
      PrintTime("written", h.writeTime);
      std::printf("}");
      ++walked;
      return true;
    });
  }
  std::printf("%s]\n}\n", walked == 0 ? "" : "\n  ");
  return valid && WalkComplete(walked) ? kExitOk : kExitFailed;
}

}  // namespace zpack
