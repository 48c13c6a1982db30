// The installed tree for verify (see installed_tree.h).
#include "tools/zpack/installed_tree.h"

#include <cstring>
#include <cwchar>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>

#include "tools/zpack/host_paths.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zpack {

#ifdef _WIN32

bool ListInstalled(const std::string& directory, std::vector<InstalledItem>* items) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(HostPath(directory + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;  // a drive's empty root
  do {
    if (std::wcscmp(data.cFileName, L".") == 0 || std::wcscmp(data.cFileName, L"..") == 0) continue;
    items->push_back(InstalledItem{HostText(data.cFileName), (data.dwFileAttributes & kAttrDirectory) != 0});
  } while (FindNextFileW(find, &data));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  return complete;
}

bool IsInstalledDirectory(const std::string& path, std::string* why) {
  std::string ansi;
  if (!NarrowPath(path, &ansi)) {
    *why = NoNarrowPath();
    return false;
  }
  return OsDirectoryExists(ansi.c_str()) != 0;
}

std::string InstalledChild(const std::string& directory, const std::string& name) { return directory + "\\" + name; }

bool OpenInstalled(const std::string& path, InstalledFile* file, std::string* why) {
  std::string ansi;
  if (!NarrowPath(path, &ansi)) {
    *why = NoNarrowPath();
    return false;
  }
  FileHandle handle = OsOpenFile(ansi.c_str(), FileOpenRead);
  if (handle == kNoFile) return false;
  file->handle = handle;
  file->size = OsFileLength(handle);
  file->haveTimes = OsGetFileTimes(ansi.c_str(), &file->creation, &file->access, &file->write) != 0;
  file->haveCreation = file->haveTimes;
  file->attributes = OsGetAttributes(ansi.c_str());
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

bool IsInstalledDirectory(const std::string& path, std::string*) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string InstalledChild(const std::string& directory, const std::string& name) { return directory + "/" + name; }

namespace {
uint64_t FileTimeOf(const struct timespec& t) {
  return (static_cast<uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100;
}
}  // namespace

bool OpenInstalled(const std::string& path, InstalledFile* file, std::string*) {
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
