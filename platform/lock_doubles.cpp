// The lock errors and the deletion window a test may put into the seam. In the program nobody sets
// them and the system's own results are used.
#include "platform/platform_internal.h"
#include "platform/test_hooks.h"

namespace {
uint32_t g_lockError;
int g_lockErrorCount;
DeletionWindowHook g_deletionWindowHook = nullptr;
}  // namespace

void OsSetLockErrorForTests(uint32_t error, int count) {
  g_lockError = error;
  g_lockErrorCount = error != 0 ? count : 0;
}

int OsInjectedLockError(uint32_t* error) {
  if (g_lockErrorCount == 0) return 0;
  if (g_lockErrorCount > 0) --g_lockErrorCount;
  *error = g_lockError;
  return 1;
}

void OsSetDeletionWindowHookForTests(DeletionWindowHook hook) { g_deletionWindowHook = hook; }

void OsEnterDeletionWindow(const char* path) {
  if (g_deletionWindowHook != nullptr) g_deletionWindowHook(path);
}
