#pragma once
// Archive directory records: the 430-byte records of "archive.dat", "archive.dir", "archive.add".
#include <cstdint>

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

// writeBlock callback of explodeStream; userParameter is the address of the int record file kind.
void WriteRecords(char* buffer, uint32_t* count, void* kindAddress);
void RewriteRecordPaths(int* kindAddress, uint32_t recordCount, char* records);
void MergeArchiveRecords();
int IsTopLevelPath(const char* path);
