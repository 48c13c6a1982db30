#pragma once
// Packed file: entries followed by a 256-byte trailer at the very end of the file.
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

#pragma pack(push, 1)
struct PackedFileTrailer {
  uint32_t magic;             // "ZP32"
  uint32_t reserved;
  uint32_t firstEntryOffset;  // absolute offset of the first entry header
  uint32_t entryCount;
  uint32_t fileSize;          // length of the whole file, trailer included
  uint32_t unpackedSize;      // disk space the entries need, for the free-space check
  char title[81];
  char subdirectory[81];      // relative to the installation root, beginning with "\"
  char unused[70];
};

struct EntryHeader {
  uint16_t headerSize;  // 24 + name length
  uint16_t entryFlags;
  uint32_t storedSize;  // compressed bytes behind the header
  uint32_t attributes;
  uint32_t creationTime;  // Unix time
  uint32_t accessTime;
  uint32_t writeTime;
  // followed by the name, without terminator
};
#pragma pack(pop)
// The layout on disk, the same in every build (i686, x86_64, native): a field that moved would read
// other programs' packed files wrongly.
static_assert(sizeof(PackedFileTrailer) == 256, "trailer is 256 bytes");
static_assert(offsetof(PackedFileTrailer, magic) == 0 && offsetof(PackedFileTrailer, reserved) == 4 &&
                  offsetof(PackedFileTrailer, firstEntryOffset) == 8 && offsetof(PackedFileTrailer, entryCount) == 12 &&
                  offsetof(PackedFileTrailer, fileSize) == 16 && offsetof(PackedFileTrailer, unpackedSize) == 20 &&
                  offsetof(PackedFileTrailer, title) == 24 && offsetof(PackedFileTrailer, subdirectory) == 105 &&
                  offsetof(PackedFileTrailer, unused) == 186,
              "trailer fields at their offsets on disk");
static_assert(sizeof(EntryHeader) == 24, "entry header is 24 bytes");
static_assert(offsetof(EntryHeader, headerSize) == 0 && offsetof(EntryHeader, entryFlags) == 2 &&
                  offsetof(EntryHeader, storedSize) == 4 && offsetof(EntryHeader, attributes) == 8 &&
                  offsetof(EntryHeader, creationTime) == 12 && offsetof(EntryHeader, accessTime) == 16 &&
                  offsetof(EntryHeader, writeTime) == 20,
              "entry header fields at their offsets on disk");

constexpr uint32_t kPackedFileMagic = 0x3233505Au;  // "ZP32" read as a little-endian 32-bit value
constexpr uint16_t EntryIsDirectory = 0x0001;
constexpr uint16_t EntryHasRecords = 0x0002;
constexpr uint32_t kEntryHeaderBufferSize = 285;  // header + name + terminator
constexpr uint32_t kEntryHeaderMinSize = 24;
constexpr uint32_t kEntryHeaderMaxSize = 284;

// The header buffer of the entry walk: the fixed fields, then the name (later the output path).
union EntryHeaderBuffer {
  EntryHeader header;
  char bytes[kEntryHeaderBufferSize];
};
inline char* EntryName(EntryHeaderBuffer& buffer) { return buffer.bytes + sizeof(EntryHeader); }

extern PackedFileTrailer g_trailer;

// Fills g_trailer from the last 256 bytes; valid (1) when magic is "ZP32" and fileSize matches.
int ReadTrailer(FileHandle file);
// The same check into another record (the locator's look at a packed file).
int ReadTrailerInto(FileHandle file, PackedFileTrailer* trailer);

enum EntryReadResult { EntryRead = 1, EntriesEnded = 0 };
// Reads the next entry header at the current position into a cleared buffer. A header size outside
// 24..284 or a short read ends the walk (EntriesEnded). On EntryRead the file stands at the data.
int ReadEntryHeader(FileHandle file, EntryHeaderBuffer* buffer);
// The same from any source of bytes (the entry walk reads through its buffer, engine/source_reader.h):
// read(context, buffer, count) gives the count read, or -1.
typedef int32_t (*ByteSource)(void* context, void* buffer, uint32_t count);
int ReadEntryHeaderFrom(ByteSource read, void* context, EntryHeaderBuffer* buffer);
