// The two queries a test may replace: network connections and free disk space.
// In the program nobody installs a replacement and the system is asked.
#include "platform/platform_internal.h"
#include "platform/test_hooks.h"

namespace {
NetworkConnectionQuery g_networkQuery = nullptr;
DiskFreeSpaceQuery g_diskFreeQuery = nullptr;
}  // namespace

void OsSetNetworkConnectionQuery(NetworkConnectionQuery query) { g_networkQuery = query; }
void OsSetDiskFreeSpaceQuery(DiskFreeSpaceQuery query) { g_diskFreeQuery = query; }

uint32_t OsGetNetworkConnection(const char* localName, char* remoteName, uint32_t* size) {
  NetworkConnectionQuery query = g_networkQuery;
  if (query != nullptr) return query(localName, remoteName, size);
  return OsSystemGetNetworkConnection(localName, remoteName, size);
}

int OsGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                       uint32_t* freeClusters) {
  DiskFreeSpaceQuery query = g_diskFreeQuery;
  if (query != nullptr) return query(root, sectorsPerCluster, bytesPerSector, freeClusters);
  return OsSystemGetDiskFreeSpace(root, sectorsPerCluster, bytesPerSector, freeClusters);
}
