// Implode encoder: greedy matching with one step of lazy evaluation over hash chains of 3-byte
// prefixes, plus a table of the last position of every byte pair for repetitions of length 2.
#include "tools/zpack/implode.h"

#include <algorithm>
#include <stdexcept>

#include "engine/explode_tables.h"

namespace {

constexpr unsigned kMaxLength = 518;         // 519 is the end marker
constexpr unsigned kMaxShortDistance = 256;  // repetitions of length 2 carry only 2 low bits
constexpr unsigned kHashBits = 15;
constexpr unsigned kRing = 4096;             // the largest dictionary
constexpr int kMaxChain = 96;
constexpr unsigned kLazyBelow = 32;          // longer matches are taken without looking one byte further

struct Match {
  unsigned length = 0;
  unsigned distance = 0;
};

class Encoder {
 public:
  Encoder(const uint8_t* data, size_t size, ImplodeLiteralMode mode, unsigned dictionaryBits,
          std::vector<ImplodeTokenMark>* marks)
      : data_(data), size_(size), ascii_(mode == ImplodeAscii), dictionaryBits_(dictionaryBits),
        dictionarySize_(64u << dictionaryBits), marks_(marks), head_(1u << kHashBits, -1), prev_(kRing, -1),
        lastPair_(65536, -1) {}

  std::vector<uint8_t> Run() {
    out_.reserve(size_ / 2 + 16);
    out_.push_back(ascii_ ? 1 : 0);
    out_.push_back(static_cast<uint8_t>(dictionaryBits_));
    size_t p = 0;
    Match current = Find(p);
    while (p < size_) {
      if (!Worthwhile(current, p)) {
        EmitLiteral(p);
        Insert(p);
        ++p;
        current = Find(p);
        continue;
      }
      Insert(p);
      if (current.length < kLazyBelow && p + 1 < size_) {
        const Match next = Find(p + 1);
        if (next.length > current.length && Worthwhile(next, p + 1)) {
          EmitLiteral(p);
          ++p;
          current = next;
          continue;
        }
      }
      EmitRepetition(current, p + current.length);
      for (size_t q = p + 1; q < p + current.length; ++q) Insert(q);
      p += current.length;
      current = Find(p);
    }
    // End marker: length index 15 with all 8 extra bits set.
    PutBits(1, 1);
    PutBits(kExplodeLengthCodeValues[15], kExplodeLengthCodeLengths[15]);
    PutBits(0xFF, 8);
    if (pending_ != 0) out_.push_back(static_cast<uint8_t>(accumulator_));
    // The decoder wants at least 5 bytes in its first read; the byte behind the marker is never used.
    while (out_.size() < 5) out_.push_back(0);
    return std::move(out_);
  }

 private:
  uint32_t Hash3(size_t p) const {
    const uint32_t v = (uint32_t(data_[p]) << 16) | (uint32_t(data_[p + 1]) << 8) | data_[p + 2];
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  void Insert(size_t p) {
    if (p + 1 < size_) lastPair_[data_[p] | (data_[p + 1] << 8)] = static_cast<int32_t>(p);
    if (p + 2 < size_) {
      const uint32_t h = Hash3(p);
      prev_[p % kRing] = head_[h];
      head_[h] = static_cast<int32_t>(p);
    }
  }

  // Longest earlier occurrence of the bytes at p within the dictionary (the nearest among equals).
  Match Find(size_t p) const {
    Match best;
    if (p >= size_) return best;
    const unsigned maxLength = static_cast<unsigned>(std::min<size_t>(kMaxLength, size_ - p));
    const uint8_t* const here = data_ + p;
    if (maxLength >= 3) {
      int32_t candidate = head_[Hash3(p)];
      for (int chain = kMaxChain; candidate >= 0 && chain > 0; --chain) {
        const size_t distance = p - static_cast<size_t>(candidate);
        if (distance > dictionarySize_) break;
        const uint8_t* there = data_ + candidate;
        if (there[best.length] == here[best.length] && there[0] == here[0]) {
          unsigned length = 0;
          while (length < maxLength && there[length] == here[length]) ++length;
          if (length > best.length && (length >= 3 || distance <= kMaxShortDistance)) {
            best.length = length;
            best.distance = static_cast<unsigned>(distance);
            if (length == maxLength) break;
          }
        }
        const int32_t next = prev_[static_cast<size_t>(candidate) % kRing];
        if (next >= candidate) break;  // slot already reused by a newer position
        candidate = next;
      }
    }
    if (best.length < 2 && maxLength >= 2) {
      const int32_t candidate = lastPair_[here[0] | (here[1] << 8)];
      if (candidate >= 0 && p - static_cast<size_t>(candidate) <= kMaxShortDistance) {
        best.length = 2;
        best.distance = static_cast<unsigned>(p - static_cast<size_t>(candidate));
      }
    }
    return best;
  }

  unsigned LiteralCost(uint8_t value) const { return 1 + (ascii_ ? kExplodeAsciiCodes.length[value] : 8); }

  static unsigned LengthIndex(unsigned length) {
    unsigned index = 15;
    while (kExplodeLengthBases[index] > length - 2) --index;
    return index;
  }

  unsigned DistanceHigh(const Match& m) const {
    return (m.distance - 1) >> (m.length == 2 ? 2 : dictionaryBits_);
  }

  unsigned RepetitionCost(const Match& m) const {
    const unsigned index = LengthIndex(m.length);
    return 1 + kExplodeLengthCodeLengths[index] + kExplodeLengthExtraBits[index] +
           kExplodeDistanceCodeLengths[DistanceHigh(m)] + (m.length == 2 ? 2 : dictionaryBits_);
  }

  bool Worthwhile(const Match& m, size_t p) const {
    if (m.length < 2) return false;
    if (m.length > 6) return true;  // a repetition costs at most 30 bits, a literal at least 5
    unsigned literals = 0;
    for (unsigned i = 0; i < m.length; ++i) literals += LiteralCost(data_[p + i]);
    return RepetitionCost(m) < literals;
  }

  void PutBits(uint32_t value, unsigned count) {
    accumulator_ |= static_cast<uint64_t>(value) << pending_;
    pending_ += count;
    totalBits_ += count;
    while (pending_ >= 8) {
      out_.push_back(static_cast<uint8_t>(accumulator_));
      accumulator_ >>= 8;
      pending_ -= 8;
    }
  }

  void Mark(size_t outputEnd) {
    if (marks_ != nullptr) marks_->push_back(ImplodeTokenMark{totalBits_, outputEnd});
  }

  void EmitLiteral(size_t p) {
    const uint8_t value = data_[p];
    PutBits(0, 1);
    if (ascii_) {
      PutBits(kExplodeAsciiCodes.value[value], kExplodeAsciiCodes.length[value]);
    } else {
      PutBits(value, 8);
    }
    Mark(p + 1);
  }

  void EmitRepetition(const Match& m, size_t outputEnd) {
    const unsigned index = LengthIndex(m.length);
    PutBits(1, 1);
    PutBits(kExplodeLengthCodeValues[index], kExplodeLengthCodeLengths[index]);
    if (kExplodeLengthExtraBits[index] != 0) PutBits(m.length - 2 - kExplodeLengthBases[index], kExplodeLengthExtraBits[index]);
    const unsigned high = DistanceHigh(m);
    PutBits(kExplodeDistanceCodeValues[high], kExplodeDistanceCodeLengths[high]);
    if (m.length == 2) {
      PutBits((m.distance - 1) & 3, 2);
    } else {
      PutBits((m.distance - 1) & ((1u << dictionaryBits_) - 1), dictionaryBits_);
    }
    Mark(outputEnd);
  }

  const uint8_t* data_;
  size_t size_;
  bool ascii_;
  unsigned dictionaryBits_;
  size_t dictionarySize_;
  std::vector<ImplodeTokenMark>* marks_;
  std::vector<int32_t> head_;
  std::vector<int32_t> prev_;
  std::vector<int32_t> lastPair_;
  std::vector<uint8_t> out_;
  uint64_t accumulator_ = 0;
  unsigned pending_ = 0;
  uint64_t totalBits_ = 0;
};

}  // namespace

std::vector<uint8_t> ImplodeBuffer(const uint8_t* data, size_t size, ImplodeLiteralMode mode, unsigned dictionarySize,
                                   std::vector<ImplodeTokenMark>* marks) {
  unsigned dictionaryBits;
  switch (dictionarySize) {
    case 1024: dictionaryBits = 4; break;
    case 2048: dictionaryBits = 5; break;
    case 4096: dictionaryBits = 6; break;
    default: throw std::invalid_argument("dictionary size must be 1024, 2048 or 4096");
  }
  if (mode != ImplodeBinary && mode != ImplodeAscii) throw std::invalid_argument("unknown literal mode");
  if (marks != nullptr) marks->clear();
  return Encoder(data, size, mode, dictionaryBits, marks).Run();
}

std::vector<uint8_t> ImplodeBuffer(const uint8_t* data, size_t size, ImplodeLiteralMode mode, unsigned dictionarySize) {
  return ImplodeBuffer(data, size, mode, dictionarySize, nullptr);
}
