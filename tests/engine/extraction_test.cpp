// Entry extraction over real packed files: contents, times, attributes, record rewriting, unsafe
// names, output failures and their answers, cancel, and the progress of both run modes.
#include <gtest/gtest.h>

#include "engine/extraction.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "engine/source_reader.h"
#include "tests/engine/extraction_support.h"
#include "tools/zpack/pack_writer.h"
#include "ui/path_display.h"

using namespace ztest;
using zpack::PackEntry;

namespace {

const uint32_t kCreation = 946728000;  // 2000-01-01 12:00 UTC
const uint32_t kAccess = 1104580800;   // 2005-01-01
const uint32_t kWrite = 1262347200;    // 2010-01-01

Bytes MixedData(size_t size, uint32_t seed) {
  Bytes data(size);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t k = 0; k < size; ++k) {
    state = state * 1103515245u + 12345u;
    // Runs of text with random bytes between them: both literals and repetitions.
    data[k] = (k / 64) % 3 == 0 ? static_cast<uint8_t>(state >> 24) : static_cast<uint8_t>("archive "[k % 8]);
  }
  return data;
}

PackEntry File(const std::string& name, const Bytes& data, uint32_t attributes = 0x20,
               ImplodeLiteralMode mode = ImplodeBinary, unsigned dictionary = 4096) {
  PackEntry entry = zpack::MakeFileEntry(name, data, mode, dictionary, kWrite);
  entry.creationTime = kCreation;
  entry.accessTime = kAccess;
  entry.attributes = attributes;
  return entry;
}

PackEntry Directory(const std::string& name) { return zpack::MakeDirectoryEntry(name, kCreation); }

struct Message {
  uint32_t message;
  MessageWParam wParam;
  std::string text;  // lParam as a text for the texts of UM_PROGRESS and UM_OUTPUT_FAILED
  MessageLParam lParam;
};

class ExtractionTest : public ::testing::Test {
 protected:
  ExtractionTest() : dir_("extract") {
    std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
    std::memset(&g_workerState, 0, sizeof g_workerState);
    target_ = dir_ / "connect";
    CopyBounded(g_jobSettings.targetDir, kPathChars, target_.c_str());
    CopyBounded(g_jobSettings.archiveRoot, kPathChars, "\\\\SRV\\SYS\\connect");
    g_workerState.progressWindow = window_.window();
    window_.OnMessage([this](WindowHandle, uint32_t message, MessageWParam wParam, MessageLParam lParam) {
      Message m{message, wParam, "", lParam};
      if ((message == UM_PROGRESS && wParam <= ProgressFileName) || message == UM_OUTPUT_FAILED) {
        m.text = reinterpret_cast<const char*>(lParam);
      }
      messages_.push_back(m);
      return answer_ ? answer_(m) : MessageResult(0);
    });
  }
  ~ExtractionTest() override { std::memset(&g_workerState, 0, sizeof g_workerState); }

  void Pack(const std::vector<PackEntry>& entries, const zpack::TrailerInfo& info = {}) {
    ASSERT_TRUE(WriteFileBytes(dir_ / "pack.zpk", zpack::BuildPackedFile(entries, info, TextBytes("MZ leading"))));
    g_sourceFile = OsOpenFile((dir_ / "pack.zpk").c_str(), FileOpenRead);
    ASSERT_NE(g_sourceFile, kNoFile);
    ASSERT_EQ(ReadTrailer(g_sourceFile), 1);
  }
  int Extract(const std::vector<PackEntry>& entries, const zpack::TrailerInfo& info = {}) {
    Pack(entries, info);
    const int result = ExtractEntries();
    EXPECT_EQ(g_sourceFile, kNoFile);  // closed in every case
    return result;
  }
  std::string At(const std::string& tail) const { return target_ + tail; }
  bool Exists(const std::string& tail) const { return OsPathExists(At(tail).c_str()) != 0; }
  Bytes Contents(const std::string& tail) const {
    Bytes data;
    EXPECT_TRUE(ReadFileBytes(At(tail), &data)) << tail;
    return data;
  }
  std::vector<MessageWParam> Sent(uint32_t message) const {
    std::vector<MessageWParam> values;
    for (const Message& m : messages_) {
      if (m.message == message) values.push_back(m.wParam);
    }
    return values;
  }
  void SetupCall(int32_t width = 0) {
    g_jobSettings.setupCall = 1;
    g_jobSettings.parentWindow = window_.window();
    g_jobSettings.parentControl = window_.control();
    g_jobSettings.parentPathWidth = width;
    g_workerState.progressWindow = nullptr;
  }

  ScratchDir dir_;
  MessageWindow window_;
  std::string target_;
  std::vector<Message> messages_;
  std::function<MessageResult(const Message&)> answer_;
};

uint64_t FileTimeOf(uint32_t unixTime) {
  uint64_t value = 0;
  EXPECT_EQ(OsUnixTimeToFileTime(unixTime, &value), 1);
  return value;
}

TEST_F(ExtractionTest, NewTargetGetsContentsTimesAndAttributes) {
  const Bytes text = MixedData(200000, 1);  // packed beyond the walk's 64 KB read buffer
  const Bytes binary = MixedData(9000, 2);
  PackEntry dir = Directory("\\config\\deep");
  dir.creationTime = dir.accessTime = dir.writeTime = kCreation;
  ASSERT_EQ(Extract({File("\\a.txt", text, 0x20, ImplodeAscii, 1024), dir,
                     File("\\config\\deep\\b.bin", binary, 0x2020, ImplodeBinary, 2048),
                     File("\\empty.txt", {}, 0x21)}),
            1);

  EXPECT_EQ(OsGetAttributes(At("\\a.txt").c_str()) & (kAttrArchive | kAttrReadOnly | kAttrNotContentIndexed),
            kAttrArchive);
#ifdef _WIN32
  // Wine keeps the DOS attributes only; "not content indexed" is dropped by its file system layer.
  EXPECT_EQ(OsGetAttributes(At("\\config\\deep\\b.bin").c_str()) & kAttrArchive, kAttrArchive);
#else
  EXPECT_EQ(OsGetAttributes(At("\\config\\deep\\b.bin").c_str()) & (kAttrArchive | kAttrNotContentIndexed),
            kAttrArchive | kAttrNotContentIndexed);
#endif
  EXPECT_EQ(OsGetAttributes(At("\\empty.txt").c_str()) & (kAttrArchive | kAttrReadOnly), kAttrArchive | kAttrReadOnly);

  for (const char* name : {"\\a.txt", "\\empty.txt"}) {
    uint64_t creation = 0, access = 0, write = 0;
    ASSERT_EQ(OsGetFileTimes(At(name).c_str(), &creation, &access, &write), 1);
#ifndef _WIN32
    EXPECT_EQ(creation, FileTimeOf(kCreation)) << name;  // Wine on a Linux file system keeps no creation time
#endif
    EXPECT_EQ(access, FileTimeOf(kAccess)) << name;
    EXPECT_EQ(write, FileTimeOf(kWrite)) << name;
  }
  // Read after the times: reading sets the access time.
  EXPECT_EQ(Contents("\\a.txt"), text);
  EXPECT_EQ(Contents("\\config\\deep\\b.bin"), binary);
  EXPECT_TRUE(Contents("\\empty.txt").empty());
  // The conversion is the UTC time of the stored Unix time, up to a zone offset.
  const int64_t utc = (static_cast<int64_t>(kWrite) + 11644473600LL) * 10000000LL;
  EXPECT_LE(std::llabs(static_cast<int64_t>(FileTimeOf(kWrite)) - utc), 14LL * 3600 * 10000000LL);

  // A directory entry is created but gets neither its attributes nor its times.
  EXPECT_NE(OsDirectoryExists(At("\\config\\deep").c_str()), 0);
  uint64_t dirWrite = 0;
  ASSERT_EQ(OsGetFileTimes(At("\\config\\deep").c_str(), nullptr, nullptr, &dirWrite), 1);
  EXPECT_NE(dirWrite, FileTimeOf(kCreation));
}

TEST_F(ExtractionTest, ExistingTargetAndReadOnlyFileAreOverwritten) {
  OsCreateDirectory(target_.c_str());
  ASSERT_TRUE(WriteFileBytes(At("\\a.txt"), Bytes(50000, 'o')));
  ASSERT_TRUE(WriteFileBytes(At("\\stays.txt"), TextBytes("other")));
  OsSetAttributes(At("\\a.txt").c_str(), kAttrReadOnly | kAttrArchive);
  ASSERT_EQ(Extract({File("\\a.txt", TextBytes("new contents"))}), 1);
  EXPECT_EQ(Contents("\\a.txt"), TextBytes("new contents"));
  EXPECT_EQ(OsGetAttributes(At("\\a.txt").c_str()) & kAttrReadOnly, 0u);
  EXPECT_EQ(Contents("\\stays.txt"), TextBytes("other"));
}

TEST_F(ExtractionTest, RecordFilesAreRewrittenByName) {
  std::vector<Bytes> dirRecords;
  for (int n = 0; n < 13; ++n) dirRecords.push_back(MakeRecord(0, {{TagPath, "\\r" + std::to_string(n)}}));
  const Bytes dirFile = Concat(dirRecords);
  const Bytes datFile = Concat({MakeRecord(0, {{TagPath, "\\x"}, {2, "two"}}), MakeRecord(0, {{TagPath, "D:\\y"}})});
  Bytes partial = datFile;
  partial.resize(partial.size() + 100, 'p');  // a trailing incomplete record comes through as it is
  PackEntry plain = File("\\notes.dat", datFile);
  plain.flags = EntryHasRecords;  // marked, but not a record file name
  ASSERT_EQ(Extract({File("\\archive.dir", dirFile), File("\\sub\\ARCHIVE.DAT", datFile), plain,
                     File("\\tail\\archive.dat", partial)}),
            1);
  const Bytes dirOut = Contents("\\archive.dir");
  ASSERT_EQ(dirOut.size(), dirFile.size());
  for (int n = 0; n < 13; ++n) EXPECT_EQ(RecordTag(dirOut, n, TagPath), "\\\\SRV\\SYS\\connect\\r" + std::to_string(n));
  const Bytes datOut = Contents("\\sub\\ARCHIVE.DAT");
  EXPECT_EQ(RecordTag(datOut, 0, TagPath), "\\\\SRV\\SYS\\connect\\x");
  EXPECT_EQ(RecordTag(datOut, 0, 2), "two");
  EXPECT_TRUE(std::equal(datFile.begin() + kRecordSize, datFile.end(), datOut.begin() + kRecordSize));
  EXPECT_EQ(Contents("\\notes.dat"), datFile);
  const Bytes tailOut = Contents("\\tail\\archive.dat");
  ASSERT_EQ(tailOut.size(), partial.size());
  EXPECT_TRUE(std::equal(partial.end() - 100, partial.end(), tailOut.end() - 100));
}

TEST_F(ExtractionTest, ArchiveAddAndMergeAfterSuccess) {
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, "\\\\SRV\\SYS\\ARCHIVE\\connect");
  CopyBounded(g_jobSettings.archiveName, kNameChars, "Titel");
  const Bytes add = Concat({MakeRecord(0, {{TagPath, "\\"}}), MakeRecord(0, {{TagPath, "\\second"}})});
  ASSERT_EQ(Extract({File("\\archive.add", add)}), 1);
  const Bytes addOut = Contents("\\archive.add");
  EXPECT_EQ(RecordTag(addOut, 0, TagPath), "\\\\SRV\\SYS\\ARCHIVE\\connect");
  EXPECT_EQ(RecordTag(addOut, 0, TagTitle), "Titel");
  EXPECT_EQ(RecordTag(addOut, 1, TagPath), "\\second");
  Bytes parent;
  ASSERT_TRUE(ReadFileBytes(dir_ / "archive.dir", &parent));
  EXPECT_EQ(RecordTag(parent, 0, TagName), "connect");
}

TEST_F(ExtractionTest, EmptyPackedFileCreatesTargetAndMerges) {
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, "C:\\ARCHIVE\\connect");
  ASSERT_EQ(Extract({}), 1);
  EXPECT_NE(OsDirectoryExists(target_.c_str()), 0);
  Bytes parent;
  ASSERT_TRUE(ReadFileBytes(dir_ / "archive.dir", &parent));
  EXPECT_EQ(RecordTag(parent, 0, TagPath), "C:\\ARCHIVE\\connect");
  EXPECT_EQ(Sent(UM_PROGRESS).front(), MessageWParam(ProgressEntryCount));
}

TEST(EntryNameTest, SafeAndUnsafeNames) {
  for (const char* good : {"\\a.txt", "\\config\\archive.dat", "\\a.b\\c", "\\...x", "\\x.", "\\CONFIG", "\\com10"}) {
    EXPECT_EQ(IsSafeEntryName(good), 1) << good;
  }
  for (const char* bad : {"\\..\\x", "\\a\\..\\..\\x", "\\..", "\\.\\x", "\\. .\\x", "\\...\\x", "\\C:\\x",
                          "\\x:stream", "\\a\\\\b", "\\\\srv\\share\\x", "\\", "\\a\\", "x.txt", "/../x", "\\a/../../x",
                          "\\CON", "\\nul.txt", "\\sub\\LPT1", "\\Aux .log", ""}) {
    EXPECT_EQ(IsSafeEntryName(bad), 0) << bad;
  }
  EXPECT_EQ(IsWritableEntry("\\abc", std::string(256, 'd').c_str()), 1);  // 260 characters
  EXPECT_EQ(IsWritableEntry("\\abcd", std::string(256, 'd').c_str()), 0);
}

TEST_F(ExtractionTest, UnsafeNamesAreNotWrittenAndFailTheExtraction) {
  const std::vector<std::string> bad = {"\\..\\evil1.txt", "\\sub\\..\\..\\evil2.txt", "evil3.txt", "\\x:evil4"};
  for (const std::string& name : bad) {
    DeleteTreeForTests(target_);
    ASSERT_EQ(Extract({File("\\good1.txt", TextBytes("1")), File(name, TextBytes("evil")),
                       File("\\good2.txt", TextBytes("2"))}),
              0)
        << name;
    EXPECT_TRUE(Exists("\\good2.txt"));  // the walk goes on; the extraction fails all the same
  }
  EXPECT_FALSE(OsPathExists((dir_ / "evil1.txt").c_str()));
  EXPECT_FALSE(OsPathExists((dir_ / "evil2.txt").c_str()));
  EXPECT_FALSE(OsPathExists((target_ + "evil3.txt").c_str()));
  EXPECT_FALSE(Exists("\\x"));
  EXPECT_FALSE(OsPathExists((dir_ / "archive.dir").c_str()));
}

TEST_F(ExtractionTest, FailedEntryIsNotHiddenByALaterGoodOne) {
  PackEntry broken = File("\\broken.bin", MixedData(20000, 3));
  broken.stored.resize(broken.stored.size() / 2);  // the stream is cut short
  ASSERT_EQ(Extract({broken, File("\\good.txt", TextBytes("good"))}), 0);
  EXPECT_EQ(Contents("\\good.txt"), TextBytes("good"));
  EXPECT_EQ(Sent(UM_PROGRESS).back(), MessageWParam(ProgressFileName));  // no final position report
}

TEST_F(ExtractionTest, MissingEntriesFailTheExtraction) {
  zpack::TrailerInfo info;
  info.entryCountOverride = 3;
  ASSERT_EQ(Extract({File("\\a.txt", TextBytes("a")), File("\\b.txt", TextBytes("b"))}, info), 0);
  EXPECT_TRUE(Exists("\\b.txt"));
}

TEST_F(ExtractionTest, OutputPathLongerThan260IsNotCut) {
  const std::string name = "\\" + std::string(257 - target_.size(), 'n') + "xyz";  // 261 characters in all
  ASSERT_EQ(target_.size() + name.size(), 261u);
  ASSERT_EQ(Extract({File(name, TextBytes("long"))}), 0);
  const std::string cut = (target_ + name).substr(0, 260);
  EXPECT_FALSE(OsPathExists(cut.c_str()));
}

// ---- output files that cannot be created ----
class OutputFailedTest : public ExtractionTest {
 protected:
  void BlockWithDirectory(const std::string& tail) {
    OsCreateDirectory(target_.c_str());
    OsCreateDirectory(At(tail).c_str());
  }
  std::vector<PackEntry> Entries() {
    return {File("\\first.txt", TextBytes("1")), File("\\blocked.txt", TextBytes("2")), File("\\last.txt", TextBytes("3"))};
  }
  int asked_ = 0;
};

TEST_F(OutputFailedTest, AbortEndsTheWalk) {
  BlockWithDirectory("\\blocked.txt");
  answer_ = [this](const Message& m) {
    if (m.message == UM_OUTPUT_FAILED) {
      ++asked_;
      EXPECT_EQ(m.text, At("\\blocked.txt"));
      *reinterpret_cast<int*>(m.wParam) = 3;
    }
    return MessageResult(0);
  };
  ASSERT_EQ(Extract(Entries()), 0);
  EXPECT_EQ(asked_, 1);
  EXPECT_TRUE(Exists("\\first.txt"));
  EXPECT_FALSE(Exists("\\last.txt"));
}

TEST_F(OutputFailedTest, RetryOpensOnceTheWayIsFree) {
  BlockWithDirectory("\\blocked.txt");
  answer_ = [this](const Message& m) {
    if (m.message == UM_OUTPUT_FAILED) {
      if (++asked_ == 2) OsRemoveDirectory(At("\\blocked.txt").c_str());  // freed during the second question
      *reinterpret_cast<int*>(m.wParam) = 4;
    }
    return MessageResult(0);
  };
  ASSERT_EQ(Extract(Entries()), 1);
  EXPECT_EQ(asked_, 2);
  EXPECT_EQ(Contents("\\blocked.txt"), TextBytes("2"));
  EXPECT_TRUE(Exists("\\last.txt"));
}

TEST_F(OutputFailedTest, IgnoreSkipsOnlyThatEntry) {
  BlockWithDirectory("\\blocked.txt");
  answer_ = [this](const Message& m) {
    if (m.message == UM_OUTPUT_FAILED) {
      ++asked_;
      *reinterpret_cast<int*>(m.wParam) = 5;
    }
    return MessageResult(0);
  };
  ASSERT_EQ(Extract(Entries()), 1);
  EXPECT_EQ(asked_, 1);
  EXPECT_NE(OsDirectoryExists(At("\\blocked.txt").c_str()), 0);
  EXPECT_TRUE(Exists("\\last.txt"));
}

TEST_F(OutputFailedTest, NoAnswerAborts) {
  BlockWithDirectory("\\blocked.txt");
  answer_ = [this](const Message& m) {
    if (m.message == UM_OUTPUT_FAILED) ++asked_;
    return MessageResult(0);
  };
  ASSERT_EQ(Extract(Entries()), 0);
  EXPECT_EQ(asked_, 1);
}

TEST_F(OutputFailedTest, SetupCallTriesTwiceThenRecordsError) {
  SetupCall();
  BlockWithDirectory("\\blocked.txt");
  ASSERT_EQ(Extract(Entries()), 0);
  EXPECT_EQ(g_jobSettings.error, 1u);
  EXPECT_TRUE(Sent(UM_OUTPUT_FAILED).empty());
  EXPECT_FALSE(Exists("\\last.txt"));
  // The aborting entry is not followed by a stop query: only first.txt had one.
  EXPECT_EQ(Sent(UM_SETUP_QUERY_STOP).size(), 1u);
}

// ---- progress ----
TEST_F(ExtractionTest, InteractiveProgressReportsEveryEntry) {
  ASSERT_EQ(Extract({Directory("\\d"), File("\\d\\f.txt", TextBytes("f"))}), 1);
  std::vector<std::pair<MessageWParam, std::string>> seen;
  for (const Message& m : messages_) {
    ASSERT_EQ(m.message, UM_PROGRESS);
    seen.push_back({m.wParam, m.wParam <= ProgressFileName ? m.text : std::to_string(m.lParam)});
  }
  const std::vector<std::pair<MessageWParam, std::string>> expected = {
      {ProgressEntryCount, "2"}, {ProgressDirectory, target_}, {ProgressFileName, ""},
      {ProgressPosition, "0"},   {ProgressDirectory, At("\\d")}, {ProgressFileName, ""},
      {ProgressPosition, "1"},   {ProgressDirectory, At("\\d")}, {ProgressFileName, "f.txt"},
      {ProgressPosition, "2"}};
  EXPECT_EQ(seen, expected);
}

TEST_F(ExtractionTest, SetupCallPercentages) {
  const std::vector<std::pair<int, std::vector<MessageWParam>>> cases = {
      {4, {0, 25, 50, 75, 100}}, {1, {0, 100}}, {3, {0, 33, 66, 100}}};
  for (const auto& c : cases) {
    messages_.clear();
    SetupCall();
    std::vector<PackEntry> entries;
    for (int n = 0; n < c.first; ++n) entries.push_back(File("\\f" + std::to_string(n), TextBytes("x")));
    ASSERT_EQ(Extract(entries), 1);
    EXPECT_EQ(Sent(UM_SETUP_PROGRESS), c.second) << c.first;
    EXPECT_EQ(Sent(UM_SETUP_QUERY_STOP).size(), static_cast<size_t>(c.first));
    EXPECT_TRUE(Sent(UM_PROGRESS).empty());
  }
}

TEST_F(ExtractionTest, SetupProgramStopsAfterFirstEntryAndSeesCompactPaths) {
  SetupCall(30);
  int stopQueries = 0;
  answer_ = [&](const Message& m) { return MessageResult(m.message == UM_SETUP_QUERY_STOP && ++stopQueries > 0); };
  const std::string deep = "\\a-long-directory-name\\another-level\\file.txt";
  ASSERT_EQ(Extract({File(deep, TextBytes("1")), File("\\second.txt", TextBytes("2")),
                     File("\\third.txt", TextBytes("3"))}),
            0);
  EXPECT_TRUE(Exists(deep));
  EXPECT_FALSE(Exists("\\second.txt"));
  EXPECT_EQ(Sent(UM_SETUP_PROGRESS), (std::vector<MessageWParam>{0}));  // never 100
  EXPECT_EQ(stopQueries, 1);
  // The control is drawn at a human rate; the path of the last entry is the one it shows at the end.
  char expected[kPathBuffer];
  CompactPath(expected, At(deep).c_str(), 30);
  EXPECT_EQ(window_.ControlText(), expected);
  EXPECT_LE(window_.ControlText().size(), 30u);
}

// ---- cancel ----
int g_readsAfterStop;
int g_readsBeforeStop;
uint32_t CountingRead(char* buffer, uint32_t* count, void* parameter) {
  if (g_workerState.stopRequested) ++g_readsAfterStop;
  const uint32_t got = ReadCompressed(buffer, count, parameter);
  if (!g_workerState.stopRequested && ++g_readsBeforeStop == 3) {
    g_workerState.stopRequested = 1;  // the page's thread asks to stop while block 3 is decoded
  }
  return got;
}

TEST_F(ExtractionTest, CancelInsideALargeEntryStopsWithinOneBlock) {
  const Bytes large = MixedData(2000000, 4);
  Pack({File("\\large.bin", large)});
  EntryHeaderBuffer header;
  ASSERT_EQ(BeginSourceReading(g_sourceFile, g_trailer.firstEntryOffset), 1);
  ASSERT_EQ(ReadEntryHeaderFrom(ReadSourceBlock, nullptr, &header), EntryRead);
  const int64_t dataStart = SourcePosition();
  g_outputFile = OsOpenFile((dir_ / "large.out").c_str(), FileOpenReadWriteTruncate);
  ASSERT_NE(g_outputFile, kNoFile);
  g_remainingInput = header.header.storedSize;
  g_readsAfterStop = g_readsBeforeStop = 0;
  static ExplodeWorkArea workArea;
  EXPECT_EQ(explodeStream(CountingRead, WriteOutput, &workArea, nullptr), ExplodeStreamError);
  EXPECT_GE(g_readsAfterStop, 1);  // reads that delivered nothing
  EXPECT_EQ(SourcePosition() - dataStart, 3 * 2048);
  FlushOutput();
  EXPECT_LT(OsFileLength(g_outputFile), static_cast<int64_t>(large.size()));
  OsCloseFile(g_outputFile);
  OsCloseFile(g_sourceFile);
  g_sourceFile = g_outputFile = kNoFile;
}

TEST_F(ExtractionTest, StopBetweenEntriesSkipsTheRestAndTheMerge) {
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, "C:\\ARCHIVE\\connect");
  answer_ = [](const Message& m) {
    if (m.message == UM_PROGRESS && m.wParam == ProgressPosition && m.lParam == 1) g_workerState.stopRequested = 1;
    return MessageResult(0);
  };
  // Raised while entry 1 is reported: that entry is cut at its first read, entry 2 is never begun.
  ASSERT_EQ(Extract({File("\\one.txt", TextBytes("1")), File("\\two.txt", MixedData(10000, 5)),
                     File("\\three.txt", TextBytes("3"))}),
            0);
  EXPECT_EQ(Contents("\\one.txt"), TextBytes("1"));
  EXPECT_TRUE(Contents("\\two.txt").empty());
  EXPECT_FALSE(Exists("\\three.txt"));
  EXPECT_FALSE(OsPathExists((dir_ / "archive.dir").c_str()));
}

TEST_F(ExtractionTest, TimesFromTheSignedRangeOnlyAreSet) {
  OsCreateDirectory(target_.c_str());
  ASSERT_TRUE(WriteFileBytes(At("\\t.txt"), TextBytes("t")));
  uint64_t before = 0;
  ASSERT_EQ(OsGetFileTimes(At("\\t.txt").c_str(), nullptr, nullptr, &before), 1);
  FileHandle file = OsOpenFile(At("\\t.txt").c_str(), FileOpenReadWrite);
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(SetEntryTimes(kCreation, file, kAccess, 0x80000000u), -1);
  EXPECT_EQ(SetEntryTimes(0xFFFFFFFFu, file, kAccess, kWrite), -1);
  OsCloseFile(file);
  uint64_t after = 0;
  ASSERT_EQ(OsGetFileTimes(At("\\t.txt").c_str(), nullptr, nullptr, &after), 1);
  EXPECT_EQ(after, before);
  file = OsOpenFile(At("\\t.txt").c_str(), FileOpenReadWrite);
  EXPECT_EQ(SetEntryTimes(0x7FFFFFFFu, file, kAccess, kWrite), 0);
  OsCloseFile(file);
}

}  // namespace
