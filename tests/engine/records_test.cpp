// Archive directory records: batching and path rewriting while a record file is written, the
// top-level test, and the merge into the record files above the target.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/extraction.h"
#include "tests/engine/extraction_support.h"

using namespace ztest;

namespace {

const char kRoot[] = "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\SYSTEM\\connect";

class RecordFileTest : public ::testing::Test {
 protected:
  RecordFileTest() : dir_("records") {
    std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
    CopyBounded(g_jobSettings.archiveRoot, kPathChars, kRoot);
  }
  // Feeds data to WriteRecords in blocks of the given size, as the decompressor would.
  Bytes Rewrite(const Bytes& data, int kind, size_t blockSize, std::vector<uint32_t>* lengthsAfterBlock = nullptr) {
    const std::string path = dir_ / "out.bin";
    g_outputFile = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
    EXPECT_NE(g_outputFile, kNoFile);
    g_recordFill = 0;
    Bytes copy = data;
    RecordStream stream = {kind, WriteOutputBytes};
    for (size_t at = 0; at < copy.size(); at += blockSize) {
      uint32_t count = static_cast<uint32_t>(std::min(blockSize, copy.size() - at));
      WriteRecords(reinterpret_cast<char*>(copy.data() + at), &count, &stream);
      if (lengthsAfterBlock) {
        FlushOutput();
        lengthsAfterBlock->push_back(static_cast<uint32_t>(OsFileLength(g_outputFile)));
      }
    }
    FlushOutput();
    OsCloseFile(g_outputFile);
    g_outputFile = kNoFile;
    kindAfter_ = stream.kind;
    Bytes out;
    EXPECT_TRUE(ReadFileBytes(path, &out));
    return out;
  }
  ScratchDir dir_;
  int kindAfter_ = 0;
};

// Everything but the tag list of each record must come through byte for byte.
void ExpectOnlyTagsDiffer(const Bytes& before, const Bytes& after) {
  ASSERT_EQ(before.size(), after.size());
  for (size_t n = 0; n * kRecordSize < before.size(); ++n) {
    const size_t base = n * kRecordSize;
    for (size_t k = 0; k < kRecordSize; ++k) {
      if (k >= kRecordTagsOffset && k < kRecordTagsOffset + kRecordTagsSize) continue;
      ASSERT_EQ(before[base + k], after[base + k]) << "record " << n << " byte " << k;
    }
  }
}

TEST_F(RecordFileTest, ArchiveDirStraddlingBlocksIsRewrittenRecordByRecord) {
  std::vector<Bytes> records;
  for (int n = 0; n < 23; ++n) {
    records.push_back(MakeRecord(static_cast<uint16_t>(n), {{TagName, "n" + std::to_string(n)},
                                                            {TagPath, "\\sub" + std::to_string(n)},
                                                            {8, "other"}},
                                 static_cast<uint8_t>(n)));
  }
  const Bytes input = Concat(records);
  std::vector<uint32_t> lengths;
  const Bytes out = Rewrite(input, RecordsArchiveDir, kExplodeBlockSize, &lengths);
  // Records 0-8 go out with the first block; record 9 waits for the rest of its bytes.
  ASSERT_GE(lengths.size(), 2u);
  EXPECT_EQ(lengths[0], 9 * kRecordSize);
  EXPECT_EQ(lengths[1], 19 * kRecordSize);
  ExpectOnlyTagsDiffer(input, out);
  for (int n = 0; n < 23; ++n) {
    EXPECT_EQ(RecordTag(out, n, TagPath), std::string(kRoot) + "\\sub" + std::to_string(n)) << n;
    EXPECT_EQ(RecordTag(out, n, TagName), "n" + std::to_string(n));
    EXPECT_EQ(RecordTag(out, n, 8), "other");
  }
  EXPECT_EQ(kindAfter_, RecordsArchiveDir);
}

TEST_F(RecordFileTest, AnyBlockSizeGivesTheSameFile) {
  std::vector<Bytes> records;
  for (int n = 0; n < 13; ++n) records.push_back(MakeRecord(0, {{TagPath, "\\p" + std::to_string(n)}}));
  const Bytes input = Concat(records);
  const Bytes reference = Rewrite(input, RecordsArchiveDat, input.size());
  for (size_t blockSize : {size_t(1), size_t(429), size_t(430), size_t(431), size_t(4300), size_t(5000)}) {
    EXPECT_EQ(Rewrite(input, RecordsArchiveDat, blockSize), reference) << blockSize;
  }
  EXPECT_EQ(RecordTag(reference, 12, TagPath), std::string(kRoot) + "\\p12");
}

TEST_F(RecordFileTest, ArchiveAddRewritesOnlyItsFirstRecord) {
  std::vector<Bytes> records;
  for (int n = 0; n < 12; ++n) records.push_back(MakeRecord(0, {{TagPath, "\\a" + std::to_string(n)}}));
  const Bytes input = Concat(records);
  const Bytes out = Rewrite(input, RecordsArchiveAdd, kExplodeBlockSize);
  EXPECT_EQ(kindAfter_, RecordsNone);
  EXPECT_EQ(RecordTag(out, 0, TagPath), std::string(kRoot) + "\\a0");
  ExpectOnlyTagsDiffer(input, out);
  EXPECT_TRUE(std::equal(input.begin() + kRecordSize, input.end(), out.begin() + kRecordSize));
}

TEST_F(RecordFileTest, PathForms) {
  const Bytes input = Concat({
      MakeRecord(0, {{TagPath, "\\\\OTHER\\VOL\\x"}}),  // UNC: absolute
      MakeRecord(0, {{TagPath, "D:\\x"}}),              // drive
      MakeRecord(0, {{TagPath, "SRV\\VOL:x"}}),         // volume form
      MakeRecord(0, {{TagName, "only a name"}}),        // no path: the prefix itself
      MakeRecord(0, {{TagPath, "\\config"}}),
  });
  const Bytes out = Rewrite(input, RecordsArchiveDir, kExplodeBlockSize);
  EXPECT_TRUE(std::equal(input.begin(), input.begin() + 3 * kRecordSize, out.begin()));
  EXPECT_EQ(RecordTag(out, 3, TagPath), kRoot);
  EXPECT_EQ(RecordTag(out, 3, TagName), "only a name");
  EXPECT_EQ(RecordTag(out, 4, TagPath), std::string(kRoot) + "\\config");
}

TEST_F(RecordFileTest, PrefixIsConvertedToOem) {
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, "C:\\zelvar\\ARCHIVE\\K\xE4se");  // a-umlaut in 1252
  const Bytes out = Rewrite(MakeRecord(0, {{TagPath, "\\x"}}), RecordsArchiveDat, kRecordSize);
  EXPECT_EQ(RecordTag(out, 0, TagPath), "C:\\zelvar\\ARCHIVE\\K\x84se\\x");  // 850/437
}

TEST_F(RecordFileTest, PathsThatDoNotFitKeepTheirEntry) {
  // Joined longer than a path buffer: the entry would have to be cut into another path.
  std::string longRoot = "C:\\" + std::string(250, 'r');
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, longRoot.c_str());
  const Bytes tooLong = MakeRecord(0, {{TagPath, "\\0123456789abc"}});
  EXPECT_EQ(Rewrite(tooLong, RecordsArchiveDat, kRecordSize), tooLong);
  // Fits the path buffer but not the tag list, which holds a long value already: the old value stays.
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, ("C:\\" + std::string(100, 'q')).c_str());
  const Bytes crowded = MakeRecord(0, {{2, std::string(150, 'x')}, {TagPath, "\\keep"}});
  const Bytes out = Rewrite(crowded, RecordsArchiveDat, kRecordSize);
  EXPECT_EQ(RecordTag(out, 0, TagPath), "\\keep");
  EXPECT_EQ(RecordTag(out, 0, 2), std::string(150, 'x'));
}

TEST(IsTopLevelPathTest, Examples) {
  EXPECT_EQ(IsTopLevelPath("C:\\a"), 1);
  EXPECT_EQ(IsTopLevelPath("C:\\a\\"), 1);
  EXPECT_EQ(IsTopLevelPath("C:"), 1);
  EXPECT_EQ(IsTopLevelPath("C:\\a\\b"), 0);
  EXPECT_EQ(IsTopLevelPath("\\\\SRV\\SYS\\zelvar"), 1);
  EXPECT_EQ(IsTopLevelPath("\\\\SRV\\SYS"), 1);
  EXPECT_EQ(IsTopLevelPath("\\\\SRV\\SYS\\zelvar\\ARCHIVE"), 0);
  EXPECT_EQ(IsTopLevelPath("SRV\\VOL:\\a"), 1);
  EXPECT_EQ(IsTopLevelPath("SRV\\VOL:\\a\\b"), 0);
  EXPECT_EQ(IsTopLevelPath("SRV\\VOL:a\\b"), 1);
  EXPECT_EQ(IsTopLevelPath("SRV\\VOL:a\\b\\c"), 0);
  EXPECT_EQ(IsTopLevelPath("\\relative\\x\\y"), 1);
}

// A third leading backslash is an empty server name: SRV is the share, SYS the first level.
TEST(IsTopLevelPathTest, AThirdLeadingBackslashIsAnEmptyServerName) {
  EXPECT_EQ(IsTopLevelPath("\\\\\\SRV\\SYS\\zelvar"), 0);
}

// ---- the merge ----
class MergeTest : public ::testing::Test {
 protected:
  MergeTest() : dir_("merge") {
    std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
    // The tree: <scratch>\zelvar\ARCHIVE\SYSTEM\connect, the target.
    for (const char* sub : {"zelvar", "zelvar\\ARCHIVE", "zelvar\\ARCHIVE\\SYSTEM", "zelvar\\ARCHIVE\\SYSTEM\\connect"}) {
      OsCreateDirectory((dir_ / sub).c_str());
    }
    SetTarget("zelvar\\ARCHIVE\\SYSTEM\\connect", kRoot);
  }
  void SetTarget(const std::string& sub, const std::string& root) {
    CopyBounded(g_jobSettings.targetDir, kPathChars, (dir_ / sub).c_str());
    CopyBounded(g_jobSettings.archiveRoot, kPathChars, root.c_str());
  }
  Bytes Read(const std::string& sub) {
    Bytes data;
    if (!ReadFileBytes(dir_ / sub, &data)) data.clear();
    return data;
  }
  bool Exists(const std::string& sub) { return OsPathExists((dir_ / sub).c_str()) != 0; }
  ScratchDir dir_;
};

const char kSystemDir[] = "zelvar\\ARCHIVE\\SYSTEM\\archive.dir";
const char kArchiveDir[] = "zelvar\\ARCHIVE\\archive.dir";
const char kZelvarDir[] = "zelvar\\archive.dir";

TEST_F(MergeTest, FourLevelRootRegistersArchiveAndAncestors) {
  const Bytes add = Concat({MakeRecord(RecordSlotFree, {{TagName, "old"}, {TagPath, "\\x"}, {9, "keep"}}),
                            MakeRecord(0, {{TagName, "second"}})});
  ASSERT_TRUE(WriteFileBytes(dir_ / "zelvar\\ARCHIVE\\SYSTEM\\connect\\archive.add", add));
  CopyBounded(g_jobSettings.archiveName, kNameChars, "Verbindungen");
  MergeArchiveRecords();

  const Bytes newAdd = Read("zelvar\\ARCHIVE\\SYSTEM\\connect\\archive.add");
  ASSERT_EQ(newAdd.size(), add.size());
  EXPECT_EQ(RecordFlags(newAdd, 0), 0);
  EXPECT_EQ(RecordTag(newAdd, 0, TagPath), kRoot);
  EXPECT_EQ(RecordTag(newAdd, 0, TagName), "connect");
  EXPECT_EQ(RecordTag(newAdd, 0, TagTitle), "Verbindungen");
  EXPECT_EQ(RecordTag(newAdd, 0, 9), "keep");
  EXPECT_TRUE(std::equal(add.begin() + kRecordSize, add.end(), newAdd.begin() + kRecordSize));

  const Bytes system = Read(kSystemDir);
  ASSERT_EQ(system.size(), kRecordSize);
  EXPECT_TRUE(std::equal(system.begin(), system.end(), newAdd.begin()));  // a copy of the own record

  const Bytes archive = Read(kArchiveDir);
  ASSERT_EQ(archive.size(), kRecordSize);
  EXPECT_EQ(RecordTag(archive, 0, TagPath), "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\SYSTEM");
  EXPECT_EQ(RecordTag(archive, 0, TagName), "SYSTEM");
  EXPECT_EQ(RecordTag(archive, 0, TagTitle), "SYSTEM");
  uint16_t kind;
  std::memcpy(&kind, archive.data() + 2, 2);
  EXPECT_EQ(kind, kRecordKindArchive);

  const Bytes zelvar = Read(kZelvarDir);
  ASSERT_EQ(zelvar.size(), kRecordSize);
  EXPECT_EQ(RecordTag(zelvar, 0, TagPath), "\\\\SRV\\SYS\\zelvar\\ARCHIVE");
  EXPECT_FALSE(Exists("archive.dir"));  // zelvar itself is not registered
}

TEST_F(MergeTest, TopLevelRootRefreshesOnlyArchiveAdd) {
  SetTarget("zelvar\\ARCHIVE\\SYSTEM\\connect", "\\\\SRV\\SYS\\connect");
  MergeArchiveRecords();  // no archive.add: nothing is created there either
  EXPECT_FALSE(Exists("zelvar\\ARCHIVE\\SYSTEM\\connect\\archive.add"));
  EXPECT_FALSE(Exists(kSystemDir));
  EXPECT_FALSE(Exists(kArchiveDir));
}

TEST_F(MergeTest, TwoLevelRootRegistersInParentOnly) {
  SetTarget("zelvar\\ARCHIVE\\SYSTEM\\connect", "C:\\SYSTEM\\connect");
  MergeArchiveRecords();
  const Bytes system = Read(kSystemDir);
  ASSERT_EQ(system.size(), kRecordSize);
  EXPECT_EQ(RecordTag(system, 0, TagPath), "C:\\SYSTEM\\connect");
  EXPECT_EQ(RecordTag(system, 0, TagTitle), "connect");  // no archive name: the last component
  EXPECT_FALSE(Exists(kArchiveDir));
}

TEST_F(MergeTest, SameNameTwiceOverwritesTheFirst) {
  const Bytes before = Concat({MakeRecord(0, {{TagName, "other"}}), MakeRecord(0, {{TagName, "CONNECT"}}),
                               MakeRecord(RecordSlotFree, {{TagName, "connect"}})});
  ASSERT_TRUE(WriteFileBytes(dir_ / kSystemDir, before));
  MergeArchiveRecords();
  const Bytes after = Read(kSystemDir);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + kRecordSize, after.begin()));
  EXPECT_EQ(RecordTag(after, 1, TagPath), kRoot);
  EXPECT_TRUE(std::equal(before.begin() + 2 * kRecordSize, before.end(), after.begin() + 2 * kRecordSize));
}

// Record values are OEM text and match by the OEM code page's letters: "M\x9aLLER" (MÜLLER) is not
// "M\x8aLLER" (MèLLER, a case pair of the ANSI table), while "\x8eRGER" is "\x84rger" (ÄRGER, ärger).
TEST_F(MergeTest, NamesMatchByTheOemLetters) {
  const Bytes before = Concat({MakeRecord(0, {{TagName, "M\x8aLLER"}}), MakeRecord(0, {{TagName, "\x84rger"}})});
  ASSERT_TRUE(WriteFileBytes(dir_ / kSystemDir, before));
  SetTarget("zelvar\\ARCHIVE\\SYSTEM\\connect", "C:\\SYSTEM\\M\xdcLLER");
  MergeArchiveRecords();
  Bytes after = Read(kSystemDir);
  ASSERT_EQ(after.size(), 3 * kRecordSize) << "another archive's record stays";
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
  EXPECT_EQ(RecordTag(after, 2, TagName), "M\x9aLLER");

  SetTarget("zelvar\\ARCHIVE\\SYSTEM\\connect", "C:\\SYSTEM\\\xc4RGER");
  MergeArchiveRecords();
  after = Read(kSystemDir);
  ASSERT_EQ(after.size(), 3 * kRecordSize) << "the archive's own record is replaced, not added twice";
  EXPECT_EQ(RecordTag(after, 1, TagName), "\x8eRGER");
}

// Under a Polish system (ANSI 1250, OEM 852) the letters are that code page's: "\x9d\xa4\xbd" (ŁĄŻ)
// matches "\x88\xa5\xbe" (łąż), while "\xab" (ź) is not "\xfa" (the dot above), although their ANSI
// forms 0x9F and 0xFF are a case pair in code page 1252. The win32 tests run it under a Polish locale.
TEST_F(MergeTest, NamesMatchByThePolishOemLetters) {
  const char* page = std::getenv("Z_TEST_OEM_CODE_PAGE");
  if (page == nullptr || std::strcmp(page, "852") != 0) GTEST_SKIP() << "needs a Polish system";
  char oem[2];
  OsAnsiToOem("\xa3", oem);
  ASSERT_EQ(oem[0], '\x9d') << "the system's OEM code page is not 852";
  const Bytes before = Concat({MakeRecord(0, {{TagName, "\xfa"}}), MakeRecord(0, {{TagName, "\x88\xa5\xbe"}})});
  ASSERT_TRUE(WriteFileBytes(dir_ / kSystemDir, before));
  SetTarget("zelvar\\ARCHIVE\\SYSTEM\\connect", "C:\\SYSTEM\\\x9f");
  MergeArchiveRecords();
  Bytes after = Read(kSystemDir);
  ASSERT_EQ(after.size(), 3 * kRecordSize) << "another archive's record stays";
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
  EXPECT_EQ(RecordTag(after, 2, TagName), "\xab");

  SetTarget("zelvar\\ARCHIVE\\SYSTEM\\connect", "C:\\SYSTEM\\\xa3\xa5\xaf");
  MergeArchiveRecords();
  after = Read(kSystemDir);
  ASSERT_EQ(after.size(), 3 * kRecordSize) << "the archive's own record is replaced, not added twice";
  EXPECT_EQ(RecordTag(after, 1, TagName), "\x9d\xa4\xbd");
}

TEST_F(MergeTest, LaterFreeSlotIsReused) {
  const Bytes before = Concat({MakeRecord(RecordSlotFree, {{TagName, "a"}}), MakeRecord(0, {{TagName, "b"}}),
                               MakeRecord(RecordSlotFree, {{TagName, "c"}}), MakeRecord(0, {{TagName, "d"}})});
  ASSERT_TRUE(WriteFileBytes(dir_ / kSystemDir, before));
  OsSetAttributes((dir_ / kSystemDir).c_str(), kAttrReadOnly | kAttrArchive);  // made writable first
  MergeArchiveRecords();
  const Bytes after = Read(kSystemDir);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(RecordTag(after, 2, TagName), "connect");
  EXPECT_EQ(RecordFlags(after, 2) & RecordSlotFree, 0);
  EXPECT_EQ(RecordTag(after, 0, TagName), "a");
  EXPECT_EQ(RecordFlags(after, 0) & RecordSlotFree, RecordSlotFree);
}

TEST_F(MergeTest, RegisteredAncestorEndsTheWalk) {
  const Bytes before = Concat({MakeRecord(0, {{TagPath, "\\\\srv\\sys\\zelvar\\archive\\other"}}),
                               MakeRecord(RecordSlotFree | 0x0001, {{TagPath, "\\\\srv\\sys\\ZELVAR\\archive\\system"}}),
                               MakeRecord(RecordSlotFree, {{TagPath, "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\SYSTEM"}})});
  ASSERT_TRUE(WriteFileBytes(dir_ / kArchiveDir, before));
  MergeArchiveRecords();
  const Bytes after = Read(kArchiveDir);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(RecordFlags(after, 1), 0x0001);  // only the reuse flag cleared
  Bytes expected = before;
  expected[kRecordSize + 1] &= static_cast<uint8_t>(~(RecordSlotFree >> 8));
  EXPECT_EQ(after, expected);
  EXPECT_FALSE(Exists(kZelvarDir));
}

TEST_F(MergeTest, ShortParentFileIsAppendedBehindWholeRecords) {
  // One whole record and a stub: the new record takes the stub's place, on a record boundary.
  Bytes before = MakeRecord(0, {{TagName, "a"}});
  before.resize(kRecordSize + 100, 'z');
  ASSERT_TRUE(WriteFileBytes(dir_ / kSystemDir, before));
  MergeArchiveRecords();
  const Bytes after = Read(kSystemDir);
  ASSERT_EQ(after.size(), 2 * kRecordSize);
  EXPECT_EQ(RecordTag(after, 1, TagName), "connect");
}

}  // namespace
