// Writes the seed corpus of fuzz_explode into the directory given: a few valid streams of every
// mode and dictionary size, each behind a chunking byte.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/zpack/implode.h"

namespace {

bool WriteSeed(const std::string& path, uint8_t chunking, const std::vector<uint8_t>& stream) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  std::fputc(chunking, f);
  const bool ok = std::fwrite(stream.data(), 1, stream.size(), f) == stream.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_explode_seeds DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = WriteSeed(dir + "/worked_binary", 0, {0x00, 0x04, 0xC2, 0x88, 0x19, 0x2B, 0x4B, 0xC0, 0x3F}) &&
            WriteSeed(dir + "/worked_ascii", 1, {0x01, 0x06, 0x0E, 0x93, 0x51, 0x16, 0x02, 0xFE, 0x01}) &&
            WriteSeed(dir + "/worked_short", 2, {0x01, 0x06, 0x62, 0xF1, 0x1E, 0x48, 0x06, 0xFC, 0x03});
  std::string text;
  while (text.size() < 6000) text += "Archiv der Datei, record \\config\\archive.dat ok\r\n";
  std::vector<uint8_t> data(text.begin(), text.end());
  for (int i = 0; i < 3000; ++i) data.push_back(static_cast<uint8_t>(i * i >> 3));
  const unsigned dictionaries[] = {1024, 2048, 4096};
  for (int mode = 0; mode < 2; ++mode) {
    for (int d = 0; d < 3; ++d) {
      const std::vector<uint8_t> stream =
          ImplodeBuffer(data.data(), data.size(), mode ? ImplodeAscii : ImplodeBinary, dictionaries[d]);
      ok = ok && WriteSeed(dir + "/stream_" + std::to_string(mode) + "_" + std::to_string(d),
                           static_cast<uint8_t>(0x10 * d + mode), stream);
    }
  }
  return ok ? 0 : 1;
}
