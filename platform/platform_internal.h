#pragma once
// Pieces shared by the platform sources only; nothing outside platform/ includes this.
#include "platform/platform.h"

// The real system queries behind the replaceable ones of test_hooks.h.
uint32_t OsSystemGetNetworkConnection(const char* localName, char* remoteName, uint32_t* size);
int OsSystemGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters);
// A lock error set by a test for the next lock try: 1 and the system error, or 0.
int OsInjectedLockError(uint32_t* error);
// The moment before OsDeleteUnusedEmptyFile takes a file's name away, for a test to look into.
void OsEnterDeletionWindow(const char* path);
