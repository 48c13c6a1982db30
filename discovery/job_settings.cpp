#include "discovery/job_settings.h"

#include <cstring>

JobSettings g_jobSettings;

void InitJobSettings(ModuleHandle instance) {
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  g_jobSettings.instance = instance;
  g_jobSettings.platformIsNt = OsIsNtPlatform() ? 1 : 0;
  // A path that does not fit leaves modulePath empty rather than cut: a cut path would name another file.
  uint32_t length = OsGetModuleFileName(instance, g_jobSettings.modulePath, kPathBuffer);
  if (length == 0 || length >= static_cast<uint32_t>(kPathBuffer)) g_jobSettings.modulePath[0] = '\0';
}
