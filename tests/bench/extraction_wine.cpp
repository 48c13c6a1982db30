// The extraction benchmark for Wine: ExtractEntries over the benchmark packed file against plain
// writes of the same tree, timed with the performance counter; prints both times and their ratio.
// Run: build/win32/wine-run build/win32/tests/bench/extraction_wine.exe [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "engine/source_reader.h"
#include "tests/bench/extraction_bench_data.h"

namespace {

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void DiscardOutput(char*, uint32_t*, void*) {}

// Only the decoding: every entry through explodeStream into nothing, for the share of the CPU.
double DecodeOnly(const std::string& packedFile) {
  static ExplodeWorkArea workArea;
  const double start = Seconds();
  g_sourceFile = OsOpenFile(packedFile.c_str(), FileOpenRead);
  if (g_sourceFile == kNoFile || !ReadTrailer(g_sourceFile)) return -1;
  BeginSourceReading(g_sourceFile, g_trailer.firstEntryOffset);
  for (uint32_t i = 0; i < g_trailer.entryCount; ++i) {
    EntryHeaderBuffer header;
    if (ReadEntryHeaderFrom(ReadSourceBlock, nullptr, &header) != EntryRead) break;
    const int64_t dataStart = SourcePosition();
    if (header.header.storedSize > 0) {
      g_remainingInput = header.header.storedSize;
      explodeStream(ReadCompressed, DiscardOutput, &workArea, nullptr);
    }
    SetSourcePosition(dataStart + header.header.storedSize);
  }
  OsCloseFile(g_sourceFile);
  g_sourceFile = kNoFile;
  return Seconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  const std::string dir = "C:\\ztest\\bench";
  OsCreateDirectory("C:\\ztest");
  OsCreateDirectory(dir.c_str());
  const std::string packedFile = dir + "\\bench.zpk";
  const std::vector<zbench::TreeFile> files = zbench::MakeTree();

  FileHandle existing = OsOpenFile(packedFile.c_str(), FileOpenRead);
  const int valid = existing != kNoFile && ReadTrailer(existing);
  if (existing != kNoFile) OsCloseFile(existing);
  if (!valid) {
    std::printf("packing the benchmark tree into %s ...\n", packedFile.c_str());
    const std::vector<uint8_t> packed = zbench::PackTree(files);
    FileHandle out = OsOpenFile(packedFile.c_str(), FileOpenReadWriteTruncate);
    OsWriteFile(out, packed.data(), static_cast<uint32_t>(packed.size()));
    OsCloseFile(out);
  }

  double bestExtract = 1e30, bestPlain = 1e30;
  for (int round = 0; round < rounds; ++round) {
    zbench::RemoveTree(dir + "\\extracted");
    double start = Seconds();
    if (!zbench::ExtractInto(packedFile, dir + "\\extracted")) {
      std::printf("extraction failed\n");
      return 1;
    }
    const double extract = Seconds() - start;
    zbench::RemoveTree(dir + "\\plain");
    start = Seconds();
    if (!zbench::WritePlain(files, dir + "\\plain")) {
      std::printf("plain write failed\n");
      return 1;
    }
    const double plain = Seconds() - start;
    std::printf("round %d: extraction %.3f s, plain write %.3f s\n", round + 1, extract, plain);
    if (extract < bestExtract) bestExtract = extract;
    if (plain < bestPlain) bestPlain = plain;
  }
  zbench::RemoveTree(dir + "\\extracted");
  zbench::RemoveTree(dir + "\\plain");
  double start = Seconds();
  zbench::WritePlain(files, dir + "\\plain", 1);
  std::printf("plain write with directory look-up, times and attributes per file: %.3f s\n", Seconds() - start);
  zbench::RemoveTree(dir + "\\plain");
  std::printf("decoding alone (read and explode, nothing written): %.3f s\n", DecodeOnly(packedFile));
  std::printf("tree: %zu bytes in %d files\n", zbench::TreeBytes(files), zbench::kFiles);
  std::printf("best: extraction %.3f s, plain write %.3f s, ratio %.2f (target: at most 1.5)\n", bestExtract,
              bestPlain, bestExtract / bestPlain);
  return 0;
}
