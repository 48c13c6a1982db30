// Packing of an image for the program's resources: each row as byte differences, then imploded.
#include "tools/pack_image/packing.h"

#include "tools/zpack/implode.h"
#include "ui/packed_image.h"

namespace {

constexpr size_t kFileHeaderSize = 14;  // BITMAPFILEHEADER
constexpr unsigned kDictionarySize = 4096;

}  // namespace

std::vector<uint8_t> PackImage(const uint8_t* bitmap, size_t size) {
  const size_t offset = ImagePixelsOffset(bitmap, size);
  if (offset == 0 || size > kPackedImageMaxBytes) return {};
  std::vector<uint8_t> rows(bitmap, bitmap + size);
  const size_t stride = ImageRowBytes(bitmap);
  for (size_t row = offset; row < size; row += stride) {
    for (size_t i = row + stride - 1; i > row; --i) rows[i] = static_cast<uint8_t>(rows[i] - rows[i - 1]);
  }
  const std::vector<uint8_t> stream = ImplodeBuffer(rows.data(), rows.size(), ImplodeBinary, kDictionarySize);
  std::vector<uint8_t> packed{static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                              static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
  packed.insert(packed.end(), stream.begin(), stream.end());
  return packed;
}

std::vector<uint8_t> BitmapOfBmpFile(const std::vector<uint8_t>& file) {
  if (file.size() <= kFileHeaderSize || file[0] != 'B' || file[1] != 'M') return {};
  std::vector<uint8_t> bitmap(file.begin() + kFileHeaderSize, file.end());
  const size_t offset = ImagePixelsOffset(bitmap.data(), bitmap.size());
  if (offset == 0 || LittleEndian32(file.data() + 10) != kFileHeaderSize + offset) return {};
  return bitmap;
}
