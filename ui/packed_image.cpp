// Unpacking of the images kept compressed among the resources: explode, then the rows' differences undone.
#include "ui/packed_image.h"

#include <cstring>

#include "discovery/byte_order.h"
#include "engine/explode.h"

namespace {

constexpr size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr size_t kSizeFieldBytes = 4;

struct Unpacking {
  const uint8_t* input;
  size_t inputLeft;
  uint8_t* output;
  size_t outputFill;
  size_t outputCapacity;
  bool overflow;
};

uint32_t ReadPacked(char* buffer, uint32_t* count, void* userParameter) {
  Unpacking* u = static_cast<Unpacking*>(userParameter);
  const size_t take = u->inputLeft < *count ? u->inputLeft : *count;
  std::memcpy(buffer, u->input, take);
  u->input += take;
  u->inputLeft -= take;
  return static_cast<uint32_t>(take);
}

void WriteUnpacked(char* buffer, uint32_t* count, void* userParameter) {
  Unpacking* u = static_cast<Unpacking*>(userParameter);
  if (u->overflow) return;
  if (*count > u->outputCapacity - u->outputFill) {
    u->overflow = true;
    return;
  }
  std::memcpy(u->output + u->outputFill, buffer, *count);
  u->outputFill += *count;
}

}  // namespace

uint32_t LittleEndian32(const uint8_t* p) {
  return ReadLittle32(p);
}

size_t ImageRowBytes(const uint8_t* bitmap) {
  return (static_cast<size_t>(LittleEndian32(bitmap + 4)) + 3) & ~size_t{3};
}

size_t ImagePixelsOffset(const uint8_t* bitmap, size_t size) {
  if (size < kInfoHeaderSize || LittleEndian32(bitmap) != kInfoHeaderSize) return 0;
  const uint32_t width = LittleEndian32(bitmap + 4);
  const uint32_t height = LittleEndian32(bitmap + 8);  // positive: rows bottom-up
  const uint32_t colours = LittleEndian32(bitmap + 32) != 0 ? LittleEndian32(bitmap + 32) : 256;
  if (ReadLittle16(bitmap + 12) != 1 || ReadLittle16(bitmap + 14) != 8 || LittleEndian32(bitmap + 16) != 0) return 0;
  if (width == 0 || width > 0xFFFF || height == 0 || height > 0xFFFF || colours > 256) return 0;
  const uint64_t offset = kInfoHeaderSize + 4 * uint64_t{colours};
  const uint64_t stride = (uint64_t{width} + 3) & ~uint64_t{3};
  return offset + stride * height == size ? static_cast<size_t>(offset) : 0;
}

size_t PackedImageSize(const uint8_t* packed, size_t packedSize) {
  if (packedSize < kSizeFieldBytes) return 0;
  const uint32_t size = LittleEndian32(packed);
  return size != 0 && size <= kPackedImageMaxBytes ? size : 0;
}

int UnpackImage(const uint8_t* packed, size_t packedSize, uint8_t* bitmap, size_t capacity) {
  const size_t size = PackedImageSize(packed, packedSize);
  if (size == 0 || size > capacity) return 0;
  Unpacking u{packed + kSizeFieldBytes, packedSize - kSizeFieldBytes, bitmap, 0, size, false};
  ExplodeWorkArea workArea;
  if (explodeStream(ReadPacked, WriteUnpacked, &workArea, &u) != ExplodeOk || u.overflow || u.outputFill != size) {
    return 0;
  }
  const size_t offset = ImagePixelsOffset(bitmap, size);
  if (offset == 0) return 0;
  const size_t stride = ImageRowBytes(bitmap);
  for (size_t row = offset; row < size; row += stride) {
    for (size_t i = row + 1; i < row + stride; ++i) bitmap[i] = static_cast<uint8_t>(bitmap[i] + bitmap[i - 1]);
  }
  return 1;
}
