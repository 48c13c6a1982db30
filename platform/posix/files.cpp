// Files, directories, attributes, times and free space on a POSIX host, with Windows behaviour:
// a read-only file can be neither opened for writing nor deleted (also for root), a move never
// replaces an existing target, and a directory that holds the current directory can be neither
// moved nor removed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/platform_internal.h"
#include "platform/posix/posix_internal.h"

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;  // 1970-01-01 in 100 ns since 1601
// Bits the table keeps; directory comes from the file system, read-only of files from the mode.
constexpr uint32_t kKeptBits = 0xFFFFFFFFu & ~(kAttrDirectory | kAttrNormal);

// Host path of every open descriptor, for the creation time that the table keeps per path.
constexpr int kTrackedDescriptors = 1024;
char* g_descriptorPaths[kTrackedDescriptors];
char g_descriptorPathStore[kTrackedDescriptors][kHostPathSize];
std::mutex g_descriptorLock;

uint32_t AttributesOfHost(const char* host, const struct stat& info) {
  AttributeRecord record;
  LookUpAttributes(host, &record);
  if (S_ISDIR(info.st_mode)) return kAttrDirectory | (record.hasBits ? record.bits : 0);
  uint32_t bits = record.hasBits ? record.bits & ~kAttrReadOnly : kAttrArchive;
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) bits |= kAttrReadOnly;
  return bits == 0 ? kAttrNormal : bits;
}

uint32_t AttributesOfPath(const char* host) {
  struct stat info;
  if (stat(host, &info) != 0) return kInvalidAttributes;
  return AttributesOfHost(host, info);
}

uint64_t ToFileTime(const struct timespec& time) {
  return kUnixEpochAsFileTime + static_cast<uint64_t>(static_cast<int64_t>(time.tv_sec) * 10000000 +
                                                      time.tv_nsec / 100);
}

struct timespec FromFileTime(uint64_t value) {
  struct timespec time;
  if (value == 0) {
    time.tv_sec = 0;
    time.tv_nsec = UTIME_OMIT;
    return time;
  }
  int64_t ticks = static_cast<int64_t>(value - kUnixEpochAsFileTime);
  int64_t seconds = ticks / 10000000;
  int64_t rest = ticks % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  time.tv_sec = static_cast<time_t>(seconds);
  time.tv_nsec = static_cast<long>(rest * 100);
  return time;
}

void TrackDescriptor(int fd, const char* host) {
  if (fd < 0 || fd >= kTrackedDescriptors) return;
  std::lock_guard<std::mutex> hold(g_descriptorLock);
  size_t length = strlen(host);
  memcpy(g_descriptorPathStore[fd], host, length + 1);
  g_descriptorPaths[fd] = g_descriptorPathStore[fd];
}

int DescriptorPath(int fd, char* host) {
  if (fd < 0 || fd >= kTrackedDescriptors) return 0;
  std::lock_guard<std::mutex> hold(g_descriptorLock);
  if (g_descriptorPaths[fd] == nullptr) return 0;
  memcpy(host, g_descriptorPaths[fd], strlen(g_descriptorPaths[fd]) + 1);
  return 1;
}

void ForgetDescriptor(int fd) {
  if (fd < 0 || fd >= kTrackedDescriptors) return;
  std::lock_guard<std::mutex> hold(g_descriptorLock);
  g_descriptorPaths[fd] = nullptr;
}

// Windows pattern matching of one name: '*' any run, '?' any one character, no case; "*.*" is "*".
int MatchesPattern(const char* pattern, const char* name) {
  if (strcmp(pattern, "*.*") == 0) return 1;
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' ||
               (*pattern != '\0' && CompareNoCaseN(pattern, name, 1) == 0)) {
      ++pattern;
      ++name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return 0;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

struct Search {
  int used;
  DIR* dir;
  int isDriveRoot;
  int dotsGiven;  // 0, 1 ("." given), 2 (".." given too)
  char directory[kHostPathSize];
  char pattern[261];
};
constexpr int kSearchCount = 32;
Search g_searches[kSearchCount];
std::mutex g_searchLock;

int NextMatch(Search* search, OsFindData* data) {
  // Windows lists "." and ".." first in every directory but a drive or share root.
  while (!search->isDriveRoot && search->dotsGiven < 2) {
    const char* dots = search->dotsGiven == 0 ? "." : "..";
    ++search->dotsGiven;
    if (!MatchesPattern(search->pattern, dots)) continue;
    memcpy(data->name, dots, strlen(dots) + 1);
    data->attributes = kAttrDirectory;
    return 1;
  }
  while (struct dirent* entry = readdir(search->dir)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    size_t nameLength = strlen(entry->d_name);
    if (nameLength >= sizeof data->name) continue;  // no Windows name
    if (!MatchesPattern(search->pattern, entry->d_name)) continue;
    char host[kHostPathSize];
    size_t directoryLength = strlen(search->directory);
    if (directoryLength + 1 + nameLength >= sizeof host) continue;
    memcpy(host, search->directory, directoryLength);
    host[directoryLength] = '/';
    memcpy(host + directoryLength + 1, entry->d_name, nameLength + 1);
    uint32_t attributes = AttributesOfPath(host);
    if (attributes == kInvalidAttributes) continue;  // vanished, or a dangling link
    memcpy(data->name, entry->d_name, nameLength + 1);
    data->attributes = attributes;
    return 1;
  }
  return 0;
}

// Windows keeps the current directory open: it and the directories above it are in use.
int HoldsCurrentDirectory(const char* host) {
  char current[kHostPathSize];
  char currentHost[kHostPathSize];
  if (!OsGetCurrentDirectory(current, sizeof current) || !MapWindowsPath(current, currentHost, sizeof currentHost))
    return 0;
  size_t length = strlen(host);
  return strncmp(currentHost, host, length) == 0 && (currentHost[length] == '\0' || currentHost[length] == '/');
}

}  // namespace

FileHandle OsOpenFile(const char* path, FileOpenMode mode) {
  char host[kHostPathSize];
  if (!MapWindowsPath(path, host, sizeof host)) return kNoFile;
  int flags = O_RDWR;
  switch (mode) {
    case FileOpenRead: flags = O_RDONLY; break;
    case FileOpenReadWrite: break;
    case FileOpenReadWriteCreate: flags |= O_CREAT; break;
    case FileOpenReadWriteTruncate: flags |= O_CREAT | O_TRUNC; break;
    case FileOpenAppendCreate: flags = O_WRONLY | O_APPEND | O_CREAT; break;
    default: return kNoFile;
  }
  struct stat info;
  int existed = stat(host, &info) == 0;
  if (existed) {
    if (S_ISDIR(info.st_mode)) return kNoFile;
    uint32_t attributes = AttributesOfHost(host, info);
    if (mode != FileOpenRead && (attributes & kAttrReadOnly) != 0) {
      errno = EACCES;  // as Windows refuses it
      return kNoFile;
    }
  }
  int fd = open(host, flags | O_CLOEXEC, 0666);
  if (fd < 0) return kNoFile;
  if (!existed) ForgetAttributes(host);  // left over from a file removed behind our back
  TrackDescriptor(fd, host);
  return fd;
}

int32_t OsReadFile(FileHandle file, void* buffer, uint32_t count) {
  if (count > 0x7FFFFFFFu) count = 0x7FFFFFFFu;
  for (;;) {
    ssize_t done = read(static_cast<int>(file), buffer, count);
    if (done >= 0) return static_cast<int32_t>(done);
    if (errno != EINTR) return -1;
  }
}

int32_t OsWriteFile(FileHandle file, const void* buffer, uint32_t count) {
  if (count > 0x7FFFFFFFu) count = 0x7FFFFFFFu;
  // Windows writes everything or fails; a short POSIX write is continued.
  uint32_t written = 0;
  while (written < count) {
    ssize_t done = write(static_cast<int>(file), static_cast<const char*>(buffer) + written, count - written);
    if (done < 0) {
      if (errno == EINTR) continue;
      return written > 0 ? static_cast<int32_t>(written) : -1;
    }
    if (done == 0) break;
    written += static_cast<uint32_t>(done);
  }
  return static_cast<int32_t>(written);
}

int64_t OsSeekFile(FileHandle file, int64_t offset, FileSeekOrigin origin) {
  int whence = SEEK_SET;
  if (origin == SeekFromCurrent) whence = SEEK_CUR;
  else if (origin == SeekFromEnd) whence = SEEK_END;
  else if (origin != SeekFromStart) return -1;
  off_t position = lseek(static_cast<int>(file), static_cast<off_t>(offset), whence);
  return position < 0 ? -1 : static_cast<int64_t>(position);
}

int64_t OsFileLength(FileHandle file) {
  struct stat info;
  if (fstat(static_cast<int>(file), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

int OsFlushFile(FileHandle file) { return fsync(static_cast<int>(file)) == 0 ? 1 : 0; }

void OsCloseFile(FileHandle file) {
  if (file == kNoFile) return;
  ForgetDescriptor(static_cast<int>(file));
  close(static_cast<int>(file));
}

uint32_t OsGetAttributes(const char* path) {
  char host[kHostPathSize];
  if (!MapWindowsPath(path, host, sizeof host)) return kInvalidAttributes;
  return AttributesOfPath(host);
}

int OsSetAttributes(const char* path, uint32_t attributes) {
  char host[kHostPathSize];
  if (!MapWindowsPath(path, host, sizeof host)) return 0;
  struct stat info;
  if (stat(host, &info) != 0) return 0;
  uint32_t kept = attributes & kKeptBits;
  if (!S_ISDIR(info.st_mode)) {
    // Read-only of a file lives in its mode, so that other programs see it too.
    mode_t mode = info.st_mode & 07777;
    if (attributes & kAttrReadOnly) mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else mode |= S_IWUSR;
    if (chmod(host, mode) != 0) return 0;
    kept &= ~kAttrReadOnly;
  }
  StoreAttributeBits(host, kept);
  return 1;
}

uint32_t OsGetOpenFileAttributes(FileHandle file) {
  char host[kHostPathSize];
  struct stat info;
  if (!DescriptorPath(static_cast<int>(file), host) || fstat(static_cast<int>(file), &info) != 0) {
    return kInvalidAttributes;
  }
  return AttributesOfHost(host, info);
}

int OsPathExists(const char* path) { return OsGetAttributes(path) != kInvalidAttributes ? 1 : 0; }

int OsDirectoryExists(const char* path) {
  uint32_t attributes = OsGetAttributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0 ? 1 : 0;
}

int OsCreateDirectory(const char* path) {
  char host[kHostPathSize];
  if (!MapWindowsPath(path, host, sizeof host)) return 0;
  if (mkdir(host, 0777) != 0) return 0;
  ForgetAttributes(host);
  return 1;
}

int OsRemoveDirectory(const char* path) {
  char host[kHostPathSize];
  if (!MapWindowsPath(path, host, sizeof host) || HoldsCurrentDirectory(host)) return 0;
  if (rmdir(host) != 0) return 0;
  ForgetAttributes(host);
  return 1;
}

int OsDeleteFile(const char* path) {
  char host[kHostPathSize];
  if (!MapWindowsPath(path, host, sizeof host)) return 0;
  struct stat info;
  if (lstat(host, &info) != 0 || S_ISDIR(info.st_mode)) return 0;
  if (S_ISREG(info.st_mode) && (AttributesOfHost(host, info) & kAttrReadOnly) != 0) return 0;
  if (unlink(host) != 0) return 0;
  ForgetAttributes(host);
  return 1;
}

int OsMoveFile(const char* from, const char* to) {
  char hostFrom[kHostPathSize];
  char hostTo[kHostPathSize];
  if (!MapWindowsPath(from, hostFrom, sizeof hostFrom) || !MapWindowsPath(to, hostTo, sizeof hostTo)) return 0;
  struct stat info;
  if (lstat(hostFrom, &info) != 0) return 0;
  if (S_ISDIR(info.st_mode) && HoldsCurrentDirectory(hostFrom)) return 0;
  // Same object under another case of its name: a rename in place, as on Windows.
  if (lstat(hostTo, &info) == 0 && strcmp(hostFrom, hostTo) != 0) {
    struct stat source;
    lstat(hostFrom, &source);
    if (source.st_ino != info.st_ino || source.st_dev != info.st_dev) return 0;
  }
  size_t fromLength = strlen(hostFrom);
  if (strncmp(hostTo, hostFrom, fromLength) == 0 && hostTo[fromLength] == '/') return 0;  // into itself
  if (rename(hostFrom, hostTo) != 0) return 0;
  MoveAttributes(hostFrom, hostTo);
  return 1;
}

FindHandle OsFindFirst(const char* pattern, OsFindData* data) {
  char normal[kHostPathSize];
  if (!NormaliseWindowsPath(pattern, normal, sizeof normal)) return nullptr;
  char* last = strrchr(normal, '\\');
  if (last == nullptr || last[1] == '\0') return nullptr;
  size_t patternLength = strlen(last + 1);
  char name[261];
  if (patternLength >= sizeof name) return nullptr;
  memcpy(name, last + 1, patternLength + 1);
  // The folder part: X:\ stays X:\, \\srv\share stays as it is.
  int isRoot;
  if (normal[0] == '\\') {
    int separators = 0;
    for (char* p = normal + 2; p < last; ++p) separators += *p == '\\';
    isRoot = separators == 1;
    *last = '\0';
  } else {
    isRoot = last == normal + 2;
    last[isRoot ? 1 : 0] = '\0';
  }
  char host[kHostPathSize];
  if (!MapWindowsPath(normal, host, sizeof host)) return nullptr;
  std::lock_guard<std::mutex> hold(g_searchLock);
  Search* search = nullptr;
  for (Search& candidate : g_searches)
    if (!candidate.used) {
      search = &candidate;
      break;
    }
  if (search == nullptr) return nullptr;
  search->dir = opendir(host);
  if (search->dir == nullptr) return nullptr;
  search->used = 1;
  search->isDriveRoot = isRoot;
  search->dotsGiven = 0;
  memcpy(search->directory, host, strlen(host) + 1);
  memcpy(search->pattern, name, patternLength + 1);
  if (!NextMatch(search, data)) {
    closedir(search->dir);
    search->used = 0;
    return nullptr;
  }
  return search;
}

int OsFindNext(FindHandle find, OsFindData* data) {
  if (find == nullptr) return 0;
  std::lock_guard<std::mutex> hold(g_searchLock);
  return NextMatch(static_cast<Search*>(find), data);
}

void OsFindClose(FindHandle find) {
  if (find == nullptr) return;
  std::lock_guard<std::mutex> hold(g_searchLock);
  Search* search = static_cast<Search*>(find);
  if (!search->used) return;
  closedir(search->dir);
  search->used = 0;
}

int OsUnixTimeToFileTime(int64_t unixTime, uint64_t* fileTime) {
  if (unixTime < 0) return 0;
  time_t value = static_cast<time_t>(unixTime);
  struct tm local;
  if (localtime_r(&value, &local) == nullptr) return 0;
  // The calendar time read as if it were UTC is the local file time ...
  int64_t localSeconds = static_cast<int64_t>(timegm(&local));
  // ... which goes to UTC with the offset in force now, not the one of that date.
  time_t now = time(nullptr);
  struct tm nowLocal;
  if (localtime_r(&now, &nowLocal) == nullptr) return 0;
  int64_t bias = static_cast<int64_t>(timegm(&nowLocal)) - static_cast<int64_t>(now);
  int64_t utcSeconds = localSeconds - bias;
  if (utcSeconds < -11644473600ll) return 0;
  *fileTime = static_cast<uint64_t>((utcSeconds + 11644473600ll) * 10000000);
  return 1;
}

int OsSetFileTimes(FileHandle file, uint64_t creation, uint64_t access, uint64_t write) {
  struct timespec times[2] = {FromFileTime(access), FromFileTime(write)};
  if (futimens(static_cast<int>(file), times) != 0) return 0;
  char host[kHostPathSize];
  if (creation != 0 && DescriptorPath(static_cast<int>(file), host)) StoreCreationTime(host, creation);
  return 1;
}

int OsGetFileTimes(const char* path, uint64_t* creation, uint64_t* access, uint64_t* write) {
  char host[kHostPathSize];
  if (!MapWindowsPath(path, host, sizeof host)) return 0;
  struct stat info;
  if (stat(host, &info) != 0) return 0;
  AttributeRecord record;
  LookUpAttributes(host, &record);
  if (creation != nullptr) *creation = record.hasCreation ? record.creation : ToFileTime(info.st_mtim);
  if (access != nullptr) *access = ToFileTime(info.st_atim);
  if (write != nullptr) *write = ToFileTime(info.st_mtim);
  return 1;
}

int OsSystemGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters) {
  char host[kHostPathSize];
  if (!MapWindowsPath(root, host, sizeof host)) return 0;
  struct statvfs info;
  if (statvfs(host, &info) != 0) return 0;
  uint64_t clusterSize = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
  if (clusterSize < 512) clusterSize = 512;
  uint64_t clusters = static_cast<uint64_t>(info.f_bavail) * (info.f_frsize != 0 ? info.f_frsize : info.f_bsize) /
                      clusterSize;
  if (clusters > 0xFFFFFFFFu) clusters = 0xFFFFFFFFu;
  if (sectorsPerCluster != nullptr) *sectorsPerCluster = static_cast<uint32_t>(clusterSize / 512);
  if (bytesPerSector != nullptr) *bytesPerSector = 512;
  if (freeClusters != nullptr) *freeClusters = static_cast<uint32_t>(clusters);
  return 1;
}
