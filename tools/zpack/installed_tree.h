#pragma once
// The installed tree as verify reads it: natively straight through POSIX calls (one open and one
// fstat per file, listings without a stat per name); on Windows listings through the wide API, so
// that every name comes exact, and files through the program's seam by their ANSI names. Paths and
// names are UTF-8.
#include <cstdint>
#include <string>
#include <vector>

namespace zpack {

struct InstalledItem {
  std::string name;
  bool directory = false;
};
bool ListInstalled(const std::string& directory, std::vector<InstalledItem>* items);
// why: the reason when there is one to give (on Windows: a name the seam cannot take), else empty.
bool IsInstalledDirectory(const std::string& path, std::string* why);
std::string InstalledChild(const std::string& directory, const std::string& name);

struct InstalledFile {
  intptr_t handle = -1;
  int64_t size = -1;
  bool haveTimes = false;
  bool haveCreation = false;                     // natively there is no creation time
  uint64_t creation = 0, access = 0, write = 0;  // Windows file times
  uint32_t attributes = 0;
  uint32_t comparable = 0;  // the attribute bits the system holds (natively only read-only)
};
bool OpenInstalled(const std::string& path, InstalledFile* file, std::string* why);
int32_t ReadInstalled(InstalledFile& file, void* buffer, uint32_t count);  // -1 on error
void CloseInstalled(InstalledFile& file);

}  // namespace zpack
