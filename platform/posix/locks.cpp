// Byte-range locks as open-file-description locks: owned by the open file, like a Windows handle's
// lock (a plain fcntl lock would belong to the process and vanish with any close of the same file),
// so two opens in one test process exclude each other as two processes do.
#include <fcntl.h>

#include <cerrno>

#include "platform/platform.h"

namespace {

int SetLock(FileHandle file, uint64_t offset, uint64_t length, short type) {
  struct flock range = {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = static_cast<off_t>(length);
  for (;;) {
    if (fcntl(static_cast<int>(file), F_OFD_SETLK, &range) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

}  // namespace

LockResult OsTryLockFileRange(FileHandle file, uint64_t offset, uint64_t length) {
  const int error = SetLock(file, offset, length, F_WRLCK);
  if (error == 0) return LockTaken;
  return error == EAGAIN || error == EACCES ? LockBusy : LockUnavailable;
}

void OsUnlockFileRange(FileHandle file, uint64_t offset, uint64_t length) { SetLock(file, offset, length, F_UNLCK); }

LockResult OsTryLockFileByte(FileHandle file, uint64_t offset) { return OsTryLockFileRange(file, offset, 1); }
void OsUnlockFileByte(FileHandle file, uint64_t offset) { OsUnlockFileRange(file, offset, 1); }
