// Whether a name still leads to an open file, and the deletion of an empty file nobody uses, on a
// POSIX host. Open descriptors of other processes cannot be seen here: only their locks count.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/posix/posix_internal.h"

int OsPathNamesOpenFile(const char* path, FileHandle file) {
  char host[kHostPathSize];
  struct stat named, open;
  if (!MapWindowsPath(path, host, sizeof host) || stat(host, &named) != 0 ||
      fstat(static_cast<int>(file), &open) != 0) {
    return 0;
  }
  return named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

int OsDeleteUnusedEmptyFile(const char* path, uint64_t lockOffset, uint64_t lockLength) {
  char host[kHostPathSize];
  if (!MapWindowsPath(path, host, sizeof host)) return 0;
  if ((OsGetAttributes(path) & kAttrReadOnly) != 0) return 0;  // also kInvalidAttributes: nothing there
  const int fd = open(host, O_RDWR | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat info;
  int deleted = 0;
  // The locks stay held until the name is gone: a run that locks the file after them finds that its
  // name no longer leads to it, and goes to the file the name leads to then.
  if (OsTryLockFileRange(fd, lockOffset, lockLength) == LockTaken) {
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0 && OsPathNamesOpenFile(path, fd)) {
      OsEnterDeletionWindow(path);
      if (unlink(host) == 0) {
        ForgetAttributes(host);
        deleted = 1;
      }
    }
    OsUnlockFileRange(fd, lockOffset, lockLength);
  }
  close(fd);
  return deleted;
}
