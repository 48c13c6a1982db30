// Packed file: the trailer check and the reading of entry headers during the entry walk.
#include "engine/packed_file.h"

#include <cstring>

PackedFileTrailer g_trailer;

int ReadTrailer(FileHandle file) {
  std::memset(&g_trailer, 0, sizeof g_trailer);
  // A file shorter than the trailer cannot carry one. The seek to a negative position fails and
  // nothing is read, so such a file is never judged by bytes from its start.
  if (OsSeekFile(file, -static_cast<int64_t>(sizeof g_trailer), SeekFromEnd) < 0) return 0;
  int32_t got = OsReadFile(file, &g_trailer, sizeof g_trailer);
  if (got < 0) std::memset(&g_trailer, 0, sizeof g_trailer);
  // The title and the subdirectory are used as strings: terminate them within their fields, so a
  // defective trailer cannot make a reader run into the neighbouring field or past the record.
  g_trailer.title[sizeof g_trailer.title - 1] = '\0';
  g_trailer.subdirectory[sizeof g_trailer.subdirectory - 1] = '\0';
  if (g_trailer.magic != kPackedFileMagic) return 0;
  int64_t length = OsFileLength(file);
  return length >= 0 && static_cast<uint64_t>(length) == g_trailer.fileSize ? 1 : 0;
}

// The header size is checked before the second read: a value below the fixed part (24) or one
// whose name would leave no zero byte in the 285-byte buffer (above 284) cannot be read safely and
// ends the walk as if the entries had run out, like a short read.
int ReadEntryHeaderFrom(ByteSource read, void* context, EntryHeaderBuffer* buffer) {
  std::memset(buffer->bytes, 0, sizeof buffer->bytes);
  if (read(context, buffer->bytes, 2) != 2) return EntriesEnded;
  uint32_t headerSize = buffer->header.headerSize;
  if (headerSize < kEntryHeaderMinSize || headerSize > kEntryHeaderMaxSize) return EntriesEnded;
  uint32_t rest = headerSize - 2;
  if (read(context, buffer->bytes + 2, rest) != static_cast<int32_t>(rest)) return EntriesEnded;
  return EntryRead;
}

namespace {
int32_t ReadFileBlock(void* context, void* buffer, uint32_t count) {
  return OsReadFile(*static_cast<FileHandle*>(context), buffer, count);
}
}  // namespace

int ReadEntryHeader(FileHandle file, EntryHeaderBuffer* buffer) {
  return ReadEntryHeaderFrom(ReadFileBlock, &file, buffer);
}
