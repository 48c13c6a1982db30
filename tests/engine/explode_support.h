#pragma once
// Test harness around explodeStream: feeds a byte string in chosen chunk sizes, records every
// callback, writes hand-made token streams, and offers sample data generators.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/explode.h"
#include "engine/explode_tables.h"

namespace explode_test {

typedef std::vector<uint8_t> Bytes;

struct Outcome {
  ExplodeResult result = 99;
  Bytes output;
  std::vector<uint32_t> writes;  // counts of the writeBlock calls, in order
  int reads = 0;                 // readBlock calls
  bool readAfterEnd = false;     // readBlock called again after it had returned 0
  bool badCapacity = false;      // readBlock was not offered 2048 bytes
  std::string events;            // 'r' per read, 'w' per write, in call order
};

struct Feeder {
  const uint8_t* data;
  size_t size;
  size_t offset = 0;
  std::function<size_t(int readIndex)> chunk;  // bytes to deliver at the n-th read (capped at what is left)
  uint32_t overstate = 0;                      // added to the returned count (a misbehaving callback)
  bool ended = false;
  Outcome* run;
};

inline uint32_t FeedRead(char* buffer, uint32_t* count, void* user) {
  Feeder* f = static_cast<Feeder*>(user);
  Outcome* r = f->run;
  if (f->ended) r->readAfterEnd = true;
  if (*count != kExplodeInputSize) r->badCapacity = true;
  size_t n = f->chunk(r->reads);
  ++r->reads;
  r->events += 'r';
  if (n > *count) n = *count;
  if (n > f->size - f->offset) n = f->size - f->offset;
  if (n != 0) std::memcpy(buffer, f->data + f->offset, n);
  f->offset += n;
  *count = 12345;  // whatever is written here must be ignored
  if (n == 0) {
    f->ended = true;
    return 0;
  }
  return static_cast<uint32_t>(n) + f->overstate;
}

inline void FeedWrite(char* buffer, uint32_t* count, void* user) {
  Feeder* f = static_cast<Feeder*>(user);
  f->run->writes.push_back(*count);
  f->run->output.insert(f->run->output.end(), buffer, buffer + *count);
  f->run->events += 'w';
  *count = 0;
}

// The work area is filled with junk first: explodeStream must not depend on its previous content.
inline Outcome Explode(const uint8_t* data, size_t size, std::function<size_t(int)> chunk, ExplodeWorkArea* area = nullptr,
                   uint32_t overstate = 0) {
  static ExplodeWorkArea shared;
  if (area == nullptr) {
    area = &shared;
    std::memset(area, 0xA5, sizeof *area);
  }
  Outcome run;
  Feeder feeder{data, size, 0, std::move(chunk), overstate, false, &run};
  run.result = explodeStream(FeedRead, FeedWrite, area, &feeder);
  return run;
}

inline Outcome Explode(const Bytes& stream, size_t chunkSize = kExplodeInputSize) {
  return Explode(stream.data(), stream.size(), [chunkSize](int) { return chunkSize; });
}

// Writes hand-made token streams.
class StreamWriter {
 public:
  StreamWriter(uint8_t mode, uint8_t k) : k_(k), ascii_(mode == 1) { bytes_ = {mode, k}; }
  void Bits(uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      if (bit_ == 0) bytes_.push_back(0);
      bytes_.back() |= ((value >> i) & 1) << bit_;
      bit_ = (bit_ + 1) & 7;
    }
  }
  void Literal(uint8_t v) {
    Bits(0, 1);
    if (ascii_) {
      Bits(kExplodeAsciiCodes.value[v], kExplodeAsciiCodes.length[v]);
    } else {
      Bits(v, 8);
    }
  }
  void Length(unsigned index, unsigned extra) {
    Bits(1, 1);
    Bits(kExplodeLengthCodeValues[index], kExplodeLengthCodeLengths[index]);
    Bits(extra, kExplodeLengthExtraBits[index]);
  }
  void Repetition(unsigned length, unsigned distance) {
    unsigned index = 15;
    while (kExplodeLengthBases[index] > length - 2) --index;
    Length(index, length - 2 - kExplodeLengthBases[index]);
    const unsigned lowBits = length == 2 ? 2 : k_;
    const unsigned high = (distance - 1) >> lowBits;
    Bits(kExplodeDistanceCodeValues[high], kExplodeDistanceCodeLengths[high]);
    Bits((distance - 1) & ((1u << lowBits) - 1), lowBits);
  }
  Bytes End() {
    Length(15, 255);
    return bytes_;
  }

 private:
  Bytes bytes_;
  unsigned bit_ = 0;
  unsigned k_;
  bool ascii_;
};

// Text-like data: words from a small vocabulary with spaces, punctuation and CR LF line ends.
inline Bytes MakeText(size_t size, uint32_t seed) {
  static const char* const words[] = {"Archiv", "der", "die", "das", "Verzeichnis", "Datei", "und", "mit",
                                      "Zelvar", "Server", "record", "the", "of", "packed", "entry", "target",
                                      "Sicherung", "wird", "nicht", "gefunden", "0x2E000", "1998", "ok"};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const char* w = words[rng() % (sizeof words / sizeof *words)];
    out.insert(out.end(), w, w + std::strlen(w));
    const uint32_t r = rng() % 16;
    if (r == 0) {
      out.push_back('\r');
      out.push_back('\n');
    } else if (r == 1) {
      out.push_back(',');
      out.push_back(' ');
    } else {
      out.push_back(' ');
    }
  }
  out.resize(size);
  return out;
}

inline Bytes MakeRandom(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Binary-like data: random stretches, runs, and copies of earlier stretches at all distances.
inline Bytes MakeMixed(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const uint32_t kind = rng() % 4;
    const size_t n = 1 + rng() % 600;
    if (kind == 0 || out.empty()) {
      for (size_t i = 0; i < n % 40; ++i) out.push_back(static_cast<uint8_t>(rng()));
    } else if (kind == 1) {
      out.insert(out.end(), n, static_cast<uint8_t>(rng()));
    } else {
      const size_t distance = 1 + rng() % std::min<size_t>(out.size(), 5000);
      for (size_t i = 0; i < n; ++i) out.push_back(out[out.size() - distance]);
    }
  }
  out.resize(size);
  return out;
}

}  // namespace explode_test
