#pragma once
// A scratch folder for a fuzzer's files, in memory where the host has /dev/shm: on a disk file
// system each cut or closed file may be written out, and the fuzzer then waits for the disk.
// The folder is removed when the fuzzer ends normally (a crash leaves it for inspection).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zfuzz {

inline std::string MakeScratchFolder(const char* name) {
  struct stat info;
  const std::string base = stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm/" : "/tmp/";
  std::string pattern = base + name + ".XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) std::abort();
  static std::string made;
  made = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(made, ignored);
  });
  return pattern;
}

}  // namespace zfuzz
