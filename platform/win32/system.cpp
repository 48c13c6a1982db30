// Code pages, registry, profile files, network connections and facts about the installation.
#include <windows.h>
#include <winnetwk.h>

#include <cstring>

#include "platform/platform_internal.h"

void OsAnsiToOem(const char* src, char* dst) { CharToOemA(src, dst); }
void OsOemToAnsi(const char* src, char* dst) { OemToCharA(src, dst); }

int32_t OsReadRegistryString(RegistryRoot root, const char* subKey, const char* valueName, char* buffer,
                             uint32_t* byteSize) {
  HKEY base = root == RegistryLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  HKEY key = nullptr;
  if (RegOpenKeyExA(base, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
  DWORD type = 0;
  DWORD size = *byteSize;
  LONG status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status == ERROR_SUCCESS) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    // A stored string need not end with its NUL; it must fit with one, or it is reported as too long.
    if (size == 0 || buffer[size - 1] != '\0') {
      if (size >= *byteSize) return ERROR_MORE_DATA;
      buffer[size] = '\0';
      ++size;
    }
  }
  *byteSize = size;
  return status;
}

uint32_t OsGetProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                            uint32_t size, const char* fileName) {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

uint32_t OsSystemGetNetworkConnection(const char* localName, char* remoteName, uint32_t* size) {
  DWORD length = *size;
  DWORD status = WNetGetConnectionA(localName, remoteName, &length);
  *size = length;
  return status;
}

int OsGetComputerName(char* buffer, uint32_t size) {
  DWORD length = size;
  if (!GetComputerNameA(buffer, &length)) return 0;
  return 1;
}

uint32_t OsProcessId() { return GetCurrentProcessId(); }

uint32_t OsGetShortPathName(const char* longPath, char* buffer, uint32_t size) {
  DWORD length = GetShortPathNameA(longPath, buffer, size);
  if (length >= size) return 0;  // too small: nothing usable was copied
  return length;
}

uint32_t OsGetModuleFileName(ModuleHandle module, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, size);
  if (length == 0 || length >= size) {  // a cut path is no path
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

int OsIsNtPlatform() {
  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return 0;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}

int OsLoadString(ModuleHandle module, int id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  const int length = LoadStringA(static_cast<HINSTANCE>(module), static_cast<UINT>(id), buffer, size);
  if (length <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}
