// Reading the archive directory record files "archive.add" and "archive.dir" of an archive tree.
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/locator_internal.h"
#include "discovery/path_utils.h"
#include "discovery/tag_list.h"
#include "engine/records.h"

void ScanRecordFile(const char* directory, const char* fileName, RecordVisitor visitor, void* context,
                    int readOnly) {
  char path[kPathBuffer];
  if (fileName != nullptr && fileName[0] != '\0') {
    if (!JoinPathWhole(path, directory, fileName, sizeof path)) return;
  } else if (!CopyWhole(path, sizeof path, directory)) {
    return;
  }
  FileHandle file = OsOpenFile(path, readOnly ? FileOpenRead : FileOpenReadWrite);
  if (file == kNoFile) return;
  char record[kRecordSize];
  for (int64_t offset = 0;; offset += kRecordSize) {
    if (OsSeekFile(file, offset, SeekFromStart) != offset) break;
    if (OsReadFile(file, record, kRecordSize) != static_cast<int32_t>(kRecordSize)) break;
    unsigned answer = visitor(record, context);
    if (!readOnly && (answer & RecordWriteBack) != 0) {
      if (OsSeekFile(file, offset, SeekFromStart) == offset) OsWriteFile(file, record, kRecordSize);
    }
    if ((answer & RecordStopScan) != 0) break;
  }
  OsCloseFile(file);
}

namespace {
// A tag's text in the ANSI code page; absent tags read as "".
void TagTextAnsi(char* record, unsigned char tag, char* out, size_t size) {
  GetTagText(record + kRecordTagsOffset, kRecordTagsSize, tag, out, size);
  OsOemToAnsi(out, out);
}
}  // namespace

unsigned TakeFirstArchivePath(char* record, void* context) {
  char* archiveRoot = static_cast<char*>(context);
  char path[kRecordTagsSize];
  TagTextAnsi(record, TagPath, path, sizeof path);
  CopyBounded(archiveRoot, kPathChars, path);
  return RecordStopScan;
}

unsigned MatchArchiveDirName(char* record, void* context) {
  const char* childName = static_cast<const char*>(context);
  if (childName == nullptr || childName[0] == '\0') return RecordStopScan;
  char name[kRecordTagsSize];
  TagTextAnsi(record, TagName, name, sizeof name);
  if (!EqualNoCase(name, childName)) return 0;
  if (g_jobSettings.archiveRoot[0] == '\0') {
    char path[kRecordTagsSize];
    TagTextAnsi(record, TagPath, path, sizeof path);
    CopyBounded(g_jobSettings.archiveRoot, kPathChars, path);
  }
  return RecordStopScan;
}
