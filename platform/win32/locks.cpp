// Byte-range locks over LockFileEx. A network redirector passes them to the server, which holds them
// for all its clients and drops them when the holding process ends or its session is lost.
//
// Errors: ERROR_LOCK_VIOLATION is another holder. Only these say that there are no locks at all:
// ERROR_CALL_NOT_IMPLEMENTED (a system without LockFileEx), ERROR_NOT_SUPPORTED and
// ERROR_INVALID_FUNCTION (a file system or redirector without byte-range locks). Everything else,
// ERROR_NETNAME_DELETED from a network that dropped for a moment among them, is a failure that may pass.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace {

DWORD g_lastLockError;  // read by the thread of the job, the only one that takes these locks' results

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED place = {};
  place.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  place.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return place;
}

LockResult TryLock(FileHandle file, uint64_t offset, uint64_t length, DWORD flags) {
  uint32_t injected;
  DWORD error;
  if (OsInjectedLockError(&injected)) {
    error = injected;
  } else {
    OVERLAPPED place = At(offset);
    if (LockFileEx(reinterpret_cast<HANDLE>(file), flags | LOCKFILE_FAIL_IMMEDIATELY, 0,
                   static_cast<DWORD>(length & 0xFFFFFFFFu), static_cast<DWORD>(length >> 32), &place)) {
      return LockTaken;
    }
    error = GetLastError();
  }
  if (error == ERROR_LOCK_VIOLATION) return LockBusy;
  g_lastLockError = error;
  if (error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
    return LockUnavailable;
  }
  return LockFailed;
}

}  // namespace

LockResult OsTryLockFileRange(FileHandle file, uint64_t offset, uint64_t length) {
  return TryLock(file, offset, length, LOCKFILE_EXCLUSIVE_LOCK);
}

void OsUnlockFileRange(FileHandle file, uint64_t offset, uint64_t length) {
  OVERLAPPED place = At(offset);
  UnlockFileEx(reinterpret_cast<HANDLE>(file), 0, static_cast<DWORD>(length & 0xFFFFFFFFu),
               static_cast<DWORD>(length >> 32), &place);
}

LockResult OsTryLockFileByte(FileHandle file, uint64_t offset) { return OsTryLockFileRange(file, offset, 1); }
LockResult OsTryLockFileByteShared(FileHandle file, uint64_t offset) { return TryLock(file, offset, 1, 0); }
void OsUnlockFileByte(FileHandle file, uint64_t offset) { OsUnlockFileRange(file, offset, 1); }
uint32_t OsLastLockError() { return g_lastLockError; }

uint32_t OsLastError() { return GetLastError(); }

void OsErrorText(uint32_t code, char* text, uint32_t size) {
  if (size == 0) return;
  text[0] = '\0';
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      text, size, nullptr);
  if (length == 0) {
    std::snprintf(text, size, "system error %lu", static_cast<unsigned long>(code));
    return;
  }
  // The system ends its texts with a line break.
  for (char* p = text; *p != '\0'; ++p) {
    if (*p == '\r' || *p == '\n') *p = ' ';
  }
  size_t end = std::strlen(text);
  while (end > 0 && text[end - 1] == ' ') text[--end] = '\0';
}
