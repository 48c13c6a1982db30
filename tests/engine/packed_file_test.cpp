// Packed files on disk, read through the seam: the trailer check and the entry walk.
#include "engine/packed_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/explode.h"
#include "platform/platform.h"
#include "tests/engine/signed_program_support.h"
#include "tools/zpack/pack_writer.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "platform/test_hooks.h"
#endif

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

// A folder of this test run; natively it is drive T: of the seam.
std::string TempFolder() {
  static std::string folder = [] {
#ifdef _WIN32
    fs::path dir = fs::temp_directory_path() / ("zpacked_" + std::to_string(GetCurrentProcessId()));
#else
    fs::path dir = fs::temp_directory_path() / ("zpacked_" + std::to_string(getpid()));
#endif
    fs::create_directories(dir);
    return dir.string();
  }();
  return folder;
}

// Writes the bytes to a file and opens it through the seam for reading.
FileHandle OpenBytes(const Bytes& bytes, const char* name = "test.zpk") {
  std::string host = (fs::path(TempFolder()) / name).string();
  EXPECT_TRUE(zpack::WriteWholeFile(host, bytes));
#ifdef _WIN32
  std::string seam = host;
#else
  OsMapDriveForTests('T', TempFolder().c_str());
  std::string seam = std::string("T:\\") + name;
#endif
  FileHandle file = OsOpenFile(seam.c_str(), FileOpenRead);
  EXPECT_NE(file, kNoFile) << seam;
  return file;
}

struct Opened {
  FileHandle file;
  explicit Opened(const Bytes& bytes) : file(OpenBytes(bytes)) {}
  ~Opened() {
    if (file != kNoFile) OsCloseFile(file);
  }
};

Bytes Data(size_t size, unsigned seed) {
  Bytes data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>((i * seed) ^ (i >> 3));
  return data;
}

std::vector<zpack::PackEntry> SampleEntries() {
  return {
      zpack::MakeFileEntry("\\archive.dat", Data(860, 7), ImplodeAscii, 4096, 1230768000),
      zpack::MakeFileEntry("\\access.ini", {}, ImplodeBinary, 4096, 1230768001),
      zpack::MakeDirectoryEntry("\\config", 1230768002),
      zpack::MakeFileEntry("\\config\\settings.txt", Data(5000, 3), ImplodeBinary, 2048, 1230768003),
  };
}

zpack::TrailerInfo Info() {
  zpack::TrailerInfo info;
  info.title = "Connect Beispielarchiv";
  info.subdirectory = "\\ARCHIVE\\SYSTEM\\connect";
  return info;
}

struct Walked {
  std::vector<std::string> names;
  std::vector<EntryHeader> headers;
  std::vector<int64_t> dataStarts;
};

// The walk as the extraction performs it: each header at the previous data start plus storedSize.
Walked Walk(FileHandle file) {
  Walked walked;
  OsSeekFile(file, g_trailer.firstEntryOffset, SeekFromStart);
  for (uint32_t i = 0; i < g_trailer.entryCount; ++i) {
    EntryHeaderBuffer buffer;
    if (ReadEntryHeader(file, &buffer) != EntryRead) break;
    int64_t dataStart = OsSeekFile(file, 0, SeekFromCurrent);
    walked.names.emplace_back(EntryName(buffer));
    walked.headers.push_back(buffer.header);
    walked.dataStarts.push_back(dataStart);
    OsSeekFile(file, dataStart + buffer.header.storedSize, SeekFromStart);
  }
  return walked;
}

const std::vector<std::string> kSampleNames = {"\\archive.dat", "\\access.ini", "\\config", "\\config\\settings.txt"};

TEST(PackedFile, StandaloneAndAppendedFilesReadAlike) {
  Bytes standalone = zpack::BuildPackedFile(SampleEntries(), Info());
  {
    Opened f(standalone);
    ASSERT_EQ(ReadTrailer(f.file), 1);
    EXPECT_EQ(g_trailer.firstEntryOffset, 0u);
    EXPECT_EQ(g_trailer.entryCount, 4u);
    EXPECT_EQ(g_trailer.fileSize, standalone.size());
    EXPECT_EQ(g_trailer.unpackedSize, 4096u + 8192u);
    EXPECT_STREQ(g_trailer.title, "Connect Beispielarchiv");
    EXPECT_STREQ(g_trailer.subdirectory, "\\ARCHIVE\\SYSTEM\\connect");
    Walked w = Walk(f.file);
    EXPECT_EQ(w.names, kSampleNames);
    // The data of the last entry ends where the trailer begins.
    EXPECT_EQ(w.dataStarts.back() + w.headers.back().storedSize, static_cast<int64_t>(standalone.size()) - 256);
  }
  // Appended behind other content, itself a complete packed file: the outer trailer counts.
  Bytes leading = zpack::BuildPackedFile({zpack::MakeDirectoryEntry("\\other", 5)}, Info());
  leading.resize(188416, 0x90);
  Bytes appended = zpack::BuildPackedFile(SampleEntries(), Info(), leading);
  Opened f(appended);
  ASSERT_EQ(ReadTrailer(f.file), 1);
  EXPECT_EQ(g_trailer.firstEntryOffset, 188416u);
  EXPECT_EQ(g_trailer.fileSize, appended.size());
  EXPECT_EQ(Walk(f.file).names, kSampleNames);
}

TEST(PackedFile, OneByteMoreOrLessAnywhereIsInvalid) {
  Bytes good = zpack::BuildPackedFile(SampleEntries(), Info());
  size_t trailer = good.size() - 256;
  for (size_t at : {size_t{0}, good.size() / 2, trailer - 1, trailer, trailer + 20, good.size() - 1, good.size()}) {
    Bytes more = good;
    more.insert(more.begin() + static_cast<long>(at), 0x00);
    Opened f(more);
    EXPECT_EQ(ReadTrailer(f.file), 0) << "byte added at " << at;
    if (at == good.size()) continue;
    Bytes less = good;
    less.erase(less.begin() + static_cast<long>(at));
    Opened g(less);
    EXPECT_EQ(ReadTrailer(g.file), 0) << "byte removed at " << at;
  }
  Bytes wrongMagic = good;
  wrongMagic[trailer + 3] = '3';
  Opened f(wrongMagic);
  EXPECT_EQ(ReadTrailer(f.file), 0);
}

// A program signed after the packed file was appended: the trailer is found in front of the
// certificate table and its padding, whatever that padding's length; a table that does not reach the
// end, a damaged table entry, or padding that is not zero leave the file judged by its end (invalid).
TEST(PackedFile, SignedProgramsAreReadInFrontOfTheirCertificateTable) {
  for (size_t programSize = 1024; programSize < 1032; ++programSize) {  // every padding from 0 to 7 bytes
    Bytes packed = zpack::BuildPackedFile(SampleEntries(), Info(), zsigned::MinimalProgram(programSize));
    Bytes signedFile = zsigned::Signed(packed);
    Opened f(signedFile);
    ASSERT_EQ(ReadTrailer(f.file), 1) << programSize;
    EXPECT_EQ(g_trailer.fileSize, packed.size());
    EXPECT_EQ(Walk(f.file).names, kSampleNames);
  }
  const Bytes packed = zpack::BuildPackedFile(SampleEntries(), Info(), zsigned::MinimalProgram(1027));
  const Bytes good = zsigned::Signed(packed);
  const size_t table = good.size() - ((8 + 1001 + 7) & ~7u);

  Bytes behind = good;
  behind.push_back(0);  // a byte after the table: the table no longer reaches the end
  Bytes damagedLength = good;
  zsigned::Put32(damagedLength, table, 0x7FFFFFF0u);
  Bytes damagedRevision = good;
  damagedRevision[table + 5] = 0x07;
  Bytes paddingNotZero = good;
  paddingNotZero[table - 1] = 0x01;
  Bytes tableShort = good;  // the directory names a table that ends before the file does
  zsigned::Put32(tableShort, zsigned::kSecurityEntry + 4, static_cast<uint32_t>(good.size() - table - 8));
  for (const Bytes* bad : {&behind, &damagedLength, &damagedRevision, &paddingNotZero, &tableShort}) {
    Opened f(*bad);
    EXPECT_EQ(ReadTrailer(f.file), 0);
  }
}

TEST(PackedFile, FilesShorterThanATrailerAreInvalidAndLeaveTheRecordClear) {
  Bytes trailerOnly = zpack::BuildPackedFile({}, Info());
  ASSERT_EQ(trailerOnly.size(), 256u);
  {
    Opened f(trailerOnly);
    EXPECT_EQ(ReadTrailer(f.file), 1);
    EXPECT_EQ(g_trailer.entryCount, 0u);
  }
  // 255 bytes beginning with a trailer whose fileSize says 255: judged by nothing but its length.
  zpack::TrailerInfo info = Info();
  info.fileSizeOverride = 255;
  Bytes shortFile = zpack::BuildPackedFile({}, info);
  shortFile.resize(255);
  for (size_t size : {size_t{255}, size_t{4}, size_t{0}}) {
    shortFile.resize(size);
    Opened f(shortFile);
    EXPECT_EQ(ReadTrailer(f.file), 0) << size;
    EXPECT_EQ(g_trailer.magic, 0u);
    EXPECT_EQ(g_trailer.title[0], 0);
  }
}

TEST(PackedFile, UnterminatedTextsAreCutInsideTheirFields) {
  Bytes bytes = zpack::BuildPackedFile({}, Info());
  std::memset(bytes.data() + 24, 'T', 81);
  std::memset(bytes.data() + 105, 'S', 81 + 70);
  Opened f(bytes);
  EXPECT_EQ(ReadTrailer(f.file), 1);
  EXPECT_EQ(std::strlen(g_trailer.title), 80u);
  EXPECT_EQ(std::strlen(g_trailer.subdirectory), 80u);
}

TEST(PackedFile, HeadersNamesAndEntriesWithoutData) {
  Bytes bytes = zpack::BuildPackedFile(SampleEntries(), Info());
  Opened f(bytes);
  ASSERT_EQ(ReadTrailer(f.file), 1);
  Walked w = Walk(f.file);
  ASSERT_EQ(w.names.size(), 4u);
  EXPECT_EQ(w.headers[0].headerSize, 36u);  // a 12-character name
  EXPECT_EQ(w.headers[0].entryFlags, EntryHasRecords);
  EXPECT_EQ(w.headers[0].attributes, 0x20u);
  EXPECT_EQ(w.headers[0].writeTime, 1230768000u);
  EXPECT_EQ(w.headers[1].storedSize, 0u);
  EXPECT_EQ(w.headers[2].entryFlags, EntryIsDirectory);
  EXPECT_EQ(w.headers[2].attributes, 0x10u);
  EXPECT_EQ(w.headers[2].headerSize, 31u);
  EXPECT_EQ(w.headers[2].storedSize, 0u);
  // An entry without data: the next header follows its name directly.
  EXPECT_EQ(w.dataStarts[2], w.dataStarts[1] + 31);
  EXPECT_EQ(w.dataStarts[3], w.dataStarts[2] + 24 + 20);
}

TEST(PackedFile, ABufferFromALongerNameLeavesNothingBehind) {
  std::string longName = "\\" + std::string(259, 'L');  // 260 characters: headerSize 284
  std::vector<zpack::PackEntry> entries = {zpack::MakeDirectoryEntry(longName, 0),
                                           zpack::MakeDirectoryEntry("\\s", 0)};
  Bytes bytes = zpack::BuildPackedFile(entries, Info());
  Opened f(bytes);
  ASSERT_EQ(ReadTrailer(f.file), 1);
  OsSeekFile(f.file, 0, SeekFromStart);
  EntryHeaderBuffer buffer;
  std::memset(buffer.bytes, 'x', sizeof buffer.bytes);
  ASSERT_EQ(ReadEntryHeader(f.file, &buffer), EntryRead);
  EXPECT_EQ(buffer.header.headerSize, 284u);
  EXPECT_EQ(std::string(EntryName(buffer)), longName);
  EXPECT_EQ(buffer.bytes[284], 0);
  ASSERT_EQ(ReadEntryHeader(f.file, &buffer), EntryRead);
  EXPECT_STREQ(EntryName(buffer), "\\s");
}

TEST(PackedFile, DataTheDecoderLeavesDoesNotDisturbTheWalk) {
  Bytes content = Data(3000, 5);
  std::vector<zpack::PackEntry> entries = {zpack::MakeFileEntry("\\a.bin", content, ImplodeBinary, 1024, 0),
                                           zpack::MakeFileEntry("\\b.txt", Data(10, 1), ImplodeAscii, 4096, 0)};
  entries[0].stored.insert(entries[0].stored.end(), 5000, 0xEE);  // more than the decoder reads ahead
  Bytes bytes = zpack::BuildPackedFile(entries, Info());
  Opened f(bytes);
  ASSERT_EQ(ReadTrailer(f.file), 1);
  EntryHeaderBuffer buffer;
  EXPECT_EQ(ReadEntryHeader(f.file, &buffer), EntriesEnded) << "the file stands at its end after the trailer check";
  OsSeekFile(f.file, 0, SeekFromStart);
  ASSERT_EQ(ReadEntryHeader(f.file, &buffer), EntryRead);
  int64_t dataStart = OsSeekFile(f.file, 0, SeekFromCurrent);
  struct Context {
    FileHandle file;
    uint32_t remaining;
    Bytes out;
  } context{f.file, buffer.header.storedSize, {}};
  auto read = [](char* b, uint32_t* count, void* p) -> uint32_t {
    Context* c = static_cast<Context*>(p);
    uint32_t want = std::min(*count, c->remaining);
    int32_t got = want == 0 ? 0 : OsReadFile(c->file, b, want);
    if (got <= 0) return 0;
    c->remaining -= static_cast<uint32_t>(got);
    return static_cast<uint32_t>(got);
  };
  auto write = [](char* b, uint32_t* count, void* p) {
    Context* c = static_cast<Context*>(p);
    c->out.insert(c->out.end(), b, b + *count);
  };
  auto work = std::make_unique<ExplodeWorkArea>();
  EXPECT_EQ(explodeStream(read, write, work.get(), &context), ExplodeOk);
  EXPECT_EQ(context.out, content);
  EXPECT_GT(context.remaining, 0u) << "the decoder stopped before the stored bytes ran out";
  OsSeekFile(f.file, dataStart + buffer.header.storedSize, SeekFromStart);
  ASSERT_EQ(ReadEntryHeader(f.file, &buffer), EntryRead);
  EXPECT_STREQ(EntryName(buffer), "\\b.txt");
}

// Header sizes the reader cannot use end the walk, and never make it write past its buffer.
TEST(PackedFile, ImpossibleHeaderSizesEndTheWalk) {
  struct Guarded {
    EntryHeaderBuffer buffer;
    unsigned char guard[70000];
  };
  auto guarded = std::make_unique<Guarded>();
  for (int size : {0, 1, 2, 23, 285, 300, 65535}) {
    std::vector<zpack::PackEntry> entries = {zpack::MakeDirectoryEntry("\\" + std::string(300, 'n'), 0),
                                             zpack::MakeDirectoryEntry("\\next", 0)};
    entries[0].headerSizeOverride = size;
    Bytes bytes = zpack::BuildPackedFile(entries, Info());
    bytes.insert(bytes.end() - 256, 70000, 'g');  // plenty to read for a reader that does not check
    Opened f(bytes);
    std::memset(guarded->guard, 0x5A, sizeof guarded->guard);
    OsSeekFile(f.file, 0, SeekFromStart);
    EXPECT_EQ(ReadEntryHeader(f.file, &guarded->buffer), EntriesEnded) << "headerSize " << size;
    bool intact = true;
    for (unsigned char c : guarded->guard) intact = intact && c == 0x5A;
    EXPECT_TRUE(intact) << "headerSize " << size;
  }
  // 24 is the smallest usable size: an entry with an empty name.
  std::vector<zpack::PackEntry> entries = {zpack::MakeDirectoryEntry("", 0)};
  Bytes bytes = zpack::BuildPackedFile(entries, Info());
  Opened f(bytes);
  OsSeekFile(f.file, 0, SeekFromStart);
  EXPECT_EQ(ReadEntryHeader(f.file, &guarded->buffer), EntryRead);
  EXPECT_STREQ(EntryName(guarded->buffer), "");
}

TEST(PackedFile, AHeaderCutShortEndsTheWalk) {
  Bytes bytes = zpack::BuildPackedFile({zpack::MakeDirectoryEntry("\\config", 0)}, Info());
  for (size_t keep : {size_t{1}, size_t{2}, size_t{10}, size_t{30}}) {
    Bytes cut(bytes.begin(), bytes.begin() + static_cast<long>(keep));
    Opened f(cut);
    EntryHeaderBuffer buffer;
    EXPECT_EQ(ReadEntryHeader(f.file, &buffer), EntriesEnded) << keep;
  }
}

}  // namespace
