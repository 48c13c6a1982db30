#pragma once
// Test doubles behind the platform seam, for what the test machine cannot provide.
// In the shipped program nobody calls these and the real system calls are used.
#include "platform/platform.h"

// Network connections (Wine has no mapped network drives). nullptr restores WNetGetConnectionA.
typedef uint32_t (*NetworkConnectionQuery)(const char* localName, char* remoteName, uint32_t* size);
void OsSetNetworkConnectionQuery(NetworkConnectionQuery query);

// Free space of a root, to provoke "not enough space" and "drive not ready". nullptr restores the real query.
typedef int (*DiskFreeSpaceQuery)(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                                  uint32_t* freeClusters);
void OsSetDiskFreeSpaceQuery(DiskFreeSpaceQuery query);

// The next `count` byte-range lock tries (count < 0: every one until this is called with 0) fail
// with the system error `error` (a Win32 error code, an errno value on POSIX), as the system would
// report it. 0 restores the real locks.
void OsSetLockErrorForTests(uint32_t error, int count);
// Called by OsDeleteUnusedEmptyFile once it has found the file empty and unused, at the moment
// before its name goes away. nullptr: nothing is called.
typedef void (*DeletionWindowHook)(const char* path);
void OsSetDeletionWindowHookForTests(DeletionWindowHook hook);

#ifndef _WIN32
// ---- POSIX side only ----
// Windows paths are mapped onto host folders: X:\a\b -> <drive X>/a/b, \\srv\share\a -> <unc>/srv/share/a.
void OsMapDriveForTests(char letter, const char* hostDirectory);
void OsMapUncRootForTests(const char* hostDirectory);
// Host path of a Windows path (for test assertions); empty when it maps nowhere.
void OsHostPathForTests(const char* windowsPath, char* hostPath, size_t size);
// The Windows directory where profile files without a directory are looked for (a Windows path).
void OsSetWindowsDirectoryForTests(const char* windowsPath);
// In-memory registry: set (value != nullptr) or remove a string value.
void OsSetRegistryStringForTests(RegistryRoot root, const char* subKey, const char* valueName, const char* value);
void OsClearRegistryForTests();
void OsSetComputerNameForTests(const char* name);
// The program's own file name (a Windows path); empty restores the running program's path.
void OsSetModuleFileNameForTests(const char* windowsPath);
// Window messages: sends and posts reach this handler; window texts are kept per handle.
typedef MessageResult (*MessageHandler)(WindowHandle window, uint32_t message, MessageWParam wParam,
                                        MessageLParam lParam, int posted);
void OsSetMessageHandlerForTests(MessageHandler handler);
// Every OsSleep lasts a whole number of ticks of this many milliseconds (Windows' default timer
// makes Sleep(5) last about 15.6 ms); 0 sleeps as asked.
void OsSetSleepGranularityForTests(uint32_t milliseconds);
// A Japanese (932) or Simplified Chinese (936) system: ANSI and OEM are that double-byte code page
// (lead bytes, conversions between them, upper case of ASCII letters, text for the log); 0 restores
// the German system (1252, 850).
void OsSetDoubleByteCodePageForTests(uint32_t codePage);
#endif
