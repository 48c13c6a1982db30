#pragma once
// Archive directory records: the 430-byte records of "archive.dat", "archive.dir", "archive.add".
#include <cstddef>
#include <cstdint>

#include "engine/record_merge.h"

constexpr uint32_t kRecordSize = 430;
constexpr uint32_t kRecordTagsOffset = 112;
constexpr uint32_t kRecordTagsSize = 263;
constexpr uint32_t kRecordBatch = 10;  // records rewritten at a time
constexpr uint16_t RecordSlotFree = 0x0400;
constexpr uint16_t kRecordKindArchive = 0x1000;
constexpr unsigned char TagName = 1;
constexpr unsigned char TagPath = 3;
constexpr unsigned char TagTitle = 4;

// Record file kinds for rewriting during extraction.
enum RecordFileKind { RecordsNone = -1, RecordsArchiveDat = 0, RecordsArchiveDir = 1, RecordsArchiveAdd = 2 };

// Process-wide record buffer of WriteRecords.
extern char g_recordBuffer[kRecordSize * kRecordBatch];
extern uint32_t g_recordFill;

// Where WriteRecords passes its bytes on: the rewritten records and whatever follows them.
typedef void (*RecordOutput)(const char* buffer, uint32_t count);
struct RecordStream {
  int kind;             // a RecordFileKind; RecordsNone once only bytes are passed on
  RecordOutput output;  // the extraction's WriteOutputBytes, for one
};
// writeBlock callback of explodeStream; userParameter is the address of a RecordStream.
void WriteRecords(char* buffer, uint32_t* count, void* streamAddress);
void RewriteRecordPaths(int* kindAddress, uint32_t recordCount, char* records);
int IsTopLevelPath(const char* path);

// Field access shared by the rewriting and the merge. Values are little-endian.
char* RecordTags(char* record);
uint16_t RecordWord(const char* record, uint32_t offset);
void SetRecordWord(char* record, uint32_t offset, uint16_t value);
// Reads a tag's value without touching the record (an absent tag gives "").
void ReadRecordTag(const char* record, unsigned char tag, char* output, size_t outputSize);
// Sets a tag; when the new value does not fit, the record keeps its old list and 0 is returned.
int SetRecordTag(char* record, const char* text, int maxChars, unsigned char tag);
// archiveRoot of the job settings, at most 260 characters, in the OEM code page (buffer of 261).
void ArchiveRootOem(char* prefix);
constexpr uint32_t kRecordFlagsOffset = 0;
constexpr uint32_t kRecordKindOffset = 2;
