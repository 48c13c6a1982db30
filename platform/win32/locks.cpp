// Byte-range locks over LockFileEx. A network redirector passes them to the server, which holds them
// for all its clients and drops them when the holding process ends or its session is lost.
#include <windows.h>

#include "platform/platform.h"

namespace {

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED place = {};
  place.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  place.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return place;
}

}  // namespace

LockResult OsTryLockFileRange(FileHandle file, uint64_t offset, uint64_t length) {
  OVERLAPPED place = At(offset);
  if (LockFileEx(reinterpret_cast<HANDLE>(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                 static_cast<DWORD>(length & 0xFFFFFFFFu), static_cast<DWORD>(length >> 32), &place)) {
    return LockTaken;
  }
  return GetLastError() == ERROR_LOCK_VIOLATION ? LockBusy : LockUnavailable;
}

void OsUnlockFileRange(FileHandle file, uint64_t offset, uint64_t length) {
  OVERLAPPED place = At(offset);
  UnlockFileEx(reinterpret_cast<HANDLE>(file), 0, static_cast<DWORD>(length & 0xFFFFFFFFu),
               static_cast<DWORD>(length >> 32), &place);
}

LockResult OsTryLockFileByte(FileHandle file, uint64_t offset) { return OsTryLockFileRange(file, offset, 1); }
void OsUnlockFileByte(FileHandle file, uint64_t offset) { OsUnlockFileRange(file, offset, 1); }
