// pack_image BMPFILE OUTFILE: writes the image of an 8-bit .bmp file in the packed form of the
// program's resources (ui/packed_image.h). Run by hand after tools/draw_images.py:
//   build/native/tools/pack_image/pack_image ui/images/about_banner_2x.bmp ui/images/about_banner_2x.dcl
#include <cstdio>
#include <vector>

#include "tools/pack_image/packing.h"

namespace {

bool ReadWhole(const char* path, std::vector<uint8_t>* bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes->insert(bytes->end(), block, block + got);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pack_image BMPFILE OUTFILE\n");
    return 2;
  }
  std::vector<uint8_t> file;
  if (!ReadWhole(argv[1], &file)) {
    std::perror(argv[1]);
    return 1;
  }
  const std::vector<uint8_t> bitmap = BitmapOfBmpFile(file);
  const std::vector<uint8_t> packed = bitmap.empty() ? bitmap : PackImage(bitmap.data(), bitmap.size());
  if (packed.empty()) {
    std::fprintf(stderr, "pack_image: %s is no 8-bit bottom-up .bmp file\n", argv[1]);
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  const bool written = std::fwrite(packed.data(), 1, packed.size(), out) == packed.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(argv[2]);
    std::remove(argv[2]);
    return 1;
  }
  std::printf("%s: %zu bytes packed into %zu\n", argv[2], bitmap.size(), packed.size());
  return 0;
}
