// Fuzzer: arbitrary record files in and above a target directory on the native file-system seam
// ("archive.add" in the target, "archive.dir" in every directory above it, any length, some of them
// read-only), an arbitrary target tree (often with long names, up to the 260-character bound) and an
// arbitrary archive root. First the locator looks for the archive root (DeriveArchiveRoot): it must
// change no file and leave bounded settings. Then MergeArchiveRecords runs, and afterwards every
// record file must keep the record layout: at most one record changed per file, every other record
// and every byte behind the whole records as before, the changed record as the merge builds it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "engine/records.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tests/fuzz/scratch_folder.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/tag_list_model.h"

namespace {

constexpr int kMaxLevels = 6;
constexpr uint32_t kTagsEnd = kRecordTagsOffset + kRecordTagsSize;

struct FileState {
  bool exists = false;
  std::string bytes;
  bool operator==(const FileState& other) const { return exists == other.exists && bytes == other.bytes; }
};

FileState ReadWhole(const std::string& path) {
  FileState state;
  FileHandle file = OsOpenFile(path.c_str(), FileOpenRead);
  if (file == kNoFile) return state;
  state.exists = true;
  char block[4096];
  int32_t got;
  while ((got = OsReadFile(file, block, sizeof block)) > 0) state.bytes.append(block, static_cast<size_t>(got));
  OsCloseFile(file);
  return state;
}

void WriteWhole(const std::string& path, const std::string& bytes, bool readOnly) {
  FileHandle file = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
  FUZZ_EXPECT(file != kNoFile);
  if (!bytes.empty()) FUZZ_EXPECT(OsWriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size())) == static_cast<int32_t>(bytes.size()));
  OsCloseFile(file);
  if (readOnly) OsSetAttributes(path.c_str(), kAttrReadOnly);
}

void SetUpDrive() {
  static bool done = false;
  if (done) return;
  done = true;
  const std::string folder = zfuzz::MakeScratchFolder("fuzz_record_merge");
  if (mkdir((folder + "/drive").c_str(), 0755) != 0 || mkdir((folder + "/unc").c_str(), 0755) != 0 ||
      mkdir((folder + "/unc/SRV").c_str(), 0755) != 0 || symlink("../../drive", (folder + "/unc/SRV/SYS").c_str()) != 0)
    std::abort();
  OsMapDriveForTests('F', (folder + "/drive").c_str());
  OsMapUncRootForTests((folder + "/unc").c_str());
  // An installation at the drive root, so that an "archive" level right below it names a server.
  OsCreateDirectory("F:\\clients");
  WriteWhole("F:\\clients\\setup.inf", "[COMMON]\r\nServer=SRV\r\nVolume=SYS\r\n", false);
}

std::string LevelName(uint8_t choice) {
  static const char* const kNames[] = {"archive", "ARCHIVE", "system", "connect", "Daten", "x", "a.b", "SYSTEM"};
  if (choice < 200) return kNames[choice % 8];
  return std::string(20 + (choice - 200) * 4u, 'L');  // 20-240 characters
}

std::string Name(const char* record) {
  return zfuzz::ParseTagList(record + kRecordTagsOffset, kRecordTagsSize).Get(TagName);
}

bool IsFree(const char* record) { return (RecordWord(record, kRecordFlagsOffset) & RecordSlotFree) != 0; }

// Names the merge may take for equal: the same length, and each pair of characters equal, equal but
// for ASCII case, or both outside ASCII (where the code pages decide).
bool MayEqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x == y || (x >= 0x80 && y >= 0x80)) continue;
    const unsigned char lx = x >= 'A' && x <= 'Z' ? x + 32 : x, ly = y >= 'A' && y <= 'Z' ? y + 32 : y;
    if (lx != ly) return false;
  }
  return true;
}

// Sets a tag as the merge does: a value that does not fit leaves the list as it was.
void SetKeeping(zfuzz::TagListModel& model, const std::string& text, int maxChars, unsigned char tag) {
  zfuzz::TagListModel changed = model;
  if (changed.Set(kRecordTagsSize, text, maxChars, tag) >= 0) model = changed;
}

const char* LastComponent(const char* path) {
  const char* last = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') last = p + 1;
  return last;
}

// Whole records of two versions of a file that differ (an index past the old records counts when
// the new file has it). The bytes behind the last whole record of the new file must be the old ones.
std::vector<size_t> ChangedRecords(const FileState& before, const FileState& after) {
  std::vector<size_t> changed;
  const size_t oldRecords = before.bytes.size() / kRecordSize;
  const size_t newRecords = after.bytes.size() / kRecordSize;
  FUZZ_EXPECT(newRecords == oldRecords || newRecords == oldRecords + 1);
  if (newRecords == oldRecords) FUZZ_EXPECT(after.bytes.size() == before.bytes.size());
  else FUZZ_EXPECT(after.bytes.size() >= before.bytes.size());
  for (size_t n = 0; n < newRecords; ++n) {
    if (n >= oldRecords || std::memcmp(before.bytes.data() + n * kRecordSize, after.bytes.data() + n * kRecordSize, kRecordSize) != 0)
      changed.push_back(n);
  }
  const size_t whole = newRecords * kRecordSize;
  if (after.bytes.size() > whole) FUZZ_EXPECT(before.bytes.compare(whole, std::string::npos, after.bytes, whole, std::string::npos) == 0);
  FUZZ_EXPECT(changed.size() <= 1);
  return changed;
}

// A record the merge made itself: zero but for the kind word and the list.
void ExpectNewRecordFrame(const char* record) {
  for (uint32_t i = 0; i < kRecordSize; ++i) {
    if (i >= kRecordTagsOffset && i < kTagsEnd) continue;
    if (i == kRecordKindOffset || i == kRecordKindOffset + 1) continue;
    FUZZ_EXPECT(record[i] == '\0');
  }
  FUZZ_EXPECT(RecordWord(record, kRecordKindOffset) == kRecordKindArchive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpDrive();
  zfuzz::Input input(data, size);

  // The target tree F:\L1\...\Ld; dirs[0] is the target, dirs[k] the k-th directory above it.
  const int wantedLevels = 1 + input.Byte() % kMaxLevels;
  std::string target = "F:";
  std::vector<std::string> made;
  for (int k = 0; k < wantedLevels; ++k) {
    const std::string longer = target + "\\" + LevelName(input.Byte());
    if (longer.size() > static_cast<size_t>(kPathChars) - 12) break;  // room for "\archive.add"
    target = longer;
    FUZZ_EXPECT(OsCreateDirectory(target.c_str()) || (OsGetAttributes(target.c_str()) & kAttrDirectory) != 0);
    made.push_back(target);
  }
  if (made.empty()) return 0;
  std::vector<std::string> dirs(made.rbegin(), made.rend());
  dirs.push_back("F:");

  // The record files: archive.add in the target, archive.dir above it.
  const uint8_t present = input.Byte();
  const uint8_t readOnly = input.Byte();
  std::vector<std::string> paths;
  std::vector<FileState> before;
  for (size_t k = 0; k < dirs.size(); ++k) {
    paths.push_back(dirs[k] + (k == 0 ? "\\archive.add" : "\\archive.dir"));
    FileState state;
    const size_t length = input.Word() % 4000;
    if ((present >> (k % 8)) & 1) {
      state.exists = true;
      state.bytes = input.Bytes(length);
      WriteWhole(paths[k], state.bytes, k > 0 && ((readOnly >> (k % 8)) & 1));
    }
    before.push_back(state);
  }

  // The archive root: in UNC, volume or drive form over the target's levels, or any text.
  const uint8_t rootForm = input.Byte();
  const std::string tail = target.substr(2);
  std::string root;
  switch (rootForm % 4) {
    case 0: root = "\\\\SRV\\SYS\\zelvar" + tail; break;
    case 1: root = "SRV\\SYS:zelvar" + tail; break;
    case 2: root = target; break;
    default: root = input.Text(input.Byte() + (rootForm & 0x80 ? 100u : 0u)); break;
  }
  if (root.size() > static_cast<size_t>(kPathChars)) root.resize(kPathChars);
  const std::string archiveName = input.Text(kNameChars);

  // The locator: reads, never writes.
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  g_jobSettings.platformIsNt = 1;
  // The target as the locator may be given it: drive form, or the same folder as \\SRV\SYS\... or
  // SRV\SYS:... (the UNC root holds SRV\SYS as a link to the drive's folder).
  std::string targetGiven = target + ((rootForm & 0x40) != 0 ? "\\" : "");
  if ((rootForm & 0x30) == 0x10) targetGiven = "\\\\SRV\\SYS" + targetGiven.substr(2);
  if ((rootForm & 0x30) == 0x20) targetGiven = "SRV\\SYS:" + targetGiven.substr(3);
  if (targetGiven.size() > static_cast<size_t>(kPathChars)) targetGiven = target;
  std::memcpy(g_jobSettings.targetDir, targetGiven.c_str(), targetGiven.size() + 1);
  DeriveArchiveRoot();
  FUZZ_EXPECT(std::memchr(g_jobSettings.archiveRoot, '\0', kPathBuffer) != nullptr);
  FUZZ_EXPECT(std::memchr(g_jobSettings.targetDir, '\0', kPathBuffer) != nullptr);
  for (size_t k = 0; k < paths.size(); ++k) FUZZ_EXPECT(ReadWhole(paths[k]) == before[k]);
  // The target's "archive.add" names the root, when its name in the form the locator uses fits a path.
  const size_t addPathLength = std::strlen(g_jobSettings.targetDir) + std::strlen("\\archive.add");
  if (before[0].bytes.size() >= kRecordSize && addPathLength <= static_cast<size_t>(kPathChars)) {
    std::string recorded = zfuzz::ParseTagList(before[0].bytes.data() + kRecordTagsOffset, kRecordTagsSize).Get(TagPath);
    char ansi[kRecordTagsSize];
    OsOemToAnsi(recorded.c_str(), ansi);
    recorded = std::string(ansi).substr(0, kPathChars);
    if (!recorded.empty()) FUZZ_EXPECT(recorded == g_jobSettings.archiveRoot);
  }

  // The merge.
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  std::memcpy(g_jobSettings.targetDir, target.c_str(), target.size() + 1);
  std::memcpy(g_jobSettings.archiveRoot, root.c_str(), root.size() + 1);
  std::memcpy(g_jobSettings.archiveName, archiveName.c_str(), archiveName.size() + 1);
  MergeArchiveRecords();

  std::vector<FileState> after;
  for (const std::string& path : paths) after.push_back(ReadWhole(path));

  // The archive's own record, in "archive.add" when that held one, else made new.
  char rootOem[kPathBuffer];
  ArchiveRootOem(rootOem);
  char nameOem[kNameBuffer];
  OsAnsiToOem(archiveName.c_str(), nameOem);
  const char* last = LastComponent(rootOem);
  const bool fromFile = before[0].bytes.size() >= kRecordSize;
  zfuzz::TagListModel own = fromFile ? zfuzz::ParseTagList(before[0].bytes.data() + kRecordTagsOffset, kRecordTagsSize)
                                     : zfuzz::TagListModel();
  SetKeeping(own, rootOem, -1, TagPath);
  SetKeeping(own, last, 90, TagName);
  SetKeeping(own, nameOem[0] != '\0' ? nameOem : last, 95, TagTitle);
  std::string ownRecord(kRecordSize, '\0');
  if (fromFile) {
    const std::string& old = before[0].bytes;
    FUZZ_EXPECT(after[0].bytes.size() == old.size());
    FUZZ_EXPECT(old.compare(kRecordSize, std::string::npos, after[0].bytes, kRecordSize, std::string::npos) == 0);
    ownRecord = after[0].bytes.substr(0, kRecordSize);
    FUZZ_EXPECT(zfuzz::ParseTagList(ownRecord.data() + kRecordTagsOffset, kRecordTagsSize) == own);
    FUZZ_EXPECT(RecordWord(ownRecord.data(), kRecordFlagsOffset) == (RecordWord(old.data(), kRecordFlagsOffset) & ~RecordSlotFree));
    FUZZ_EXPECT(old.compare(2, kRecordTagsOffset - 2, ownRecord, 2, kRecordTagsOffset - 2) == 0);
    FUZZ_EXPECT(old.compare(kTagsEnd, kRecordSize - kTagsEnd, ownRecord, kTagsEnd, kRecordSize - kTagsEnd) == 0);
  } else {
    FUZZ_EXPECT(after[0] == before[0]);
  }

  const bool topLevel = IsTopLevelPath(rootOem) != 0;
  bool ended = topLevel;
  for (size_t k = 1; k < paths.size(); ++k) {
    if (ended) {
      FUZZ_EXPECT(after[k] == before[k]);
      continue;
    }
    // Every directory up to the parent's parent is asked at least; higher ones only while the walk goes on.
    if (!after[k].exists) {
      FUZZ_EXPECT(k > 1 && !before[k].exists);
      continue;
    }
    const std::vector<size_t> changed = ChangedRecords(before[k], after[k]);
    if (changed.empty()) continue;
    const size_t slot = changed[0];
    const char* written = after[k].bytes.data() + slot * kRecordSize;
    const size_t oldRecords = before[k].bytes.size() / kRecordSize;
    const char* old = slot < oldRecords ? before[k].bytes.data() + slot * kRecordSize : nullptr;
    const zfuzz::TagListModel list = zfuzz::ParseTagList(written + kRecordTagsOffset, kRecordTagsSize);
    if (k == 1) {
      // The parent's record of the archive: the own record, over a record of its name, else over
      // the last free slot, else appended.
      if (fromFile) {
        FUZZ_EXPECT(std::memcmp(written, ownRecord.data(), kRecordSize) == 0);
      } else {
        ExpectNewRecordFrame(written);
        FUZZ_EXPECT(list == own);
      }
      const std::string name = own.Get(TagName);
      for (size_t n = 0; n < slot && n < oldRecords; ++n) FUZZ_EXPECT(Name(before[k].bytes.data() + n * kRecordSize) != name);
      if (old == nullptr || !MayEqualNoCase(Name(old), name)) {
        for (size_t n = slot + 1; n < oldRecords; ++n) FUZZ_EXPECT(!IsFree(before[k].bytes.data() + n * kRecordSize));
        FUZZ_EXPECT(old == nullptr || IsFree(old));
      }
      continue;
    }
    // An ancestor: found by its path (only the reuse flag cleared, and the walk ends), or a new record.
    if (old != nullptr && std::memcmp(old + 2, written + 2, kRecordSize - 2) == 0) {
      FUZZ_EXPECT(RecordWord(written, kRecordFlagsOffset) == (RecordWord(old, kRecordFlagsOffset) & ~RecordSlotFree));
      ended = true;
      continue;
    }
    ExpectNewRecordFrame(written);
    const std::string path = list.Get(TagPath);
    FUZZ_EXPECT(!path.empty() && path.size() < std::strlen(rootOem) && std::strncmp(rootOem, path.c_str(), path.size()) == 0);
    FUZZ_EXPECT(std::strchr("\\/:", rootOem[path.size()]) != nullptr);
    // Path, name and title as far as they fit: a long path can leave no room for the other two.
    zfuzz::TagListModel expected;
    SetKeeping(expected, path, -1, TagPath);
    SetKeeping(expected, LastComponent(path.c_str()), 90, TagName);
    SetKeeping(expected, LastComponent(path.c_str()), 95, TagTitle);
    FUZZ_EXPECT(list == expected);
    if (old != nullptr) FUZZ_EXPECT(IsFree(old));
  }

  for (size_t k = 0; k < paths.size(); ++k) {
    OsSetAttributes(paths[k].c_str(), kAttrNormal);
    OsDeleteFile(paths[k].c_str());
  }
  for (const std::string& dir : dirs)
    if (dir != "F:") OsRemoveDirectory(dir.c_str());
  return 0;
}
