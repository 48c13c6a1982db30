// Fuzzer: arbitrary bytes as a packed file. The trailer check, the entry walk and the decompression
// of every entry must stay inside their buffers whatever the file holds; the walk runs even when the
// trailer is invalid (with the entry count bounded), so header reading sees every kind of input.
// The walk reads through the buffered source reader as the extraction does, and every byte it hands
// out must be the file's byte at the position the reader reports.
// A file with a valid trailer is then extracted as the job does it (ExtractEntries, with the record
// files rewritten and merged) under F:\out; nothing may be written outside the target and the
// parent's "archive.dir", and the tree is removed again.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "discovery/job_settings.h"
#include "engine/explode.h"
#include "engine/extraction.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "engine/signed_program.h"
#include "engine/unpack_job.h"
#include "engine/source_reader.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tests/fuzz/scratch_folder.h"

namespace {

constexpr uint32_t kMaxEntries = 2000;

struct Stream {
  const uint8_t* data;  // the file's bytes
  size_t size;
  uint32_t remaining;
  uint64_t written;
};

// The reader's bytes against the file's own bytes at the position it reported before reading.
void CheckRead(const Stream& s, int64_t position, const void* buffer, int32_t got) {
  if (got <= 0) return;
  if (position < 0 || static_cast<uint64_t>(position) + static_cast<uint64_t>(got) > s.size) std::abort();
  if (std::memcmp(buffer, s.data + position, static_cast<size_t>(got)) != 0) std::abort();
}

uint32_t ReadStored(char* buffer, uint32_t* count, void* parameter) {
  Stream* s = static_cast<Stream*>(parameter);
  uint32_t want = *count < s->remaining ? *count : s->remaining;
  if (want == 0) return 0;
  const int64_t position = SourcePosition();
  int32_t got = ReadSource(buffer, want);
  CheckRead(*s, position, buffer, got);
  if (got <= 0) {
    s->remaining = 0;
    return 0;
  }
  s->remaining -= static_cast<uint32_t>(got);
  return static_cast<uint32_t>(got);
}

void CountOutput(char*, uint32_t* count, void* parameter) { static_cast<Stream*>(parameter)->written += *count; }

const std::string& HostFolder() {
  static std::string folder = [] {
    const std::string name = zfuzz::MakeScratchFolder("fuzz_packed_file");
    OsMapDriveForTests('F', name.c_str());
    return name;
  }();
  return folder;
}

const std::string& InputPath() {
  static std::string path = HostFolder() + "/input.zpk";
  return path;
}

// The job's extraction of the whole file under F:\out, the merge included; afterwards the drive may
// hold nothing but the packed file, the target and the "archive.dir" of the target's parent.
void Extract() {
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  std::strcpy(g_jobSettings.targetDir, "F:\\out");
  std::strcpy(g_jobSettings.archiveRoot, "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\SYSTEM\\connect");
  std::strcpy(g_jobSettings.archiveName, "Verbindung");
  g_workerState.stopRequested = 0;
  g_sourceFile = OsOpenFile("F:\\input.zpk", FileOpenRead);
  if (g_sourceFile == kNoFile) std::abort();
  ExtractEntries();
  if (g_sourceFile != kNoFile || g_outputFile != kNoFile) std::abort();
  DIR* drive = opendir(HostFolder().c_str());
  if (drive == nullptr) std::abort();
  while (const dirent* entry = readdir(drive)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && name != "input.zpk" && name != "out" && name != "archive.dir") std::abort();
  }
  closedir(drive);
  DeleteTree("F:\\out");
  OsDeleteFile("F:\\archive.dir");
  std::filesystem::remove_all(HostFolder() + "/out");  // what DeleteTree leaves: names beginning with a point
}

ExplodeWorkArea g_workArea;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* out = std::fopen(InputPath().c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, out);
  std::fclose(out);

  FileHandle file = OsOpenFile("F:\\input.zpk", FileOpenRead);
  if (file == kNoFile) std::abort();
  // A signed program's trailer stands in front of its certificate table.
  const int64_t packedLength = PackedDataLength(file);
  if (packedLength < 0 || packedLength > static_cast<int64_t>(size)) std::abort();
  int valid = ReadTrailer(file);
  if (std::strlen(g_trailer.title) > 80 || std::strlen(g_trailer.subdirectory) > 80) std::abort();
  if (valid && g_trailer.fileSize != packedLength) std::abort();

  uint32_t count = g_trailer.entryCount < kMaxEntries ? g_trailer.entryCount : kMaxEntries;
  if (BeginSourceReading(file, g_trailer.firstEntryOffset)) {
    for (uint32_t i = 0; i < count; ++i) {
      EntryHeaderBuffer buffer;
      const int64_t headerStart = SourcePosition();
      if (ReadEntryHeaderFrom(ReadSourceBlock, nullptr, &buffer) != EntryRead) break;
      uint32_t headerSize = buffer.header.headerSize;
      if (headerSize < kEntryHeaderMinSize || headerSize > kEntryHeaderMaxSize) std::abort();
      if (buffer.bytes[headerSize] != '\0' || std::strlen(EntryName(buffer)) > 260) std::abort();
      Stream stream{data, size, buffer.header.storedSize, 0};
      CheckRead(stream, headerStart, buffer.bytes, static_cast<int32_t>(headerSize));
      const int64_t dataStart = SourcePosition();
      if (dataStart != headerStart + headerSize) std::abort();
      if (buffer.header.storedSize > 0 && !(buffer.header.entryFlags & EntryIsDirectory)) {
        explodeStream(ReadStored, CountOutput, &g_workArea, &stream);
      }
      if (!SetSourcePosition(dataStart + buffer.header.storedSize)) break;
      if (SourcePosition() != dataStart + buffer.header.storedSize) std::abort();
    }
  }
  OsCloseFile(file);
  if (valid) Extract();
  return 0;
}
