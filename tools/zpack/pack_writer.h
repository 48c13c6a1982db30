#pragma once
// Writing packed files: entries (header, name, compressed stream) followed by the 256-byte trailer.
// Used by the zpack tool and by tests that need real packed files, in memory or on disk.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/zpack/implode.h"

namespace zpack {

constexpr uint32_t kTrailerSize = 256;
constexpr size_t kMaxNameLength = 260;   // headerSize 24 + 260 = 284, the reader's limit
constexpr size_t kMaxTitleLength = 80;   // title and subdirectory
constexpr uint32_t kFileAttributes = 0x20;
constexpr uint32_t kDirectoryAttributes = 0x10;

struct PackEntry {
  std::string name;                // "\sub\file": leading backslash, backslashes between levels
  uint16_t flags = 0;              // EntryIsDirectory (1), EntryHasRecords (2)
  uint32_t attributes = kFileAttributes;
  uint32_t creationTime = 0;       // Unix seconds
  uint32_t accessTime = 0;
  uint32_t writeTime = 0;
  std::vector<uint8_t> stored;     // the compressed stream, storedSize bytes; empty: storedSize 0
  uint64_t originalSize = 0;       // bytes before compression, for the disk-use estimate
  int32_t headerSizeOverride = -1; // >= 0: written as headerSize instead of 24 + name length
  int64_t storedSizeOverride = -1; // >= 0: written as storedSize instead of the stream's length
};

struct TrailerInfo {
  std::string title;
  std::string subdirectory;
  int64_t unpackedSizeOverride = -1;    // >= 0: written instead of the estimate
  int64_t entryCountOverride = -1;      // >= 0: written instead of the number of entries
  int64_t firstEntryOffsetOverride = -1;
  int64_t fileSizeOverride = -1;        // >= 0: written instead of the real length
};

// "archive.dat", "archive.dir", "archive.add" in any case: the files whose records are rewritten.
bool IsRecordFileName(const std::string& fileName);

PackEntry MakeDirectoryEntry(const std::string& name, uint32_t time);
// Compresses data with ImplodeBuffer; an empty file gets no stream. Sets EntryHasRecords by name.
PackEntry MakeFileEntry(const std::string& name, const std::vector<uint8_t>& data, ImplodeLiteralMode mode,
                        unsigned dictionarySize, uint32_t time);

// Sum of the file sizes, each rounded up to whole 4096-byte blocks (an estimate of disk use).
uint32_t EstimateUnpackedSize(const std::vector<PackEntry>& entries);

void AppendEntry(std::vector<uint8_t>& out, const PackEntry& entry);
// Appends the trailer; fileSize is the length of out after it (unless overridden).
void AppendTrailer(std::vector<uint8_t>& out, uint32_t firstEntryOffset, uint32_t entryCount,
                   uint32_t unpackedSize, const TrailerInfo& info);
// leading bytes (another file, such as the program) + entries + trailer.
std::vector<uint8_t> BuildPackedFile(const std::vector<PackEntry>& entries, const TrailerInfo& info,
                                     const std::vector<uint8_t>& leading = {});

struct CollectOptions {
  ImplodeLiteralMode mode = ImplodeBinary;
  unsigned dictionarySize = 4096;
  int64_t fixedTime = -1;  // >= 0: every entry gets this time instead of the files' own
  int codePage = 1252;     // of the names in the packed file (the host's names are UTF-8)
};
// Entries for the tree below dir in a stable order: in each directory its files (by name), then
// each subdirectory's entry followed by its contents. false with a message on a problem (a name the
// code page cannot hold, a link that leads back to a directory above it, the system's reason).
bool CollectTree(const std::string& dir, const CollectOptions& options, std::vector<PackEntry>* entries,
                 std::string* error);

// path is UTF-8 (see host_paths.h).
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data);
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data);

}  // namespace zpack
