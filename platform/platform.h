#pragma once
// The platform seam: everything the engine and the discovery code ask of the operating system.
// The Win32 side (platform/win32/) calls the "A" functions of the Windows API; the POSIX side
// (platform/posix/) lets the same code run natively under sanitizers and fuzzers. Paths are always
// in Windows form (C:\dir\file, \\server\share\dir); the POSIX side maps them onto host folders
// (see platform/test_hooks.h).
#include <cstddef>
#include <cstdint>

typedef void* WindowHandle;
typedef void* ModuleHandle;
typedef void* ThreadHandle;
typedef uintptr_t MessageWParam;
typedef intptr_t MessageLParam;
typedef intptr_t MessageResult;
// Messages carry pointers (texts, answers) in wParam and lParam, also between 64-bit processes.
static_assert(sizeof(MessageWParam) == sizeof(void*) && sizeof(MessageLParam) == sizeof(void*) &&
                  sizeof(MessageResult) == sizeof(void*),
              "message parameters are pointer-sized");

// ---- files, descriptor style, binary, no sharing restriction ----
typedef intptr_t FileHandle;
constexpr FileHandle kNoFile = -1;

enum FileOpenMode {
  FileOpenRead,                 // existing file, read only
  FileOpenReadWrite,            // existing file, read and write
  FileOpenReadWriteCreate,      // read and write, created when missing, contents kept
  FileOpenReadWriteTruncate,    // read and write, created when missing, cut to 0 bytes
  // Append-only, created when missing: every write lands at the file's end at that moment, also
  // when other processes or machines append to the same file. Byte-range locks can be taken on it.
  FileOpenAppendCreate,
};
enum FileSeekOrigin { SeekFromStart = 0, SeekFromCurrent = 1, SeekFromEnd = 2 };

FileHandle OsOpenFile(const char* path, FileOpenMode mode);
int32_t OsReadFile(FileHandle file, void* buffer, uint32_t count);         // bytes read, -1 on error
int32_t OsWriteFile(FileHandle file, const void* buffer, uint32_t count);  // bytes written, -1 on error
int64_t OsSeekFile(FileHandle file, int64_t offset, FileSeekOrigin origin); // new position, -1 on error
int64_t OsFileLength(FileHandle file);                                      // -1 on error
// Writes what the system holds of the file to the disk (or the file server); 1 when done.
int OsFlushFile(FileHandle file);
void OsCloseFile(FileHandle file);
// The system's error code of the last call that failed on this thread (GetLastError, errno), and
// its text as the system gives it (ANSI, one line, at most size - 1 bytes).
uint32_t OsLastError();
void OsErrorText(uint32_t code, char* text, uint32_t size);

// ---- byte-range locks, for keeping runs of this program apart (also on other machines) ----
// An exclusive lock of one byte at `offset` of an open file, far beyond any data, so that readers
// and writers of the data are never blocked. Not waiting: LockBusy when another handle or process
// holds it. The system releases it when the file is closed or the process ends in any way.
// LockUnavailable only where the file system has no byte-range locks at all (platform/*/locks.cpp
// names the errors that mean that); every other error is LockFailed, and OsLastLockError() gives it.
enum LockResult { LockTaken = 1, LockBusy = 0, LockUnavailable = -1, LockFailed = -2 };
LockResult OsTryLockFileByte(FileHandle file, uint64_t offset);
void OsUnlockFileByte(FileHandle file, uint64_t offset);
// A shared lock of the byte: held by any number of handles at once, LockBusy while another holds it
// exclusively (and an exclusive lock is LockBusy while any shared one is held).
LockResult OsTryLockFileByteShared(FileHandle file, uint64_t offset);
// The system's error code of the last lock call of this thread that gave LockUnavailable or LockFailed.
uint32_t OsLastLockError();
// The same for `length` bytes from `offset`: LockBusy when another holds any byte of the range.
LockResult OsTryLockFileRange(FileHandle file, uint64_t offset, uint64_t length);
void OsUnlockFileRange(FileHandle file, uint64_t offset, uint64_t length);

// 1 when `path` names the open file itself: not when the file has lost its name (deleted, also
// while its deletion waits for the last handle) or another file has taken the name since.
int OsPathNamesOpenFile(const char* path, FileHandle file);
// Deletes an empty file that nobody uses: no other handle is open on it (as far as the system
// enforces sharing: on Windows for its own and the file server's clients) and nobody holds a lock
// in [lockOffset, lockOffset + lockLength). 1 when it was deleted; otherwise it stays as it is.
int OsDeleteUnusedEmptyFile(const char* path, uint64_t lockOffset, uint64_t lockLength);

// ---- attributes, directories, names ----
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrReparsePoint = 0x400;
constexpr uint32_t kAttrNotContentIndexed = 0x2000;

uint32_t OsGetAttributes(const char* path);  // kInvalidAttributes when the path does not exist
int OsSetAttributes(const char* path, uint32_t attributes);
uint32_t OsGetOpenFileAttributes(FileHandle file);  // of an open file; kInvalidAttributes on failure
int OsPathExists(const char* path);          // file or directory
int OsDirectoryExists(const char* path);
int OsCreateDirectory(const char* path);
int OsRemoveDirectory(const char* path);
int OsDeleteFile(const char* path);
int OsMoveFile(const char* from, const char* to);
int OsSetCurrentDirectory(const char* path);
int OsGetCurrentDirectory(char* buffer, uint32_t size);  // 1, or 0 (also when the buffer is too small)

// Directory enumeration (pattern such as C:\dir\*.*).
struct OsFindData {
  char name[261];
  uint32_t attributes;
};
typedef void* FindHandle;
FindHandle OsFindFirst(const char* pattern, OsFindData* data);  // nullptr when nothing matches
int OsFindNext(FindHandle find, OsFindData* data);
void OsFindClose(FindHandle find);

// ---- times: Windows file times, 100 ns units since 1601-01-01 UTC ----
// Unix time -> local calendar time -> system time -> file time -> from local to UTC with the current
// time-zone offset. 0 when a step fails (a negative time has no local calendar time).
int OsUnixTimeToFileTime(int64_t unixTime, uint64_t* fileTime);
int OsSetFileTimes(FileHandle file, uint64_t creation, uint64_t access, uint64_t write);  // 0 keeps that time
int OsGetFileTimes(const char* path, uint64_t* creation, uint64_t* access, uint64_t* write);

// ---- free space ----
int OsGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                       uint32_t* freeClusters);

// ---- names as the file system compares them ----
// The last component of a path, in UTF-16 code units, as the file system compares names: the long
// form of an existing path (a short name replaced by its long one), trailing dots and blanks dropped
// as Win32 drops them from a last component, and every character upper-cased by the system's case
// mapping, so that every spelling Windows takes for one directory gives the same units, on every
// machine whatever its code page. At most size - 1 units and a 0; returns the units written.
uint32_t OsComparableName(const char* path, uint16_t* name, uint32_t size);

// ---- the system's code pages (ANSI and OEM; 1252 and 850 on a German system); dst may equal src ----
void OsAnsiToOem(const char* src, char* dst);
void OsOemToAnsi(const char* src, char* dst);
// The capital of each character by the system's case mapping for its ANSI or its OEM code page:
// every comparison of names that ignores case goes through these, so that a name matches by the
// letters of the system it runs on (1250: z acute is not the dot above, although 1252 pairs their
// bytes). A character whose capital has no form of the same length there stays as it is, so the
// text keeps its length. At most size - 1 bytes, never half a character; dst may equal src. Both
// take text by whole characters (a double-byte character is raised, and kept, whole; its trail
// byte is never raised on its own).
void OsAnsiToUpper(const char* src, char* dst, size_t size);
void OsOemToUpper(const char* src, char* dst, size_t size);
// A text of the ANSI or OEM code page as UTF-8, for the log. dst holds size bytes with the
// terminator; a text that does not fit is cut before a whole character (a double-byte character of
// the code page is never split). Returns the bytes written.
enum TextCodePage { CodePageAnsi, CodePageOem };
uint32_t OsTextToUtf8(const char* src, TextCodePage codePage, char* dst, uint32_t size);
// Whether byte starts a double-byte character of the system's ANSI or OEM code page (932, 936, 949,
// 950): the byte behind it is that character's trail, which may equal "\\", ":", "." or a letter.
// Every walk through a path steps over such a character whole.
int OsIsLeadByte(TextCodePage codePage, unsigned char byte);

// ---- local time, for the log's time stamps ----
struct OsLocalTime {
  uint16_t year, month, day, hour, minute, second;
};
void OsGetLocalTime(OsLocalTime* time);

// ---- installation facts ----
enum RegistryRoot { RegistryCurrentUser, RegistryLocalMachine };
// Status 0 on success. A key that cannot be opened gives 0 too and leaves the buffer unchanged.
int32_t OsReadRegistryString(RegistryRoot root, const char* subKey, const char* valueName, char* buffer,
                             uint32_t* byteSize);
// Private profile string; a file name without directory is looked for in the Windows directory.
uint32_t OsGetProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                            uint32_t size, const char* fileName);
// Remote name of a connected network drive ("X:"); 0 on success (WNetGetConnectionA semantics).
uint32_t OsGetNetworkConnection(const char* localName, char* remoteName, uint32_t* size);
int OsGetComputerName(char* buffer, uint32_t size);
uint32_t OsProcessId();
uint32_t OsGetShortPathName(const char* longPath, char* buffer, uint32_t size);  // length, 0 on failure
// The long form of an existing path (short names replaced by the names they stand for, trailing dots
// and blanks dropped); length, 0 when it does not exist, does not fit, or has a name that the ANSI
// code page cannot hold.
uint32_t OsGetLongPathName(const char* path, char* buffer, uint32_t size);
uint32_t OsGetModuleFileName(ModuleHandle module, char* buffer, uint32_t size);
// A string of the module's string table (LoadStringA: at most size - 1 characters and a
// terminator); 0 and an empty buffer when it is missing. The POSIX side has a built-in copy.
int OsLoadString(ModuleHandle module, int id, char* buffer, int size);
int OsIsNtPlatform();

// ---- windows and messages ----
MessageResult OsSendMessage(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam);
int OsPostMessage(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam);
WindowHandle OsGetDialogItem(WindowHandle dialog, int controlId);
int OsSetWindowText(WindowHandle window, const char* text);
int OsSetDialogItemText(WindowHandle dialog, int controlId, const char* text);
int OsGetWindowText(WindowHandle window, char* buffer, int size);
void OsShowWindow(WindowHandle window);
void OsRepaintWindow(WindowHandle window);          // invalidate, then update at once
void OsUpdateWindow(WindowHandle window);           // update only
int OsPumpOneMessage(WindowHandle window);          // 1 when a message was dispatched

// ---- threads ----
typedef uint32_t (*ThreadProcedure)(void* parameter);
ThreadHandle OsCreateThread(ThreadProcedure procedure, void* parameter, uint32_t* threadId);
int32_t OsSuspendThread(ThreadHandle thread);  // previous suspend count, -1 on failure
int32_t OsResumeThread(ThreadHandle thread);   // previous suspend count, -1 on failure
int OsTerminateThread(ThreadHandle thread, uint32_t exitCode);
void OsCloseThreadHandle(ThreadHandle thread);
void OsSleep(uint32_t milliseconds);
uint32_t OsTickCount();  // milliseconds since an arbitrary start; wraps around
