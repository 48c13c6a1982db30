#pragma once
// The benchmark archive: about 100 MB in a few thousand entries of mixed data, packed once with the
// project's packed-file writer, and the two ways to write its tree (ExtractEntries and plain copies).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/extraction.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "tools/zpack/pack_writer.h"

namespace zbench {

struct TreeFile {
  std::string name;  // "\dNN\fNNNN.bin"
  std::vector<uint8_t> data;
};

constexpr int kDirectories = 40;
constexpr int kFiles = 3000;

// Mixed data: text-like runs that compress well, and stretches of noise that do not.
inline std::vector<uint8_t> FileData(int index) {
  uint32_t state = static_cast<uint32_t>(index) * 2654435761u + 7;
  auto next = [&state]() { return state = state * 1103515245u + 12345u; };
  const size_t size = 2000 + next() % 65000;  // about 33 KB on average
  static const char* const kWords[] = {"archive ", "Kunden ", "record ", "Zelvar ", "2004 ", "BAS ", "\r\n"};
  std::vector<uint8_t> data;
  data.reserve(size);
  while (data.size() < size) {
    if (next() % 4 == 0) {
      for (int k = 0; k < 200 && data.size() < size; ++k) data.push_back(static_cast<uint8_t>(next() >> 24));
    } else {
      for (int k = 0; k < 40 && data.size() < size; ++k) {
        const char* word = kWords[next() % 7];
        for (; *word != '\0' && data.size() < size; ++word) data.push_back(static_cast<uint8_t>(*word));
      }
    }
  }
  return data;
}

inline std::vector<TreeFile> MakeTree() {
  std::vector<TreeFile> files;
  files.reserve(kFiles);
  for (int n = 0; n < kFiles; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, "\\d%02d\\f%04d.bin", n % kDirectories, n);
    files.push_back({name, FileData(n)});
  }
  return files;
}

inline size_t TreeBytes(const std::vector<TreeFile>& files) {
  size_t total = 0;
  for (const TreeFile& file : files) total += file.data.size();
  return total;
}

// The packed file of the tree: its directories, then its files.
inline std::vector<uint8_t> PackTree(const std::vector<TreeFile>& files) {
  std::vector<zpack::PackEntry> entries;
  for (int d = 0; d < kDirectories; ++d) {
    char name[16];
    std::snprintf(name, sizeof name, "\\d%02d", d);
    entries.push_back(zpack::MakeDirectoryEntry(name, 1262347200));
  }
  for (const TreeFile& file : files) {
    entries.push_back(zpack::MakeFileEntry(file.name, file.data, ImplodeBinary, 4096, 1262347200));
  }
  zpack::TrailerInfo info;
  info.title = "Benchmark";
  info.subdirectory = "\\ARCHIVE\\bench";
  return zpack::BuildPackedFile(entries, info);
}

inline void RemoveTree(const std::string& path) {
  OsFindData data;
  FindHandle find = OsFindFirst((path + "\\*.*").c_str(), &data);
  if (find != nullptr) {
    do {
      const std::string name = data.name;
      if (name == "." || name == "..") continue;
      if ((data.attributes & kAttrDirectory) != 0) {
        RemoveTree(path + "\\" + name);
      } else {
        OsDeleteFile((path + "\\" + name).c_str());
      }
    } while (OsFindNext(find, &data));
    OsFindClose(find);
  }
  OsRemoveDirectory(path.c_str());
}

// ExtractEntries over the packed file into target; 1 on success.
inline int ExtractInto(const std::string& packedFile, const std::string& target) {
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  CopyBounded(g_jobSettings.targetDir, kPathChars, target.c_str());
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, "\\\\SRV\\SYS\\bench");
  g_workerState.progressWindow = nullptr;
  g_workerState.stopRequested = 0;
  g_sourceFile = OsOpenFile(packedFile.c_str(), FileOpenRead);
  if (g_sourceFile == kNoFile || !ReadTrailer(g_sourceFile)) return 0;
  return ExtractEntries();
}

// The same tree written with plain open, write, close of the same bytes (directories included).
// withMetadata: also what every extracted file gets besides its bytes (its directory looked up,
// the three times, the attributes), to show what of the difference is the per-file work.
inline int WritePlain(const std::vector<TreeFile>& files, const std::string& target, int withMetadata = 0) {
  OsCreateDirectory(target.c_str());
  for (int d = 0; d < kDirectories; ++d) {
    char name[16];
    std::snprintf(name, sizeof name, "\\d%02d", d);
    OsCreateDirectory((target + name).c_str());
  }
  for (const TreeFile& file : files) {
    FileHandle out = OsOpenFile((target + file.name).c_str(), FileOpenReadWriteTruncate);
    if (out == kNoFile) return 0;
    if (withMetadata) {
      const std::string path = target + file.name;
      OsDirectoryExists(path.substr(0, path.find_last_of('\\')).c_str());
    }
    if (!file.data.empty()) OsWriteFile(out, file.data.data(), static_cast<uint32_t>(file.data.size()));
    if (withMetadata) {
      uint64_t time = 0;
      OsUnixTimeToFileTime(1262347200, &time);
      OsSetFileTimes(out, time, time, time);
    }
    OsCloseFile(out);
    if (withMetadata) OsSetAttributes((target + file.name).c_str(), kAttrArchive);
  }
  return 1;
}

}  // namespace zbench
