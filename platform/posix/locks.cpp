// Byte-range locks as open-file-description locks: owned by the open file, like a Windows handle's
// lock (a plain fcntl lock would belong to the process and vanish with any close of the same file),
// so two opens in one test process exclude each other as two processes do.
//
// Errors: EAGAIN and EACCES are another holder. Only these say that there are no locks at all:
// EINVAL (a kernel that does not know open-file-description locks, or a file that takes none),
// ENOTSUP/EOPNOTSUPP and ENOSYS (a file system without them). Everything else, ENOLCK from an NFS
// lock manager that did not answer among them, is a failure that may pass.
#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace {

uint32_t g_lastLockError;  // read by the thread of the job, the only one that takes these locks' results

int SetLock(FileHandle file, uint64_t offset, uint64_t length, short type) {
  if (type != F_UNLCK) {
    uint32_t injected;
    if (OsInjectedLockError(&injected)) return static_cast<int>(injected);
  }
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

LockResult Outcome(int error) {
  if (error == 0) return LockTaken;
  if (error == EAGAIN || error == EACCES) return LockBusy;
  g_lastLockError = static_cast<uint32_t>(error);
  if (error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS) return LockUnavailable;
  return LockFailed;
}

}  // namespace

LockResult OsTryLockFileRange(FileHandle file, uint64_t offset, uint64_t length) {
  return Outcome(SetLock(file, offset, length, F_WRLCK));
}

void OsUnlockFileRange(FileHandle file, uint64_t offset, uint64_t length) { SetLock(file, offset, length, F_UNLCK); }

LockResult OsTryLockFileByte(FileHandle file, uint64_t offset) { return OsTryLockFileRange(file, offset, 1); }
LockResult OsTryLockFileByteShared(FileHandle file, uint64_t offset) { return Outcome(SetLock(file, offset, 1, F_RDLCK)); }
void OsUnlockFileByte(FileHandle file, uint64_t offset) { OsUnlockFileRange(file, offset, 1); }
uint32_t OsLastLockError() { return g_lastLockError; }

uint32_t OsLastError() { return static_cast<uint32_t>(errno); }

void OsErrorText(uint32_t code, char* text, uint32_t size) {
  if (size == 0) return;
  char buffer[256];
  const char* message = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  std::strncpy(text, message, size - 1);
  text[size - 1] = '\0';
}
