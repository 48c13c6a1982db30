// Fuzzer: arbitrary bytes as a packed file. The trailer check, the entry walk and the decompression
// of every entry must stay inside their buffers whatever the file holds; the walk runs even when the
// trailer is invalid (with the entry count bounded), so header reading sees every kind of input.
// The walk reads through the buffered source reader as the extraction does, and every byte it hands
// out must be the file's byte at the position the reader reports.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/explode.h"
#include "engine/packed_file.h"
#include "engine/source_reader.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace {

constexpr uint32_t kMaxEntries = 2000;

struct Stream {
  const uint8_t* data;  // the file's bytes
  size_t size;
  uint32_t remaining;
  uint64_t written;
};

// The reader's bytes against the file's own bytes at the position it reported before reading.
void CheckRead(const Stream& s, int64_t position, const void* buffer, int32_t got) {
  if (got <= 0) return;
  if (position < 0 || static_cast<uint64_t>(position) + static_cast<uint64_t>(got) > s.size) std::abort();
  if (std::memcmp(buffer, s.data + position, static_cast<size_t>(got)) != 0) std::abort();
}

uint32_t ReadStored(char* buffer, uint32_t* count, void* parameter) {
  Stream* s = static_cast<Stream*>(parameter);
  uint32_t want = *count < s->remaining ? *count : s->remaining;
  if (want == 0) return 0;
  const int64_t position = SourcePosition();
  int32_t got = ReadSource(buffer, want);
  CheckRead(*s, position, buffer, got);
  if (got <= 0) {
    s->remaining = 0;
    return 0;
  }
  s->remaining -= static_cast<uint32_t>(got);
  return static_cast<uint32_t>(got);
}

void CountOutput(char*, uint32_t* count, void* parameter) { static_cast<Stream*>(parameter)->written += *count; }

const std::string& InputPath() {
  static std::string path = [] {
    char folder[] = "/tmp/fuzz_packed_file.XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    OsMapDriveForTests('F', folder);
    return std::string(folder) + "/input.zpk";
  }();
  return path;
}

ExplodeWorkArea g_workArea;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* out = std::fopen(InputPath().c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, out);
  std::fclose(out);

  FileHandle file = OsOpenFile("F:\\input.zpk", FileOpenRead);
  if (file == kNoFile) std::abort();
  int valid = ReadTrailer(file);
  if (std::strlen(g_trailer.title) > 80 || std::strlen(g_trailer.subdirectory) > 80) std::abort();
  if (valid && g_trailer.fileSize != size) std::abort();

  uint32_t count = g_trailer.entryCount < kMaxEntries ? g_trailer.entryCount : kMaxEntries;
  if (BeginSourceReading(file, g_trailer.firstEntryOffset)) {
    for (uint32_t i = 0; i < count; ++i) {
      EntryHeaderBuffer buffer;
      const int64_t headerStart = SourcePosition();
      if (ReadEntryHeaderFrom(ReadSourceBlock, nullptr, &buffer) != EntryRead) break;
      uint32_t headerSize = buffer.header.headerSize;
      if (headerSize < kEntryHeaderMinSize || headerSize > kEntryHeaderMaxSize) std::abort();
      if (buffer.bytes[headerSize] != '\0' || std::strlen(EntryName(buffer)) > 260) std::abort();
      Stream stream{data, size, buffer.header.storedSize, 0};
      CheckRead(stream, headerStart, buffer.bytes, static_cast<int32_t>(headerSize));
      const int64_t dataStart = SourcePosition();
      if (dataStart != headerStart + headerSize) std::abort();
      if (buffer.header.storedSize > 0 && !(buffer.header.entryFlags & EntryIsDirectory)) {
        explodeStream(ReadStored, CountOutput, &g_workArea, &stream);
      }
      if (!SetSourcePosition(dataStart + buffer.header.storedSize)) break;
      if (SourcePosition() != dataStart + buffer.header.storedSize) std::abort();
    }
  }
  OsCloseFile(file);
  return 0;
}
