// The in-process table of what a POSIX file system cannot hold for a Windows file: the attribute
// bits other than directory and read-only, and the creation time. Keyed by host path; forgotten when
// the file or directory is deleted, carried along when it is moved.
#include <cstring>
#include <mutex>

#include "platform/posix/posix_internal.h"

namespace {

struct Entry {
  int used;
  char path[kHostPathSize];
  AttributeRecord record;
};
constexpr int kEntryCount = 512;
Entry g_entries[kEntryCount];
std::mutex g_attributeLock;

Entry* Find(const char* hostPath) {
  for (Entry& entry : g_entries)
    if (entry.used && strcmp(entry.path, hostPath) == 0) return &entry;
  return nullptr;
}

Entry* FindOrAdd(const char* hostPath) {
  if (Entry* entry = Find(hostPath)) return entry;
  size_t length = strlen(hostPath);
  if (length >= kHostPathSize) return nullptr;
  for (Entry& entry : g_entries) {
    if (entry.used) continue;
    memset(&entry, 0, sizeof entry);
    entry.used = 1;
    memcpy(entry.path, hostPath, length + 1);
    return &entry;
  }
  return nullptr;  // table full: the bits are not kept (documented limit)
}

// The path itself or anything below it.
int IsAtOrBelow(const char* path, const char* top, size_t topLength) {
  return strncmp(path, top, topLength) == 0 && (path[topLength] == '\0' || path[topLength] == '/');
}

}  // namespace

int LookUpAttributes(const char* hostPath, AttributeRecord* record) {
  std::lock_guard<std::mutex> hold(g_attributeLock);
  Entry* entry = Find(hostPath);
  if (entry == nullptr) {
    memset(record, 0, sizeof *record);
    return 0;
  }
  *record = entry->record;
  return 1;
}

void StoreAttributeBits(const char* hostPath, uint32_t bits) {
  std::lock_guard<std::mutex> hold(g_attributeLock);
  if (Entry* entry = FindOrAdd(hostPath)) {
    entry->record.hasBits = 1;
    entry->record.bits = bits;
  }
}

void StoreCreationTime(const char* hostPath, uint64_t creation) {
  std::lock_guard<std::mutex> hold(g_attributeLock);
  if (Entry* entry = FindOrAdd(hostPath)) {
    entry->record.hasCreation = 1;
    entry->record.creation = creation;
  }
}

void ForgetAttributes(const char* hostPath) {
  std::lock_guard<std::mutex> hold(g_attributeLock);
  size_t length = strlen(hostPath);
  for (Entry& entry : g_entries)
    if (entry.used && IsAtOrBelow(entry.path, hostPath, length)) entry.used = 0;
}

void MoveAttributes(const char* fromHostPath, const char* toHostPath) {
  std::lock_guard<std::mutex> hold(g_attributeLock);
  size_t fromLength = strlen(fromHostPath);
  size_t toLength = strlen(toHostPath);
  for (Entry& entry : g_entries)
    if (entry.used && IsAtOrBelow(entry.path, toHostPath, toLength)) entry.used = 0;
  for (Entry& entry : g_entries) {
    if (!entry.used || !IsAtOrBelow(entry.path, fromHostPath, fromLength)) continue;
    size_t tailLength = strlen(entry.path + fromLength);
    if (toLength + tailLength >= kHostPathSize) {
      entry.used = 0;
      continue;
    }
    memmove(entry.path + toLength, entry.path + fromLength, tailLength + 1);
    memcpy(entry.path, toHostPath, toLength);
  }
}
