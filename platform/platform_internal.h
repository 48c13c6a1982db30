#pragma once
// Pieces shared by the platform sources only; nothing outside platform/ includes this.
#include "platform/platform.h"

// The real system queries behind the replaceable ones of test_hooks.h.
uint32_t OsSystemGetNetworkConnection(const char* localName, char* remoteName, uint32_t* size);
int OsSystemGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters);
