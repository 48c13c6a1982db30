// The extraction's output tree (see output_tree.h). Natively every level is opened with openat and
// O_NOFOLLOW from the level above, so a link planted anywhere on the way is met, not followed.
// On Windows every level is checked for a reparse point before it is used.
#include "tools/zpack/output_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <sys/utime.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace zpack {

std::string JoinLevels(const Levels& levels) {
  std::string text;
  for (const std::string& level : levels) text += (text.empty() ? "" : "/") + level;
  return text;
}

namespace {
const char kLinkMet[] = "a symbolic link or reparse point is in its way";
}  // namespace

bool OutputTree::Open(const std::string& target, std::string* why) {
  std::error_code ec;
  fs::path path = fs::u8path(target);
  fs::create_directories(path, ec);
  if (ec) {
    *why = ec.message();
    return false;
  }
#ifdef _WIN32
  if (!fs::is_directory(path, ec)) {
    *why = "not a directory";
    return false;
  }
  rootPath_ = target;
  root_ = 0;
  return true;
#else
  root_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root_ < 0) {
    *why = std::strerror(errno);
    return false;
  }
  return true;
#endif
}

OutputTree::~OutputTree() {
#ifndef _WIN32
  if (root_ >= 0) ::close(root_);
#endif
}

#ifdef _WIN32

namespace {
fs::path Below(const std::string& root, const Levels& levels, size_t count) {
  fs::path path = fs::u8path(root);
  for (size_t i = 0; i < count; ++i) path /= fs::u8path(levels[i]);
  return path;
}

DWORD AttributesOf(const fs::path& path) { return GetFileAttributesW(path.c_str()); }

std::string SystemReason(DWORD code) {
  char text[256];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.')) --n;
  return n > 0 ? std::string(text, n) : "system error " + std::to_string(code);
}
}  // namespace

int OutputTree::OpenParent(const Levels& levels, bool create, std::string* why, bool* linkMet) {
  *linkMet = false;
  for (size_t i = 1; i < levels.size(); ++i) {
    fs::path path = Below(rootPath_, levels, i);
    DWORD attributes = AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (!create) {
        *why = "No such file or directory";
        return -1;
      }
      if (!CreateDirectoryW(path.c_str(), nullptr)) {
        *why = SystemReason(GetLastError());
        return -1;
      }
      continue;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      *linkMet = true;
      *why = kLinkMet;
      return -1;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      *why = "a file is in the way of its directory";
      return -1;
    }
  }
  return 0;
}

Existing OutputTree::Probe(const Levels& levels) {
  std::string why;
  bool linkMet = false;
  if (OpenParent(levels, false, &why, &linkMet) < 0) return linkMet ? Existing::Link : Existing::Absent;
  DWORD attributes = AttributesOf(Below(rootPath_, levels, levels.size()));
  if (attributes == INVALID_FILE_ATTRIBUTES) return Existing::Absent;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Existing::Link;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Existing::Directory : Existing::File;
}

bool OutputTree::MakeDirectory(const Levels& levels, std::string* why) {
  Levels withLeaf = levels;
  withLeaf.push_back("");  // OpenParent makes every level of levels
  bool linkMet = false;
  return OpenParent(withLeaf, true, why, &linkMet) >= 0;
}

int OutputTree::NewFile(const Levels& levels, bool overwrite, std::string* why) {
  bool linkMet = false;
  if (OpenParent(levels, true, why, &linkMet) < 0) return -1;
  fs::path path = Below(rootPath_, levels, levels.size());
  DWORD attributes = AttributesOf(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      *why = kLinkMet;
      return -1;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      *why = "a directory is in its place";
      return -1;
    }
    if (!overwrite) {
      *why = "File exists";
      return -1;
    }
    if (!DeleteFileW(path.c_str())) {
      *why = SystemReason(GetLastError());
      return -1;
    }
  }
  int file = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (file < 0) *why = std::strerror(errno);
  return file;
}

bool OutputTree::Write(int file, const char* data, uint32_t size, std::string* why) {
  while (size > 0) {
    int written = _write(file, data, size);
    if (written <= 0) {
      *why = written < 0 ? std::strerror(errno) : "nothing written";
      return false;
    }
    data += written;
    size -= static_cast<uint32_t>(written);
  }
  return true;
}

bool OutputTree::Finish(int file, const EntryTimes& times, std::string* why) {
  struct __utimbuf64 t;
  t.actime = times.access;
  t.modtime = times.write;
  bool ok = _futime64(file, &t) == 0;
  if (!ok) *why = std::strerror(errno);
  if (_close(file) != 0 && ok) {
    *why = std::strerror(errno);
    ok = false;
  }
  return ok;
}

void OutputTree::Discard(int file, const Levels& levels) {
  _close(file);
  DeleteFileW(Below(rootPath_, levels, levels.size()).c_str());
}

bool OutputTree::SetDirectoryTimes(const Levels& levels, const EntryTimes& times) {
  if (Probe(levels) != Existing::Directory) return false;
  struct __utimbuf64 t;
  t.actime = times.access;
  t.modtime = times.write;
  return _wutime64(Below(rootPath_, levels, levels.size()).c_str(), &t) == 0;
}

#else

int OutputTree::OpenParent(const Levels& levels, bool create, std::string* why, bool* linkMet) {
  *linkMet = false;
  int current = ::dup(root_);
  if (current < 0) {
    *why = std::strerror(errno);
    return -1;
  }
  for (size_t i = 0; i + 1 < levels.size(); ++i) {
    const char* name = levels[i].c_str();
    int next = ::openat(current, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT && create) {
      if (::mkdirat(current, name, 0777) != 0 && errno != EEXIST) {
        *why = std::strerror(errno);
        ::close(current);
        return -1;
      }
      next = ::openat(current, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (next < 0) {
      const int error = errno;
      struct stat st;
      if (::fstatat(current, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        *linkMet = true;
        *why = kLinkMet;
      } else if (error == ENOTDIR) {
        *why = "a file is in the way of its directory";
      } else {
        *why = std::strerror(error);
      }
      ::close(current);
      return -1;
    }
    ::close(current);
    current = next;
  }
  return current;
}

Existing OutputTree::Probe(const Levels& levels) {
  std::string why;
  bool linkMet = false;
  int parent = OpenParent(levels, false, &why, &linkMet);
  if (parent < 0) return linkMet ? Existing::Link : Existing::Absent;
  struct stat st;
  Existing result = Existing::Absent;
  if (::fstatat(parent, levels.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    result = S_ISLNK(st.st_mode)   ? Existing::Link
             : S_ISDIR(st.st_mode) ? Existing::Directory
             : S_ISREG(st.st_mode) ? Existing::File
                                   : Existing::Other;
  }
  ::close(parent);
  return result;
}

bool OutputTree::MakeDirectory(const Levels& levels, std::string* why) {
  Levels withLeaf = levels;
  withLeaf.push_back("");  // OpenParent makes and opens every level of levels
  bool linkMet = false;
  int directory = OpenParent(withLeaf, true, why, &linkMet);
  if (directory < 0) return false;
  ::close(directory);
  return true;
}

int OutputTree::NewFile(const Levels& levels, bool overwrite, std::string* why) {
  bool linkMet = false;
  int parent = OpenParent(levels, true, why, &linkMet);
  if (parent < 0) return -1;
  const char* name = levels.back().c_str();
  struct stat st;
  if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    const char* refusal = S_ISLNK(st.st_mode)   ? kLinkMet
                          : S_ISDIR(st.st_mode) ? "a directory is in its place"
                          : !S_ISREG(st.st_mode) ? "something other than a file is in its place"
                          : !overwrite           ? "File exists"
                                                 : nullptr;
    // Replaced by a new file rather than written into: a hard link to it elsewhere keeps its data.
    if (refusal == nullptr && ::unlinkat(parent, name, 0) != 0) refusal = std::strerror(errno);
    if (refusal != nullptr) {
      *why = refusal;
      ::close(parent);
      return -1;
    }
  }
  int file = ::openat(parent, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (file < 0) *why = std::strerror(errno);
  ::close(parent);
  return file;
}

bool OutputTree::Write(int file, const char* data, uint32_t size, std::string* why) {
  while (size > 0) {
    ssize_t written = ::write(file, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      *why = written < 0 ? std::strerror(errno) : "nothing written";
      return false;
    }
    data += written;
    size -= static_cast<uint32_t>(written);
  }
  return true;
}

namespace {
bool SetTimes(int descriptor, const EntryTimes& times) {
  struct timespec t[2];
  t[0].tv_sec = times.access;
  t[0].tv_nsec = 0;
  t[1].tv_sec = times.write;
  t[1].tv_nsec = 0;
  return ::futimens(descriptor, t) == 0;
}
}  // namespace

bool OutputTree::Finish(int file, const EntryTimes& times, std::string* why) {
  bool ok = SetTimes(file, times);
  if (!ok) *why = std::strerror(errno);
  if (::close(file) != 0 && ok) {
    *why = std::strerror(errno);
    ok = false;
  }
  return ok;
}

void OutputTree::Discard(int file, const Levels& levels) {
  ::close(file);
  std::string why;
  bool linkMet = false;
  int parent = OpenParent(levels, false, &why, &linkMet);
  if (parent < 0) return;
  ::unlinkat(parent, levels.back().c_str(), 0);
  ::close(parent);
}

bool OutputTree::SetDirectoryTimes(const Levels& levels, const EntryTimes& times) {
  Levels withLeaf = levels;
  withLeaf.push_back("");
  std::string why;
  bool linkMet = false;
  int directory = OpenParent(withLeaf, false, &why, &linkMet);
  if (directory < 0) return false;
  bool ok = SetTimes(directory, times);
  ::close(directory);
  return ok;
}

#endif

}  // namespace zpack
