#pragma once
// The extraction's output below its target directory, opened level by level so that no directory
// level and no output file is ever reached through a symbolic link (natively) or a reparse point
// (Windows) that was already there: such an entry is refused instead of written elsewhere.
// Paths are given as UTF-8 levels below the target.
#include <cstdint>
#include <string>
#include <vector>

namespace zpack {

using Levels = std::vector<std::string>;

enum class Existing { Absent, File, Directory, Link, Other };

struct EntryTimes {
  uint32_t access = 0;
  uint32_t write = 0;
};

class OutputTree {
 public:
  OutputTree() = default;
  OutputTree(const OutputTree&) = delete;
  OutputTree& operator=(const OutputTree&) = delete;
  ~OutputTree();

  // Creates the target when missing and opens it. false with the system's reason.
  bool Open(const std::string& target, std::string* why);
  // What is at the path now, without following a link; Link also for a link on the way there.
  Existing Probe(const Levels& levels);
  // Makes every missing level. false with the reason (also: a link or a file in the way).
  bool MakeDirectory(const Levels& levels, std::string* why);
  // A new file (its missing directories made). An existing file is replaced only with overwrite.
  // Returns a descriptor, or -1 with the reason.
  int NewFile(const Levels& levels, bool overwrite, std::string* why);
  // Writes everything; false with errno's reason.
  static bool Write(int file, const char* data, uint32_t size, std::string* why);
  // Sets the times and closes; false with the reason (the file is closed all the same).
  static bool Finish(int file, const EntryTimes& times, std::string* why);
  // Closes a failed file and removes it.
  void Discard(int file, const Levels& levels);
  // Sets a directory's times, reached the same careful way.
  bool SetDirectoryTimes(const Levels& levels, const EntryTimes& times);

 private:
  // The directory holding levels' last element, opened without following links (natively a
  // descriptor; -1 with the reason, *linkMet set when a link was in the way).
  int OpenParent(const Levels& levels, bool create, std::string* why, bool* linkMet);
  int root_ = -1;
  std::string rootPath_;  // UTF-8; used on Windows, where the levels are checked by path
};

// A path below the target as UTF-8 text with "/" between the levels, for messages.
std::string JoinLevels(const Levels& levels);

}  // namespace zpack
