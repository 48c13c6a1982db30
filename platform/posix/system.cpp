// Code pages, registry, profile files and installation facts on a POSIX host.
// The registry is an in-memory table filled by tests; profile files are read from the mapped
// folders; there are no network connections unless a test installs a query.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/platform_internal.h"
#include "platform/posix/posix_internal.h"
#include "platform/test_hooks.h"

namespace {

// ANSI 1252 <-> OEM 850 for 0x80-0xFF, as Windows converts them (CharToOemA/OemToCharA with the
// best-fit tables of a German system). Every character that both code pages have maps exactly
// (a umlaut E4 <-> 84, sharp s DF <-> E1, ...). The others take Windows' nearest character or '?':
// ANSI 0x80-0x9F (euro sign, typographic quotes, dashes ...) become '?', quotes, '-' and the like;
// the OEM box-drawing characters become A6, '+', '-'. Those conversions are lossy there as on
// Windows. 0x00-0x7F are the same in both.
const unsigned char kAnsiToOemHigh[128] = {
    0x3F, 0x3F, 0x27, 0x9F, 0x22, 0x2E, 0xC5, 0xCE, 0x5E, 0x25, 0x53, 0x3C, 0x4F, 0x3F, 0x5A, 0x3F,  // 80
    0x3F, 0x27, 0x27, 0x22, 0x22, 0x07, 0x2D, 0x2D, 0x7E, 0x54, 0x73, 0x3E, 0x6F, 0x3F, 0x7A, 0x59,  // 90
    0xFF, 0xAD, 0xBD, 0x9C, 0xCF, 0xBE, 0xDD, 0xF5, 0xF9, 0xB8, 0xA6, 0xAE, 0xAA, 0xF0, 0xA9, 0xEE,  // A0
    0xF8, 0xF1, 0xFD, 0xFC, 0xEF, 0xE6, 0xF4, 0xFA, 0xF7, 0xFB, 0xA7, 0xAF, 0xAC, 0xAB, 0xF3, 0xA8,  // B0
    0xB7, 0xB5, 0xB6, 0xC7, 0x8E, 0x8F, 0x92, 0x80, 0xD4, 0x90, 0xD2, 0xD3, 0xDE, 0xD6, 0xD7, 0xD8,  // C0
    0xD1, 0xA5, 0xE3, 0xE0, 0xE2, 0xE5, 0x99, 0x9E, 0x9D, 0xEB, 0xE9, 0xEA, 0x9A, 0xED, 0xE8, 0xE1,  // D0
    0x85, 0xA0, 0x83, 0xC6, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,  // E0
    0xD0, 0xA4, 0x95, 0xA2, 0x93, 0xE4, 0x94, 0xF6, 0x9B, 0x97, 0xA3, 0x96, 0x81, 0xEC, 0xE7, 0x98,  // F0
};
const unsigned char kOemToAnsiHigh[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,  // 80
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8, 0xA3, 0xD8, 0xD7, 0x83,  // 90
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAE, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,  // A0
    0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xC1, 0xC2, 0xC0, 0xA9, 0xA6, 0xA6, 0x2B, 0x2B, 0xA2, 0xA5, 0x2B,  // B0
    0x2B, 0x2D, 0x2D, 0x2B, 0x2D, 0x2B, 0xE3, 0xC3, 0x2B, 0x2B, 0x2D, 0x2D, 0xA6, 0x2D, 0x2B, 0xA4,  // C0
    0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0x69, 0xCD, 0xCE, 0xCF, 0x2B, 0x2B, 0xA6, 0x5F, 0xA6, 0xCC, 0xAF,  // D0
    0xD3, 0xDF, 0xD4, 0xD2, 0xF5, 0xD5, 0xB5, 0xFE, 0xDE, 0xDA, 0xDB, 0xD9, 0xFD, 0xDD, 0xAF, 0xB4,  // E0
    0xAD, 0xB1, 0x3D, 0xBE, 0xB6, 0xA7, 0xF7, 0xB8, 0xB0, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0xA6, 0xA0,  // F0
};

// A double-byte system has one code page for both: the text stays as it is.
void Translate(const char* src, char* dst, const unsigned char* high) {
  if (src == nullptr || dst == nullptr) return;
  const bool same = DoubleByteCodePage() != 0;
  for (;; ++src, ++dst) {
    unsigned char c = static_cast<unsigned char>(*src);
    *dst = static_cast<char>(c >= 0x80 && !same ? high[c - 0x80] : c);
    if (c == 0) break;
  }
}

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNotConnected = 2250;

struct RegistryValue {
  int used;
  RegistryRoot root;
  char subKey[261];
  char name[129];
  char value[1024];
};
RegistryValue g_registry[64];
std::mutex g_registryLock;

int KeyExists(RegistryRoot root, const char* subKey) {
  size_t length = strlen(subKey);
  for (const RegistryValue& entry : g_registry) {
    if (!entry.used || entry.root != root) continue;
    if (CompareNoCaseN(entry.subKey, subKey, length) == 0 &&
        (entry.subKey[length] == '\0' || entry.subKey[length] == '\\'))
      return 1;
  }
  return 0;
}

RegistryValue* FindValue(RegistryRoot root, const char* subKey, const char* name) {
  for (RegistryValue& entry : g_registry)
    if (entry.used && entry.root == root && CompareNoCase(entry.subKey, subKey) == 0 &&
        CompareNoCase(entry.name, name) == 0)
      return &entry;
  return nullptr;
}

void CopyBounded(char* dst, size_t size, const char* src) {
  size_t length = strnlen(src, size - 1);
  memcpy(dst, src, length);
  dst[length] = '\0';
}

std::mutex g_factLock;
char g_windowsDirectory[261] = "C:\\WINDOWS";
char g_computerName[64];
char g_moduleFileName[261];

// Trims blanks and tabs from both ends in place; returns the start.
char* Trim(char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  size_t length = strlen(text);
  while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t' || text[length - 1] == '\r' ||
                        text[length - 1] == '\n'))
    text[--length] = '\0';
  return text;
}

// Appends a NUL-terminated item to a double-NUL list in buffer; 0 once the buffer is full.
int AppendListItem(char* buffer, uint32_t size, uint32_t* used, const char* item) {
  size_t length = strlen(item);
  if (*used + length + 2 > size) {
    // cut like Windows: as much as fits, then the double NUL; the count is size - 2
    size_t room = size >= 2 ? size - 2 - *used : 0;
    if (size >= 2 && *used <= size - 2) {
      memcpy(buffer + *used, item, room);
      *used = size - 2;
      buffer[size - 2] = '\0';
      buffer[size - 1] = '\0';
    }
    return 0;
  }
  memcpy(buffer + *used, item, length + 1);
  *used += static_cast<uint32_t>(length + 1);
  buffer[*used] = '\0';
  return 1;
}

}  // namespace

void OsAnsiToOem(const char* src, char* dst) { Translate(src, dst, kAnsiToOemHigh); }
void OsOemToAnsi(const char* src, char* dst) { Translate(src, dst, kOemToAnsiHigh); }

int32_t OsReadRegistryString(RegistryRoot root, const char* subKey, const char* valueName, char* buffer,
                             uint32_t* byteSize) {
  std::lock_guard<std::mutex> hold(g_registryLock);
  if (subKey == nullptr || !KeyExists(root, subKey)) return 0;
  RegistryValue* entry = FindValue(root, subKey, valueName != nullptr ? valueName : "");
  if (entry == nullptr) return kErrorFileNotFound;
  uint32_t needed = static_cast<uint32_t>(strlen(entry->value) + 1);
  if (needed > *byteSize) {
    *byteSize = needed;
    return kErrorMoreData;
  }
  memcpy(buffer, entry->value, needed);
  *byteSize = needed;
  return 0;
}

void OsSetRegistryStringForTests(RegistryRoot root, const char* subKey, const char* valueName, const char* value) {
  if (subKey == nullptr) return;
  if (valueName == nullptr) valueName = "";
  std::lock_guard<std::mutex> hold(g_registryLock);
  RegistryValue* entry = FindValue(root, subKey, valueName);
  if (value == nullptr) {
    if (entry != nullptr) entry->used = 0;
    return;
  }
  if (entry == nullptr) {
    for (RegistryValue& candidate : g_registry)
      if (!candidate.used) {
        entry = &candidate;
        break;
      }
    if (entry == nullptr) return;
    entry->used = 1;
    entry->root = root;
    CopyBounded(entry->subKey, sizeof entry->subKey, subKey);
    CopyBounded(entry->name, sizeof entry->name, valueName);
  }
  CopyBounded(entry->value, sizeof entry->value, value);
}

void OsClearRegistryForTests() {
  std::lock_guard<std::mutex> hold(g_registryLock);
  for (RegistryValue& entry : g_registry) entry.used = 0;
}

void OsSetWindowsDirectoryForTests(const char* windowsPath) {
  std::lock_guard<std::mutex> hold(g_factLock);
  CopyBounded(g_windowsDirectory, sizeof g_windowsDirectory, windowsPath != nullptr ? windowsPath : "");
}

// GetPrivateProfileStringA as the engine uses it: sections and keys without case, values trimmed and
// stripped of one pair of enclosing quotes, the default (trimmed at its end) when nothing is found;
// a null section lists the sections, a null key the keys of the section. The result is cut to the
// buffer, and the count is that of the characters copied.
uint32_t OsGetProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                            uint32_t size, const char* fileName) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  if (fileName == nullptr) return 0;
  char windowsPath[kHostPathSize];
  if (strpbrk(fileName, "\\/:") == nullptr) {
    std::lock_guard<std::mutex> hold(g_factLock);
    if (snprintf(windowsPath, sizeof windowsPath, "%s\\%s", g_windowsDirectory, fileName) >=
        static_cast<int>(sizeof windowsPath))
      return 0;
  } else {
    if (strlen(fileName) >= sizeof windowsPath) return 0;
    memcpy(windowsPath, fileName, strlen(fileName) + 1);
  }
  char host[kHostPathSize];
  FILE* file = MapWindowsPath(windowsPath, host, sizeof host) ? fopen(host, "rb") : nullptr;
  uint32_t used = 0;
  int inSection = 0;
  int found = 0;
  char line[4096];
  while (file != nullptr && fgets(line, sizeof line, file) != nullptr) {
    char* text = Trim(line);
    if (text[0] == '[') {
      char* end = strchr(text, ']');
      if (end == nullptr) continue;
      *end = '\0';
      char* name = Trim(text + 1);
      if (section == nullptr) {
        if (!AppendListItem(buffer, size, &used, name)) break;
        found = 1;
        continue;
      }
      inSection = CompareNoCase(name, section) == 0;
      continue;
    }
    if (!inSection || section == nullptr || text[0] == ';' || text[0] == '\0') continue;
    char* equals = strchr(text, '=');
    if (equals != nullptr) *equals = '\0';
    char* name = Trim(text);
    if (key == nullptr) {
      found = 1;
      if (!AppendListItem(buffer, size, &used, name)) break;
      continue;
    }
    if (equals == nullptr || CompareNoCase(name, key) != 0) continue;
    char* value = Trim(equals + 1);
    size_t length = strlen(value);
    if (length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
      value[length - 1] = '\0';
      ++value;
    }
    CopyBounded(buffer, size, value);
    used = static_cast<uint32_t>(strlen(buffer));
    found = 1;
    break;
  }
  if (file != nullptr) fclose(file);
  if (section == nullptr || key == nullptr) {
    if (size == 1) buffer[0] = '\0';
    return found ? used : 0;
  }
  if (found) return used;
  char fallback[1024];
  CopyBounded(fallback, sizeof fallback, defaultValue != nullptr ? defaultValue : "");
  size_t length = strlen(fallback);
  while (length > 0 && fallback[length - 1] == ' ') fallback[--length] = '\0';
  CopyBounded(buffer, size, fallback);
  return static_cast<uint32_t>(strlen(buffer));
}

uint32_t OsSystemGetNetworkConnection(const char* localName, char* remoteName, uint32_t* size) {
  (void)localName;
  (void)remoteName;
  (void)size;
  return kErrorNotConnected;
}

void OsSetComputerNameForTests(const char* name) {
  std::lock_guard<std::mutex> hold(g_factLock);
  CopyBounded(g_computerName, sizeof g_computerName, name != nullptr ? name : "");
}

// The host name in capitals, at most 15 characters (the NetBIOS limit), unless a test set one.
int OsGetComputerName(char* buffer, uint32_t size) {
  char name[64];
  {
    std::lock_guard<std::mutex> hold(g_factLock);
    CopyBounded(name, sizeof name, g_computerName);
  }
  if (name[0] == '\0') {
    if (gethostname(name, sizeof name) != 0) return 0;
    name[sizeof name - 1] = '\0';
    name[15] = '\0';
    for (char* p = name; *p != '\0'; ++p) *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
  }
  size_t length = strlen(name);
  if (buffer == nullptr || length >= size) return 0;
  memcpy(buffer, name, length + 1);
  return 1;
}

uint32_t OsProcessId() { return static_cast<uint32_t>(getpid()); }

// No 8.3 names on a POSIX host: the short name of an existing path is the path itself, as Windows
// gives it on a volume without short names.
uint32_t OsGetShortPathName(const char* longPath, char* buffer, uint32_t size) {
  if (longPath == nullptr || OsGetAttributes(longPath) == kInvalidAttributes) return 0;
  size_t length = strlen(longPath);
  if (buffer == nullptr || length >= size) return 0;
  memmove(buffer, longPath, length + 1);
  return static_cast<uint32_t>(length);
}

void OsSetModuleFileNameForTests(const char* windowsPath) {
  std::lock_guard<std::mutex> hold(g_factLock);
  CopyBounded(g_moduleFileName, sizeof g_moduleFileName, windowsPath != nullptr ? windowsPath : "");
}

// The test's choice, else the running program in Windows form (under a mapped drive, or Z:).
uint32_t OsGetModuleFileName(ModuleHandle module, char* buffer, uint32_t size) {
  (void)module;
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  char name[kHostPathSize];
  {
    std::lock_guard<std::mutex> hold(g_factLock);
    CopyBounded(name, sizeof name, g_moduleFileName);
  }
  if (name[0] == '\0') {
    char host[kHostPathSize];
    ssize_t length = readlink("/proc/self/exe", host, sizeof host - 1);
    if (length <= 0) return 0;
    host[length] = '\0';
    if (!WindowsPathOfHost(host, name, sizeof name)) return 0;
  }
  size_t length = strlen(name);
  if (length >= size) return 0;
  memcpy(buffer, name, length + 1);
  return static_cast<uint32_t>(length);
}

int OsIsNtPlatform() { return 1; }
