// Whether a name still leads to an open file, and the deletion of an empty file nobody uses.
#include <windows.h>

#include "platform/platform.h"

namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

int SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  if (!GetFileInformationByHandle(a, &first) || !GetFileInformationByHandle(b, &second)) return 0;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace

int OsPathNamesOpenFile(const char* path, FileHandle file) {
  // Attribute access takes no part in sharing; a file whose deletion is pending cannot be opened.
  HANDLE named = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) return 0;
  const int same = SameFile(named, AsHandle(file));
  CloseHandle(named);
  return same;
}

int OsDeleteUnusedEmptyFile(const char* path, uint64_t lockOffset, uint64_t lockLength) {
  // Shared for deletion only: the open fails while any other handle reads or writes the file, and
  // while this one is open no other can be opened for that.
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER size;
  int deleted = 0;
  // Share modes do not reach the handles of another Wine server or of a redirector that ignores
  // them; byte-range locks do, so the locks of runs still in the file are tried as well.
  if (GetFileSizeEx(file, &size) && size.QuadPart == 0 &&
      OsTryLockFileRange(reinterpret_cast<FileHandle>(file), lockOffset, lockLength) == LockTaken) {
    OsUnlockFileRange(reinterpret_cast<FileHandle>(file), lockOffset, lockLength);
    deleted = DeleteFileA(path) ? 1 : 0;  // done when this handle closes
  }
  CloseHandle(file);
  return deleted;
}
