// Whether a name still leads to an open file, and the deletion of an empty file nobody uses.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

int SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  if (!GetFileInformationByHandle(a, &first) || !GetFileInformationByHandle(b, &second)) return 0;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// A name of its own beside the file, for the moment between its rename and its deletion.
int DeletionName(char* name, size_t size, const char* path) {
  size_t directory = 0;  // up to the last backslash, found by whole characters of the ANSI code page
  for (size_t k = 0; path[k] != '\0'; ++k) {
    if (path[k] == '\\') {
      directory = k + 1;
    } else if (OsIsLeadByte(CodePageAnsi, static_cast<unsigned char>(path[k])) && path[k + 1] != '\0') {
      ++k;
    }
  }
  char tail[40];
  std::snprintf(tail, sizeof tail, "~zd%08lx%08lx.tmp", static_cast<unsigned long>(GetCurrentProcessId()),
                static_cast<unsigned long>(GetTickCount()));
  if (directory + std::strlen(tail) >= size) return 0;
  std::memcpy(name, path, directory);
  std::strcpy(name + directory, tail);
  return 1;
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
  int deleted = 0;
  // Share modes do not reach the handles of another Wine server or of a redirector that ignores
  // them; byte-range locks do, so the locks of runs still in the file are tried as well. They stay
  // held until the name is gone: the file is renamed first (a deletion alone keeps the name until
  // the last handle, also another machine's, is closed), so that a run that locks it after them
  // finds that its name no longer leads to it.
  char gone[MAX_PATH];
  if (OsTryLockFileRange(reinterpret_cast<FileHandle>(file), lockOffset, lockLength) == LockTaken) {
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart == 0 && DeletionName(gone, sizeof gone, path)) {
      OsEnterDeletionWindow(path);
      if (MoveFileA(path, gone)) {
        deleted = 1;
        DeleteFileA(gone);  // done when this handle closes
      }
    }
    OsUnlockFileRange(reinterpret_cast<FileHandle>(file), lockOffset, lockLength);
  }
  CloseHandle(file);
  return deleted;
}
