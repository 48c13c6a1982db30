#pragma once
// Reads a fuzzer's input front to back; past its end every value reads as zero. FUZZ_EXPECT ends
// the run with the failed check's line when a fuzzer's own check fails.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_EXPECT(condition) ((condition) ? (void)0 : zfuzz::Fail(#condition, __FILE__, __LINE__))

namespace zfuzz {

[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }
  // Up to count bytes as text; a NUL in the input ends the text (and is consumed).
  std::string Text(size_t count) {
    std::string text;
    while (text.size() < count && at_ < size_) {
      const char c = static_cast<char>(data_[at_++]);
      if (c == '\0') break;
      text.push_back(c);
    }
    return text;
  }
  // Up to count bytes as they are.
  std::string Bytes(size_t count) {
    const size_t take = count < size_ - at_ ? count : size_ - at_;
    std::string bytes(reinterpret_cast<const char*>(data_ + at_), take);
    at_ += take;
    return bytes;
  }
  std::string Rest() { return Bytes(size_ - at_); }
  bool Empty() const { return at_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace zfuzz
