// Fuzzer: arbitrary bytes as the content of "archive.dat", "archive.dir" or "archive.add", handed to
// the extraction's write callback in arbitrary block sizes, with an arbitrary archive root (often one
// at the 260-character path bound). The written file must keep the record layout: its length, every
// byte outside the path entries, every record that is not rewritten, and in a rewritten record every
// tag but the path, checked against the plain model of the list.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "discovery/job_settings.h"
#include "engine/extraction.h"
#include "engine/records.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tests/fuzz/scratch_folder.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/tag_list_model.h"

namespace {

const std::string& HostFolder() {
  static std::string folder = [] {
    const std::string name = zfuzz::MakeScratchFolder("fuzz_records");
    OsMapDriveForTests('F', name.c_str());
    return name;
  }();
  return folder;
}

std::string ReadHostFile(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) std::abort();
  char block[4096];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  std::fclose(file);
  return bytes;
}

// The root: its length from one byte (0-239, or 245-260 at the path bound), its characters from the
// input (a NUL stands for a backslash), filled up with a pattern of path levels where the input ends.
std::string ArchiveRoot(zfuzz::Input& input) {
  const uint8_t choice = input.Byte();
  const size_t length = choice >= 0xF0 ? 260 - (choice - 0xF0) : choice;
  std::string root = input.Bytes(length);
  for (char& c : root)
    if (c == '\0') c = '\\';
  while (root.size() < length) root += root.size() % 9 == 0 ? '\\' : 'a';
  return root;
}

// What one record must look like after the rewriting.
void CheckRecord(const char* before, const char* after, bool rewritten, const std::string& prefix) {
  if (!rewritten) {
    FUZZ_EXPECT(std::memcmp(before, after, kRecordSize) == 0);
    return;
  }
  FUZZ_EXPECT(std::memcmp(before, after, kRecordTagsOffset) == 0);
  const uint32_t tail = kRecordTagsOffset + kRecordTagsSize;
  FUZZ_EXPECT(std::memcmp(before + tail, after + tail, kRecordSize - tail) == 0);
  zfuzz::TagListModel model = zfuzz::ParseTagList(before + kRecordTagsOffset, kRecordTagsSize);
  const std::string value = model.Get(TagPath);
  const bool absolute = value.compare(0, 2, "\\\\") == 0 || value.find(':') != std::string::npos;
  const bool tooLong = prefix.size() + value.size() > static_cast<size_t>(kPathChars);
  const bool stored = !absolute && !tooLong && model.Set(kRecordTagsSize, prefix + value, -1, TagPath) >= 0;
  if (!stored) {
    FUZZ_EXPECT(std::memcmp(before + kRecordTagsOffset, after + kRecordTagsOffset, kRecordTagsSize) == 0);
    return;
  }
  FUZZ_EXPECT(zfuzz::ParseTagList(after + kRecordTagsOffset, kRecordTagsSize) == model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = HostFolder();
  zfuzz::Input input(data, size);
  const int kind = static_cast<int>(input.Byte() % 4) - 1;  // none, "archive.dat", ".dir", ".add"
  const uint16_t blockSeed = input.Word();
  const std::string root = ArchiveRoot(input);
  const std::string content = input.Rest();

  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  std::memcpy(g_jobSettings.archiveRoot, root.c_str(), root.size() + 1);
  char prefix[kPathBuffer];
  ArchiveRootOem(prefix);

  OsDeleteFile("F:\\records.out");
  g_outputFile = OsOpenFile("F:\\records.out", FileOpenReadWriteTruncate);
  FUZZ_EXPECT(g_outputFile != kNoFile);
  g_outputWriteFailed = 0;
  // Blocks as the decompressor hands them on: at most blockLimit bytes, sizes varying with the seed.
  const uint32_t blockLimit = 1 + blockSeed % 4700;
  uint32_t state = blockSeed | 0x10000u;
  RecordStream stream = {kind, WriteOutputBytes};
  g_recordFill = 0;
  for (size_t at = 0; at < content.size();) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    uint32_t count = (blockSeed & 0x8000) != 0 ? blockLimit : 1 + state % blockLimit;
    if (count > content.size() - at) count = static_cast<uint32_t>(content.size() - at);
    char block[4700];
    std::memcpy(block, content.data() + at, count);
    WriteRecords(block, &count, &stream);
    FUZZ_EXPECT(g_recordFill < kRecordSize);
    at += count;
  }
  // The end of the stream, as the extraction handles it: a trailing incomplete record as it is.
  if (g_recordFill > 0) WriteOutputBytes(g_recordBuffer, g_recordFill);
  g_recordFill = 0;
  FlushOutput();
  OsCloseFile(g_outputFile);
  g_outputFile = kNoFile;
  FUZZ_EXPECT(!g_outputWriteFailed);

  const std::string written = ReadHostFile(folder + "/records.out");
  FUZZ_EXPECT(written.size() == content.size());
  const size_t records = content.size() / kRecordSize;
  for (size_t n = 0; n < records; ++n) {
    const bool rewritten = kind == RecordsArchiveDat || kind == RecordsArchiveDir || (kind == RecordsArchiveAdd && n == 0);
    CheckRecord(content.data() + n * kRecordSize, written.data() + n * kRecordSize, rewritten, prefix);
  }
  const size_t whole = records * kRecordSize;
  FUZZ_EXPECT(std::memcmp(content.data() + whole, written.data() + whole, content.size() - whole) == 0);
  return 0;
}
