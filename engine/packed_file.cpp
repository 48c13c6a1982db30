// Packed file: the trailer check and the reading of entry headers during the entry walk.
#include "engine/packed_file.h"

#include <cstring>

#include "engine/signed_program.h"

PackedFileTrailer g_trailer;

int ReadTrailerInto(FileHandle file, PackedFileTrailer* trailer) {
  std::memset(trailer, 0, sizeof *trailer);
  // A signed program carries its certificate table behind the packed file: the trailer then ends
  // in front of it, and the length check uses that end (engine/signed_program.h).
  const int64_t length = PackedDataLength(file);
  // A file shorter than the trailer cannot carry one, and is never judged by bytes from its start.
  if (length < static_cast<int64_t>(sizeof *trailer)) return 0;
  if (OsSeekFile(file, length - static_cast<int64_t>(sizeof *trailer), SeekFromStart) < 0) return 0;
  int32_t got = OsReadFile(file, trailer, sizeof *trailer);
  if (got < 0) std::memset(trailer, 0, sizeof *trailer);
  // The title and the subdirectory are used as strings: terminate them within their fields, so a
  // defective trailer cannot make a reader run into the neighbouring field or past the record.
  trailer->title[sizeof trailer->title - 1] = '\0';
  trailer->subdirectory[sizeof trailer->subdirectory - 1] = '\0';
  if (trailer->magic != kPackedFileMagic) return 0;
  return static_cast<uint64_t>(length) == trailer->fileSize ? 1 : 0;
}

int ReadTrailer(FileHandle file) { return ReadTrailerInto(file, &g_trailer); }

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
