// The installed tree for verify (see installed_tree.h).
#include "tools/zpack/installed_tree.h"

#include <cstring>

#include "platform/platform.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zpack {

#ifdef _WIN32

bool ListInstalled(const std::string& directory, std::vector<InstalledItem>* items) {
  OsFindData data;
  const std::string pattern = directory + "\\*.*";
  FindHandle find = OsFindFirst(pattern.c_str(), &data);
  if (find == nullptr) return false;
  do {
    if (std::strcmp(data.name, ".") == 0 || std::strcmp(data.name, "..") == 0) continue;
    items->push_back(InstalledItem{data.name, (data.attributes & kAttrDirectory) != 0});
  } while (OsFindNext(find, &data));
  OsFindClose(find);
  return true;
}

bool IsInstalledDirectory(const std::string& path) { return OsDirectoryExists(path.c_str()) != 0; }

std::string InstalledChild(const std::string& directory, const std::string& name) { return directory + "\\" + name; }

bool OpenInstalled(const std::string& path, InstalledFile* file) {
  FileHandle handle = OsOpenFile(path.c_str(), FileOpenRead);
  if (handle == kNoFile) return false;
  file->handle = handle;
  file->size = OsFileLength(handle);
  file->haveTimes = OsGetFileTimes(path.c_str(), &file->creation, &file->access, &file->write) != 0;
  file->haveCreation = file->haveTimes;
  file->attributes = OsGetAttributes(path.c_str());
  file->comparable = kAttrReadOnly | kAttrHidden | 0x04;  // read-only, hidden, system
  return true;
}

int32_t ReadInstalled(InstalledFile& file, void* buffer, uint32_t count) {
  return OsReadFile(static_cast<FileHandle>(file.handle), buffer, count);
}

void CloseInstalled(InstalledFile& file) {
  if (file.handle != -1) OsCloseFile(static_cast<FileHandle>(file.handle));
  file.handle = -1;
}

#else

bool ListInstalled(const std::string& directory, std::vector<InstalledItem>* items) {
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return false;
  while (struct dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st;
      isDirectory = stat(InstalledChild(directory, entry->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    items->push_back(InstalledItem{entry->d_name, isDirectory});
  }
  closedir(dir);
  return true;
}

bool IsInstalledDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string InstalledChild(const std::string& directory, const std::string& name) { return directory + "/" + name; }

namespace {
uint64_t FileTimeOf(const struct timespec& t) {
  return (static_cast<uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100;
}
}  // namespace

bool OpenInstalled(const std::string& path, InstalledFile* file) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  file->handle = fd;
  file->size = st.st_size;
  file->haveTimes = true;
  file->haveCreation = false;
  file->access = FileTimeOf(st.st_atim);
  file->write = FileTimeOf(st.st_mtim);
  file->attributes = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? kAttrReadOnly : 0;
  file->comparable = kAttrReadOnly;
  return true;
}

int32_t ReadInstalled(InstalledFile& file, void* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    ssize_t got = ::read(static_cast<int>(file.handle), static_cast<char*>(buffer) + done, count - done);
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<uint32_t>(got);
  }
  return static_cast<int32_t>(done);
}

void CloseInstalled(InstalledFile& file) {
  if (file.handle != -1) ::close(static_cast<int>(file.handle));
  file.handle = -1;
}

#endif

}  // namespace zpack
