// libFuzzer target: arbitrary bytes through explodeStream in arbitrary chunkings.
// Input: byte 0 picks the chunk sizes (and whether the reader overstates its count), the rest is the
// stream. Besides the sanitizers it checks the callback rules and that the decoder never writes into
// its own input buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/explode.h"

namespace {

struct Feed {
  const uint8_t* data;
  size_t size;
  size_t offset;
  uint32_t state;
  bool overstate;
  bool ended;
  uint8_t delivered[kExplodeInputSize];
  uint32_t deliveredCount;
  const uint8_t* inputBuffer;
  int writes;
  bool sawShortWrite;
  uint64_t written;
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

uint32_t Read(char* buffer, uint32_t* count, void* user) {
  Feed* f = static_cast<Feed*>(user);
  Check(!f->ended);
  Check(*count == kExplodeInputSize);
  if (f->inputBuffer != nullptr) {
    Check(reinterpret_cast<const uint8_t*>(buffer) == f->inputBuffer);
    Check(std::memcmp(buffer, f->delivered, f->deliveredCount) == 0);
  }
  f->state = f->state * 1103515245u + 12345u;
  size_t n = 1 + (f->state >> 16) % ((f->state & 0x100) ? 2048 : 16);
  if (n > f->size - f->offset) n = f->size - f->offset;
  std::memcpy(buffer, f->data + f->offset, n);
  std::memcpy(f->delivered, buffer, n);
  f->deliveredCount = static_cast<uint32_t>(n);
  f->inputBuffer = reinterpret_cast<const uint8_t*>(buffer);
  f->offset += n;
  if (n == 0) {
    f->ended = true;
    return 0;
  }
  return static_cast<uint32_t>(n) + (f->overstate ? 3000u : 0u);
}

void Write(char* buffer, uint32_t* count, void* user) {
  Feed* f = static_cast<Feed*>(user);
  Check(!f->sawShortWrite);  // only the final write may be shorter than a block
  Check(*count <= kExplodeBlockSize);
  if (*count < kExplodeBlockSize) f->sawShortWrite = true;
  volatile uint8_t sink = 0;
  for (uint32_t i = 0; i < *count; ++i) sink ^= static_cast<uint8_t>(buffer[i]);
  (void)sink;
  ++f->writes;
  f->written += *count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // On the heap with its exact size, so that any access outside the work area is caught.
  ExplodeWorkArea* area = static_cast<ExplodeWorkArea*>(std::malloc(sizeof(ExplodeWorkArea)));
  std::memset(area, data[0], sizeof *area);
  Feed feed{};
  feed.data = data + 1;
  feed.size = size - 1;
  feed.state = data[0];
  feed.overstate = (data[0] & 0x80) != 0;
  const ExplodeResult result = explodeStream(Read, Write, area, &feed);
  Check(result <= ExplodeStreamError);
  if (result == ExplodeOk || result == ExplodeStreamError) {
    Check(feed.writes >= 1 && feed.sawShortWrite);
  } else {
    Check(feed.writes == 0);
  }
  std::free(area);
  return 0;
}
