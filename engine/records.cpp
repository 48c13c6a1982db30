// Archive directory records while they are extracted: batching of the decompressor's output into
// whole records, and the rewriting of relative path entries onto this installation's archive root.
#include "engine/records.h"

#include <cstring>

#include "discovery/byte_order.h"
#include "discovery/job_settings.h"
#include "discovery/tag_list.h"
#include "discovery/path_utils.h"
#include "platform/platform.h"

char g_recordBuffer[kRecordSize * kRecordBatch];
uint32_t g_recordFill;

char* RecordTags(char* record) { return record + kRecordTagsOffset; }

uint16_t RecordWord(const char* record, uint32_t offset) { return ReadLittle16(record + offset); }

void SetRecordWord(char* record, uint32_t offset, uint16_t value) { WriteLittle16(record + offset, value); }

void ReadRecordTag(const char* record, unsigned char tag, char* output, size_t outputSize) {
  // The list utilities repair a missing end mark in place; read from a scratch copy so that a record
  // that is only looked at stays byte for byte as it was.
  char scratch[kRecordTagsSize];
  std::memcpy(scratch, record + kRecordTagsOffset, kRecordTagsSize);
  GetTagText(scratch, kRecordTagsSize, tag, output, outputSize);
}

int SetRecordTag(char* record, const char* text, int maxChars, unsigned char tag) {
  // SetTagText removes the old item before it knows whether the new one fits; keep the old list when
  // it does not, so that a value that is too long never costs the record the value it had.
  char saved[kRecordTagsSize];
  char* tags = RecordTags(record);
  std::memcpy(saved, tags, kRecordTagsSize);
  if (SetTagText(tags, kRecordTagsSize, text, maxChars, tag) != nullptr || text[0] == '\0') return 1;
  std::memcpy(tags, saved, kRecordTagsSize);
  return 0;
}

void ArchiveRootOem(char* prefix) {
  CopyBounded(prefix, kPathChars, g_jobSettings.archiveRoot);
  OsAnsiToOem(prefix, prefix);
}

void RewriteRecordPaths(int* kindAddress, uint32_t recordCount, char* records) {
  if (*kindAddress == RecordsArchiveAdd) {
    // Only the archive's own description, the first record of "archive.add", points to the root;
    // every later byte of that file is passed through unchanged.
    recordCount = recordCount > 0 ? 1 : 0;
    *kindAddress = RecordsNone;
  }
  char prefix[kPathBuffer];
  ArchiveRootOem(prefix);
  const size_t prefixLength = std::strlen(prefix);

  for (uint32_t n = 0; n < recordCount; ++n) {
    char* record = records + n * kRecordSize;
    char value[kRecordTagsSize];
    ReadRecordTag(record, TagPath, value, sizeof value);
    if ((value[0] == '\\' && value[1] == '\\') || FindChar(value, ':', CodePageOem) != nullptr) continue;  // absolute
    const size_t valueLength = std::strlen(value);
    // A joined path longer than a path buffer would have to be cut and would then name another
    // place: such a record keeps its entry as it is.
    if (prefixLength + valueLength > static_cast<size_t>(kPathChars)) continue;
    char joined[kPathBuffer];
    std::memcpy(joined, prefix, prefixLength);
    std::memcpy(joined + prefixLength, value, valueLength + 1);
    SetRecordTag(record, joined, -1, TagPath);
  }
}

void WriteRecords(char* buffer, uint32_t* count, void* streamAddress) {
  RecordStream* stream = static_cast<RecordStream*>(streamAddress);
  int* kind = &stream->kind;
  const char* block = buffer;
  uint32_t left = *count;
  while (left > 0) {
    if (*kind < 0) {
      stream->output(block, left);
      return;
    }
    const uint32_t total = g_recordFill + left;
    uint32_t batch;
    if (total >= kRecordSize * kRecordBatch) {
      batch = kRecordBatch;
    } else if (total >= kRecordSize) {
      batch = total / kRecordSize;
    } else {
      std::memcpy(g_recordBuffer + g_recordFill, block, left);
      g_recordFill += left;
      return;
    }
    const uint32_t needed = batch * kRecordSize - g_recordFill;
    std::memcpy(g_recordBuffer + g_recordFill, block, needed);
    g_recordFill = 0;
    block += needed;
    left -= needed;
    RewriteRecordPaths(kind, batch, g_recordBuffer);
    stream->output(g_recordBuffer, batch * kRecordSize);
  }
}

// Record paths are OEM text: a name ends at the first backslash that is a character of its own.
static const char* SkipName(const char* p) {
  while (*p != '\0' && *p != '\\') p = NextChar(p, CodePageOem);
  return p;
}

static const char* SkipBackslashes(const char* p) {
  while (*p == '\\') ++p;
  return p;
}

// The first level below the root of a path begins at the returned position.
static const char* FirstLevel(const char* path) {
  const char* p;
  if (path[0] == '\\' && path[1] == '\\') {
    p = SkipName(path + 2);                      // server (a third backslash: an empty one)
    return SkipBackslashes(SkipName(SkipBackslashes(p)));  // share
  }
  p = FindChar(path, ':', CodePageOem);
  if (p == nullptr) return nullptr;
  while (*p == ':') ++p;
  // server\volume:dir: a name right behind the colon still belongs to the root.
  if (*p != '\\' && *p != '\0') p = SkipName(p);
  return SkipBackslashes(p);
}

int IsTopLevelPath(const char* path) {
  const char* p = FirstLevel(path);
  if (p == nullptr) return 1;
  return *SkipBackslashes(SkipName(p)) == '\0' ? 1 : 0;
}
