// Files, directories, attributes and times over the Win32 "A" functions.
#include <windows.h>

#include <cstring>
#include <ctime>

#include "platform/platform_internal.h"

namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

void SplitFileTime(uint64_t value, FILETIME* out) {
  out->dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
  out->dwHighDateTime = static_cast<DWORD>(value >> 32);
}

uint64_t JoinFileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void CopyFindData(const WIN32_FIND_DATAA& found, OsFindData* data) {
  size_t length = strnlen(found.cFileName, sizeof(data->name) - 1);
  memcpy(data->name, found.cFileName, length);
  data->name[length] = '\0';
  data->attributes = found.dwFileAttributes;
}

}  // namespace

FileHandle OsOpenFile(const char* path, FileOpenMode mode) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case FileOpenRead: access = GENERIC_READ; break;
    // Without FILE_WRITE_DATA every write goes to the end of the file; reading is granted only so
    // that byte-range locks can be taken on the handle.
    case FileOpenAppendCreate:
      access = FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
      disposition = OPEN_ALWAYS;
      break;
    case FileOpenReadWrite: break;
    case FileOpenReadWriteCreate: disposition = OPEN_ALWAYS; break;
    // Opened, then cut: CREATE_ALWAYS would refuse an existing hidden or system file.
    case FileOpenReadWriteTruncate: disposition = OPEN_ALWAYS; break;
    default: return kNoFile;
  }
  HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kNoFile;
  // A file that the open has just made is empty already (the system says so by not reporting that
  // it existed): cutting it would be one more call for every new file.
  const int existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (mode == FileOpenReadWriteTruncate && existed && !SetEndOfFile(handle)) {
    CloseHandle(handle);
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(handle);
}

int32_t OsReadFile(FileHandle file, void* buffer, uint32_t count) {
  if (count > 0x7FFFFFFFu) count = 0x7FFFFFFFu;
  DWORD done = 0;
  if (!ReadFile(AsHandle(file), buffer, count, &done, nullptr)) return -1;
  return static_cast<int32_t>(done);
}

int32_t OsWriteFile(FileHandle file, const void* buffer, uint32_t count) {
  if (count > 0x7FFFFFFFu) count = 0x7FFFFFFFu;
  DWORD done = 0;
  if (!WriteFile(AsHandle(file), buffer, count, &done, nullptr)) return -1;
  return static_cast<int32_t>(done);
}

int64_t OsSeekFile(FileHandle file, int64_t offset, FileSeekOrigin origin) {
  DWORD method = FILE_BEGIN;
  if (origin == SeekFromCurrent) method = FILE_CURRENT;
  else if (origin == SeekFromEnd) method = FILE_END;
  else if (origin != SeekFromStart) return -1;
  LARGE_INTEGER distance;
  LARGE_INTEGER position;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(AsHandle(file), distance, &position, method)) return -1;
  return position.QuadPart;
}

int64_t OsFileLength(FileHandle file) {
  DWORD high = 0;
  DWORD low = GetFileSize(AsHandle(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

int OsFlushFile(FileHandle file) { return FlushFileBuffers(AsHandle(file)) ? 1 : 0; }

void OsCloseFile(FileHandle file) {
  if (file != kNoFile) CloseHandle(AsHandle(file));
}

uint32_t OsGetAttributes(const char* path) { return GetFileAttributesA(path); }

int OsSetAttributes(const char* path, uint32_t attributes) { return SetFileAttributesA(path, attributes) ? 1 : 0; }

namespace {

// The basic information of an open file, where the system has the call for it (from Vista on):
// unlike the full information it needs no name of the file, which is a round trip to the server under
// Wine. Looked up once at start-up.
struct BasicInfo {
  LARGE_INTEGER creation, access, write, change;
  DWORD attributes;
};
typedef BOOL(WINAPI* QueryByHandle)(HANDLE, int, LPVOID, DWORD);
constexpr int kFileBasicInfo = 0;
const QueryByHandle g_queryByHandle = reinterpret_cast<QueryByHandle>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));

}  // namespace

uint32_t OsGetOpenFileAttributes(FileHandle file) {
  if (g_queryByHandle != nullptr) {
    BasicInfo basic;
    return g_queryByHandle(AsHandle(file), kFileBasicInfo, &basic, sizeof basic) ? basic.attributes
                                                                                 : kInvalidAttributes;
  }
  BY_HANDLE_FILE_INFORMATION information;
  return GetFileInformationByHandle(AsHandle(file), &information) ? information.dwFileAttributes
                                                                  : kInvalidAttributes;
}

int OsPathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0; }

int OsDirectoryExists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
}

int OsCreateDirectory(const char* path) { return CreateDirectoryA(path, nullptr) ? 1 : 0; }
int OsRemoveDirectory(const char* path) { return RemoveDirectoryA(path) ? 1 : 0; }
int OsDeleteFile(const char* path) { return DeleteFileA(path) ? 1 : 0; }
int OsMoveFile(const char* from, const char* to) { return MoveFileA(from, to) ? 1 : 0; }
int OsSetCurrentDirectory(const char* path) { return SetCurrentDirectoryA(path) ? 1 : 0; }

int OsGetCurrentDirectory(char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  DWORD length = GetCurrentDirectoryA(size, buffer);
  if (length == 0 || length >= size) {  // failed, or the buffer is too small (then nothing was copied)
    buffer[0] = '\0';
    return 0;
  }
  return 1;
}

FindHandle OsFindFirst(const char* pattern, OsFindData* data) {
  WIN32_FIND_DATAA found;
  HANDLE handle = FindFirstFileA(pattern, &found);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  CopyFindData(found, data);
  return handle;
}

int OsFindNext(FindHandle find, OsFindData* data) {
  WIN32_FIND_DATAA found;
  if (find == nullptr || !FindNextFileA(find, &found)) return 0;
  CopyFindData(found, data);
  return 1;
}

void OsFindClose(FindHandle find) {
  if (find != nullptr) FindClose(find);
}

int OsUnixTimeToFileTime(int64_t unixTime, uint64_t* fileTime) {
  if (unixTime < 0) return 0;
  time_t value = static_cast<time_t>(unixTime);
  if (static_cast<int64_t>(value) != unixTime) return 0;
  struct tm* local = localtime(&value);
  if (local == nullptr) return 0;
  SYSTEMTIME system;
  system.wYear = static_cast<WORD>(local->tm_year + 1900);
  system.wMonth = static_cast<WORD>(local->tm_mon + 1);
  system.wDayOfWeek = static_cast<WORD>(local->tm_wday);
  system.wDay = static_cast<WORD>(local->tm_mday);
  system.wHour = static_cast<WORD>(local->tm_hour);
  system.wMinute = static_cast<WORD>(local->tm_min);
  system.wSecond = static_cast<WORD>(local->tm_sec);
  system.wMilliseconds = 0;
  FILETIME localTime;
  FILETIME utcTime;
  if (!SystemTimeToFileTime(&system, &localTime)) return 0;
  if (!LocalFileTimeToFileTime(&localTime, &utcTime)) return 0;
  *fileTime = JoinFileTime(utcTime);
  return 1;
}

int OsSetFileTimes(FileHandle file, uint64_t creation, uint64_t access, uint64_t write) {
  FILETIME times[3];
  SplitFileTime(creation, &times[0]);
  SplitFileTime(access, &times[1]);
  SplitFileTime(write, &times[2]);
  // A time of 0 leaves that time as it is.
  return SetFileTime(AsHandle(file), creation != 0 ? &times[0] : nullptr, access != 0 ? &times[1] : nullptr,
                     write != 0 ? &times[2] : nullptr)
             ? 1
             : 0;
}

int OsGetFileTimes(const char* path, uint64_t* creation, uint64_t* access, uint64_t* write) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  if (creation != nullptr) *creation = JoinFileTime(data.ftCreationTime);
  if (access != nullptr) *access = JoinFileTime(data.ftLastAccessTime);
  if (write != nullptr) *write = JoinFileTime(data.ftLastWriteTime);
  return 1;
}

int OsSystemGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters) {
  DWORD sectors = 0;
  DWORD bytes = 0;
  DWORD freeCount = 0;
  DWORD total = 0;
  if (!GetDiskFreeSpaceA(root, &sectors, &bytes, &freeCount, &total)) return 0;
  if (sectorsPerCluster != nullptr) *sectorsPerCluster = sectors;
  if (bytesPerSector != nullptr) *bytesPerSector = bytes;
  if (freeClusters != nullptr) *freeClusters = freeCount;
  return 1;
}
