// The buffered reading of the packed file during the entry walk.
#include "engine/source_reader.h"

#include <cstring>

namespace {

// The fuzzer builds this file with a tiny buffer, so that refills fall inside headers and data.
#ifndef Z_SOURCE_BUFFER_SIZE
#define Z_SOURCE_BUFFER_SIZE (64 * 1024)
#endif
constexpr uint32_t kSourceBufferSize = Z_SOURCE_BUFFER_SIZE;
char g_sourceBuffer[kSourceBufferSize];

struct SourceReader {
  FileHandle file;
  int64_t bufferStart;  // file position of g_sourceBuffer[0]
  uint32_t filled;      // valid bytes in the buffer
  uint32_t next;        // reading position inside the buffer, at most filled
};
SourceReader g_reader = {kNoFile, 0, 0, 0};

// Positions the file itself and empties the buffer.
int SeekTo(int64_t position) {
  g_reader.bufferStart = position;
  g_reader.filled = 0;
  g_reader.next = 0;
  return position >= 0 && OsSeekFile(g_reader.file, position, SeekFromStart) == position ? 1 : 0;
}

}  // namespace

int BeginSourceReading(FileHandle file, int64_t position) {
  g_reader.file = file;
  return SeekTo(position);
}

int64_t SourcePosition() { return g_reader.bufferStart + g_reader.next; }

int SetSourcePosition(int64_t position) {
  if (position >= g_reader.bufferStart && position <= g_reader.bufferStart + g_reader.filled) {
    g_reader.next = static_cast<uint32_t>(position - g_reader.bufferStart);
    return 1;
  }
  return SeekTo(position);
}

int32_t ReadSource(void* buffer, uint32_t count) {
  char* out = static_cast<char*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    if (g_reader.next == g_reader.filled) {
      // The file stands at the end of the buffer: the next piece follows without a seek.
      const int32_t got = OsReadFile(g_reader.file, g_sourceBuffer, kSourceBufferSize);
      if (got < 0) return done > 0 ? static_cast<int32_t>(done) : -1;
      if (got == 0) break;
      g_reader.bufferStart += g_reader.filled;
      g_reader.filled = static_cast<uint32_t>(got);
      g_reader.next = 0;
    }
    uint32_t piece = g_reader.filled - g_reader.next;
    if (piece > count - done) piece = count - done;
    std::memcpy(out + done, g_sourceBuffer + g_reader.next, piece);
    g_reader.next += piece;
    done += piece;
  }
  return static_cast<int32_t>(done);
}

int32_t ReadSourceBlock(void*, void* buffer, uint32_t count) { return ReadSource(buffer, count); }
