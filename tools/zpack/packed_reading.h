#pragma once
// Reading packed files for zpack's verbs, through the program's own trailer check, entry header
// reading and decompressor, so that the tool exercises them on every packed file it looks at.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/explode.h"
#include "engine/packed_file.h"
#include "engine/source_reader.h"
#include "platform/platform.h"

namespace zpack {

// The seam takes Windows paths in the ANSI code page: on Windows a path is its name there, empty
// when that code page cannot hold it; natively the host's root is mapped as drive Z:, so /a/b is read
// as Z:\a\b.
std::string SeamPath(const std::string& hostPath);
// "2009-01-01 00:00:00 UTC"
void FormatTime(uint32_t seconds, char* out, size_t size);
// "2009-01-01T00:00:00Z"
std::string IsoTime(uint32_t seconds);

struct PackedFile {
  FileHandle file = kNoFile;
  int64_t length = -1;
  ~PackedFile() {
    if (file != kNoFile) OsCloseFile(file);
  }
};

// Opens the file and checks its trailer (into g_trailer); prints why when it cannot be opened
// (false) or is not a packed file (*trailerValid false).
bool OpenPacked(const char* path, PackedFile* packed, bool* trailerValid);

// Walks the entries as the program does, through its buffered reader: each header at the previous
// entry's data start plus its storedSize. visit gets the header and the data start (where the
// reader then stands); false from it stops the walk.
template <typename Visit>
uint32_t WalkEntries(FileHandle file, Visit visit) {
  uint32_t walked = 0;
  if (!BeginSourceReading(file, g_trailer.firstEntryOffset)) return 0;
  for (uint32_t i = 0; i < g_trailer.entryCount; ++i) {
    EntryHeaderBuffer buffer;
    if (ReadEntryHeaderFrom(ReadSourceBlock, nullptr, &buffer) != EntryRead) break;
    int64_t dataStart = SourcePosition();
    ++walked;
    if (!visit(buffer, dataStart)) break;
    if (!SetSourcePosition(dataStart + buffer.header.storedSize)) break;
  }
  return walked;
}
// The message for a walk that ended before entryCount; false then.
bool WalkComplete(uint32_t walked);

// The entry's name as stored (bytes in the packed file's code page).
inline std::string StoredName(EntryHeaderBuffer& b) { return EntryName(b); }

// One entry's decompression: every block goes to sink; a false from sink ends the entry (no more
// input is given to the decompressor, nothing more to sink).
struct EntryStream {
  std::function<bool(const char* data, uint32_t size)> sink;
  uint64_t total = 0;         // bytes delivered by the decompressor
  bool stopped = false;       // sink said stop
};
// The walk's reader stands at the entry's data.
ExplodeResult ExplodeEntry(uint32_t storedSize, EntryStream* stream);
const char* ResultName(ExplodeResult result);

// Whether the entry's data stays in front of the trailer; prints why not.
bool DataFits(const PackedFile& packed, EntryHeaderBuffer& b, int64_t dataStart, int codePage);

}  // namespace zpack
