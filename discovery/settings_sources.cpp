// The installation's own settings: "brannix.ini" in the Windows directory and registry strings.
#include "discovery/locator.h"

uint32_t ReadSettingsValue(const char* section, const char* key, const char* defaultValue, char* buffer,
                           uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  return OsGetProfileString(section, key, defaultValue, buffer, size, kSettingsFile);
}

int32_t ReadRegistryString(RegistryRoot root, const char* subKey, const char* valueName, char* buffer,
                           uint32_t* byteSize) {
  if (buffer == nullptr || byteSize == nullptr || *byteSize == 0) return 0;
  uint32_t capacity = *byteSize;
  int32_t status = OsReadRegistryString(root, subKey, valueName, buffer, byteSize);
  if (status != 0) {
    // Too long, not a string or otherwise unreadable: nothing usable arrived.
    buffer[0] = '\0';
  } else {
    buffer[capacity - 1] = '\0';
  }
  return status;
}
