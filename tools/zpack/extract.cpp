// zpack extract: recreates a packed file's entries below a directory, with names converted from the
// packed file's code page, never through a link that is already there, never over an existing file
// unless asked to, and without leaving a partial file behind a failed write.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/zpack/code_pages.h"
#include "tools/zpack/output_tree.h"
#include "tools/zpack/packed_reading.h"
#include "tools/zpack/zpack_tool.h"

namespace zpack {

// An entry name is used below the target only when it is "\" followed by one or more plain names:
// no empty, "." or ".." level, no drive or other colon, no control characters. The levels come out
// converted to UTF-8.
bool EntryLevels(const std::string& name, int codePage, std::vector<std::string>* levels, std::string* why) {
  if (name.empty() || name[0] != '\\') {
    *why = "its name does not begin with a backslash";
    return false;
  }
  levels->clear();
  std::string level;
  // By whole characters: the trail byte of a double-byte character may be 0x5C.
  for (size_t i = 1, bytes = 1;; i += bytes) {
    const char c = i < name.size() ? name[i] : '\0';
    bytes = i < name.size() ? PackedCharBytes(name, i, codePage) : 1;
    if (bytes == 2) {
      level.append(name, i, 2);
      continue;
    }
    if (c == '\\' || c == '/' || c == '\0') {
      if (level.empty()) {
        *why = "its name has an empty level";
        return false;
      }
      if (level.find_first_not_of('.') == std::string::npos) {
        *why = "its name has a \".\" or \"..\" level";
        return false;
      }
      std::string utf8;
      if (!PackedToUtf8(level, codePage, &utf8)) {
        *why = "its name is not valid in code page " + std::to_string(codePage);
        return false;
      }
      levels->push_back(utf8);
      level.clear();
      if (c == '\0') break;
      continue;
    }
    if (c == ':') {
      *why = "its name holds a colon (drive or stream name)";
      return false;
    }
    if (static_cast<unsigned char>(c) < 32) {
      *why = "its name holds a control character";
      return false;
    }
    level += c;
  }
  return true;
}

namespace {

void Refuse(const std::string& name, int codePage, const std::string& why) {
  std::fprintf(stderr, "zpack: %s: refused: %s\n", ShowPacked(name, codePage).c_str(), why.c_str());
}

// Without overwrite nothing is written when any entry's file is already there.
bool FindExistingFiles(const PackedFile& packed, OutputTree& tree, int codePage) {
  bool found = false;
  WalkEntries(packed.file, [&](EntryHeaderBuffer& b, int64_t) {
    Levels levels;
    std::string why;
    if ((b.header.entryFlags & EntryIsDirectory) || !EntryLevels(StoredName(b), codePage, &levels, &why)) return true;
    Existing existing = tree.Probe(levels);
    if (existing == Existing::File || existing == Existing::Other) {
      std::fprintf(stderr, "zpack: %s: already exists\n", ShowHost(JoinLevels(levels)).c_str());
      found = true;
    }
    return true;
  });
  return found;
}

}  // namespace

int Extract(const char* path, const char* targetDir, const ExtractOptions& options) {
  PackedFile packed;
  bool valid = false;
  if (!OpenPacked(path, &packed, &valid) || !valid) return 1;
  OutputTree tree;
  std::string why;
  if (!tree.Open(targetDir, &why)) {
    std::fprintf(stderr, "zpack: cannot create %s: %s\n", ShowArgument(targetDir).c_str(), why.c_str());
    return 1;
  }
  if (!options.overwrite && FindExistingFiles(packed, tree, options.codePage)) {
    std::fprintf(stderr, "zpack: nothing extracted: files already exist (--overwrite replaces them)\n");
    return 1;
  }
  int status = 0;
  std::vector<std::pair<Levels, EntryTimes>> directories;
  uint32_t walked = WalkEntries(packed.file, [&](EntryHeaderBuffer& b, int64_t dataStart) {
    const EntryHeader& h = b.header;
    const std::string name = StoredName(b);
    Levels levels;
    if (!EntryLevels(name, options.codePage, &levels, &why)) {
      Refuse(name, options.codePage, why);
      status = 1;
      return true;
    }
    const std::string shown = ShowHost(JoinLevels(levels));
    EntryTimes times;
    times.access = h.accessTime;
    times.write = h.writeTime;
    if (h.entryFlags & EntryIsDirectory) {
      if (!tree.MakeDirectory(levels, &why)) {
        std::fprintf(stderr, "zpack: %s: refused: %s\n", shown.c_str(), why.c_str());
        status = 1;
      } else {
        directories.emplace_back(levels, times);
      }
      return true;
    }
    if (!DataFits(packed, b, dataStart, options.codePage)) {
      status = 1;
      return false;
    }
    int file = tree.NewFile(levels, options.overwrite, &why);
    if (file < 0) {
      std::fprintf(stderr, "zpack: %s: refused: %s\n", shown.c_str(), why.c_str());
      status = 1;
      return true;
    }
    std::string writeError;
    EntryStream stream;
    stream.sink = [&](const char* data, uint32_t size) { return OutputTree::Write(file, data, size, &writeError); };
    ExplodeResult result = h.storedSize == 0 ? ExplodeOk : ExplodeEntry(h.storedSize, &stream);
    if (writeError.empty() && result != ExplodeOk) writeError = ResultName(result);
    if (!writeError.empty()) {
      tree.Discard(file, levels);
      std::fprintf(stderr, "zpack: %s: failed: %s\n", shown.c_str(), writeError.c_str());
      status = 1;
      return true;
    }
    if (!OutputTree::Finish(file, times, &writeError)) {
      tree.Discard(-1, levels);
      std::fprintf(stderr, "zpack: %s: failed: %s\n", shown.c_str(), writeError.c_str());
      status = 1;
      return true;
    }
    std::printf("%s (%" PRIu64 " bytes)\n", shown.c_str(), stream.total);
    return true;
  });
  // Directory times last: writing their contents has changed them.
  for (auto it = directories.rbegin(); it != directories.rend(); ++it) tree.SetDirectoryTimes(it->first, it->second);
  if (!WalkComplete(walked)) status = 1;
  return status;
}

}  // namespace zpack
