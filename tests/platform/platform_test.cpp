// The platform seam: files, attributes, times, enumeration, free space, code pages, registry,
// profile files, network and free-space doubles, windows and threads. The same cases run natively
// (drive C: mapped onto a scratch folder) and under Wine (drive C: of the prefix).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/test_hooks.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <filesystem>
#endif

namespace {

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    snprintf(base_, sizeof base_, "C:\\zplatform-%lu", static_cast<unsigned long>(GetCurrentProcessId()));
#else
    char host[] = "/tmp/zplatform-XXXXXX";
    ASSERT_NE(mkdtemp(host), nullptr);
    host_ = host;
    OsMapDriveForTests('C', host);
    snprintf(base_, sizeof base_, "C:\\zplatform");
#endif
    RemoveTree(base_);  // left over from an aborted run
    ASSERT_EQ(OsCreateDirectory(base_), 1) << base_;
  }
  void TearDown() override {
    OsSetCurrentDirectory("C:\\");
    RemoveTree(base_);
#ifndef _WIN32
    std::filesystem::remove_all(host_);
    OsMapDriveForTests('C', nullptr);
#endif
  }
  std::string Path(const char* name) const { return std::string(base_) + "\\" + name; }

  static void RemoveTree(const std::string& dir) {
    OsFindData data;
    std::string pattern = dir + "\\*.*";
    FindHandle find = OsFindFirst(pattern.c_str(), &data);
    for (int more = find != nullptr; more; more = OsFindNext(find, &data)) {
      if (strcmp(data.name, ".") == 0 || strcmp(data.name, "..") == 0) continue;
      std::string child = dir + "\\" + data.name;
      OsSetAttributes(child.c_str(), data.attributes & kAttrDirectory ? kAttrDirectory : kAttrNormal);
      if (data.attributes & kAttrDirectory) RemoveTree(child);
      else OsDeleteFile(child.c_str());
    }
    OsFindClose(find);
    OsRemoveDirectory(dir.c_str());
  }

  char base_[261];
#ifndef _WIN32
  std::string host_;
#endif
};

// Wine leaves the read-only check of an open to the Unix permissions, which do not hold root back;
// Windows itself (and the native emulation) refuse the open.
bool WineRunsAsRoot() {
#ifdef _WIN32
  const char* user = getenv("USERNAME");
  return user != nullptr && strcmp(user, "root") == 0;
#else
  return false;
#endif
}

int WriteText(const std::string& path, const char* text, FileOpenMode mode = FileOpenReadWriteTruncate) {
  FileHandle file = OsOpenFile(path.c_str(), mode);
  if (file == kNoFile) return 0;
  int32_t length = static_cast<int32_t>(strlen(text));
  int ok = OsWriteFile(file, text, static_cast<uint32_t>(length)) == length;
  OsCloseFile(file);
  return ok;
}

std::string ReadText(const std::string& path) {
  FileHandle file = OsOpenFile(path.c_str(), FileOpenRead);
  if (file == kNoFile) return "<no file>";
  char buffer[512];
  int32_t count = OsReadFile(file, buffer, sizeof buffer);
  OsCloseFile(file);
  return count < 0 ? "<read error>" : std::string(buffer, static_cast<size_t>(count));
}

TEST_F(PlatformTest, OpenModesCreateKeepOrCutTheFile) {
  std::string path = Path("data.bin");
  EXPECT_EQ(OsOpenFile(path.c_str(), FileOpenRead), kNoFile);
  EXPECT_EQ(OsOpenFile(path.c_str(), FileOpenReadWrite), kNoFile);
  EXPECT_EQ(OsPathExists(path.c_str()), 0);

  ASSERT_TRUE(WriteText(path, "0123456789", FileOpenReadWriteCreate));
  ASSERT_TRUE(WriteText(path, "ab", FileOpenReadWriteCreate));  // kept: only the start is overwritten
  EXPECT_EQ(ReadText(path), "ab23456789");
  ASSERT_TRUE(WriteText(path, "ab", FileOpenReadWrite));
  EXPECT_EQ(ReadText(path), "ab23456789");

  FileHandle file = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(OsFileLength(file), 0);
  EXPECT_EQ(OsWriteFile(file, "xyz", 3), 3);
  EXPECT_EQ(OsSeekFile(file, -1, SeekFromEnd), 2);
  EXPECT_EQ(OsSeekFile(file, -1, SeekFromCurrent), 1);
  char c = 0;
  EXPECT_EQ(OsReadFile(file, &c, 1), 1);
  EXPECT_EQ(c, 'y');
  EXPECT_EQ(OsSeekFile(file, 5, SeekFromStart), 5);
  EXPECT_EQ(OsReadFile(file, &c, 1), 0);  // past the end: nothing, no error
  EXPECT_EQ(OsSeekFile(file, -10, SeekFromStart), -1);
  OsCloseFile(file);

  file = OsOpenFile(path.c_str(), FileOpenRead);
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(OsWriteFile(file, "q", 1), -1);  // read-only handle
  OsCloseFile(file);
  EXPECT_EQ(ReadText(path), "xyz");
  EXPECT_EQ(OsOpenFile(base_, FileOpenRead), kNoFile);  // a directory is no file
}

// Runs on several machines append to one log: each write of an append-only handle lands at the
// end the file has then, behind what other handles wrote meanwhile, and a lock can be taken on it.
TEST_F(PlatformTest, AppendOnlyWritesLandBehindWhatOthersWrote) {
  const std::string path = Path("shared.log");
  ASSERT_TRUE(WriteText(path, "old\n"));
  FileHandle log = OsOpenFile(path.c_str(), FileOpenAppendCreate);
  ASSERT_NE(log, kNoFile);
  EXPECT_EQ(OsWriteFile(log, "a\n", 2), 2);
  FileHandle other = OsOpenFile(path.c_str(), FileOpenReadWrite);
  ASSERT_NE(other, kNoFile);
  ASSERT_EQ(OsSeekFile(other, 0, SeekFromEnd), 6);
  EXPECT_EQ(OsWriteFile(other, "other\n", 6), 6);
  OsCloseFile(other);
  EXPECT_EQ(OsWriteFile(log, "b\n", 2), 2);
  EXPECT_EQ(OsTryLockFileByte(log, 1ull << 62), LockTaken);
  OsUnlockFileByte(log, 1ull << 62);
  OsCloseFile(log);
  EXPECT_EQ(ReadText(path), "old\na\nother\nb\n");

  const std::string fresh = Path("fresh.log");
  ASSERT_TRUE(WriteText(fresh, "x", FileOpenAppendCreate));
  ASSERT_TRUE(WriteText(fresh, "y", FileOpenAppendCreate));
  EXPECT_EQ(ReadText(fresh), "xy");
  ASSERT_EQ(OsSetAttributes(fresh.c_str(), kAttrReadOnly), 1);
  if (!WineRunsAsRoot()) {
    EXPECT_EQ(OsOpenFile(fresh.c_str(), FileOpenAppendCreate), kNoFile);
  }
  OsSetAttributes(fresh.c_str(), kAttrNormal);
}

// What the claims of targets rest on: a range of locks is busy while another handle holds any byte
// of it; a file is deleted as unused only when it is empty and nobody holds a lock in the range (on
// Windows: nor has it open); a name that has gone to another file no longer leads to the open one.
TEST_F(PlatformTest, LockRangesUnusedEmptyFilesAndTheFileAtAName) {
  const std::string path = Path("archive.dir");
  const uint64_t base = 1ull << 62;
  const uint64_t region = 1 + (1ull << 40);
  ASSERT_TRUE(WriteText(path, ""));
  FileHandle holder = OsOpenFile(path.c_str(), FileOpenReadWrite);
  FileHandle other = OsOpenFile(path.c_str(), FileOpenReadWrite);
  ASSERT_NE(holder, kNoFile);
  ASSERT_NE(other, kNoFile);
  ASSERT_EQ(OsTryLockFileByte(holder, base + 100), LockTaken);
  EXPECT_EQ(OsTryLockFileRange(other, base, 1000), LockBusy);
  ASSERT_EQ(OsTryLockFileRange(other, base, 100), LockTaken);
  OsUnlockFileRange(other, base, 100);
  ASSERT_EQ(OsTryLockFileRange(other, base + 101, region - 101), LockTaken);
  OsUnlockFileRange(other, base + 101, region - 101);
  OsCloseFile(other);
  EXPECT_EQ(OsDeleteUnusedEmptyFile(path.c_str(), base, region), 0) << "a lock is held in it";
  OsUnlockFileByte(holder, base + 100);
#ifdef _WIN32
  EXPECT_EQ(OsDeleteUnusedEmptyFile(path.c_str(), base, region), 0) << "another handle is open on it";
#endif
  EXPECT_EQ(OsPathNamesOpenFile(path.c_str(), holder), 1);
  OsCloseFile(holder);
  EXPECT_TRUE(OsPathExists(path.c_str()));
  ASSERT_TRUE(WriteText(path, "records"));
  EXPECT_EQ(OsDeleteUnusedEmptyFile(path.c_str(), base, region), 0) << "not empty";
  ASSERT_TRUE(WriteText(path, ""));
  EXPECT_EQ(OsDeleteUnusedEmptyFile(path.c_str(), base, region), 1);
  EXPECT_FALSE(OsPathExists(path.c_str()));
  EXPECT_EQ(OsDeleteUnusedEmptyFile(path.c_str(), base, region), 0) << "nothing there";

  ASSERT_TRUE(WriteText(path, ""));
  FileHandle file = OsOpenFile(path.c_str(), FileOpenReadWrite);
  ASSERT_NE(file, kNoFile);
  ASSERT_EQ(OsMoveFile(path.c_str(), Path("moved.dir").c_str()), 1);
  EXPECT_EQ(OsPathNamesOpenFile(path.c_str(), file), 0) << "no file under the name";
  ASSERT_TRUE(WriteText(path, ""));
  EXPECT_EQ(OsPathNamesOpenFile(path.c_str(), file), 0) << "another file under the name";
  EXPECT_EQ(OsPathNamesOpenFile(Path("moved.dir").c_str(), file), 1);
  OsCloseFile(file);
}

// Only the errors that say a file system has no byte-range locks at all let a run go on without
// them; a lock that fails for another reason (a network that dropped for a moment, an NFS lock
// manager that did not answer) is a failure with the system's error, and a held byte stays busy.
TEST_F(PlatformTest, OnlyAFileSystemWithoutLocksMakesThemUnavailable) {
#ifdef _WIN32
  const uint32_t noLocks[] = {ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION, ERROR_CALL_NOT_IMPLEMENTED};
  const uint32_t failures[] = {ERROR_NETNAME_DELETED, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE};
#else
  const uint32_t noLocks[] = {EINVAL, ENOTSUP, ENOSYS};
  const uint32_t failures[] = {ENOLCK, EIO, EBADF};
#endif
  const std::string path = Path("archive.dir");
  ASSERT_TRUE(WriteText(path, ""));
  FileHandle file = OsOpenFile(path.c_str(), FileOpenReadWrite);
  FileHandle other = OsOpenFile(path.c_str(), FileOpenReadWrite);
  ASSERT_NE(file, kNoFile);
  for (uint32_t error : noLocks) {
    OsSetLockErrorForTests(error, 1);
    EXPECT_EQ(OsTryLockFileByte(file, 1ull << 62), LockUnavailable) << error;
    EXPECT_EQ(OsLastLockError(), error);
  }
  for (uint32_t error : failures) {
    OsSetLockErrorForTests(error, 2);
    EXPECT_EQ(OsTryLockFileByte(file, 1ull << 62), LockFailed) << error;
    EXPECT_EQ(OsTryLockFileByteShared(file, 1ull << 62), LockFailed) << error;
    EXPECT_EQ(OsLastLockError(), error);
    char text[200] = "";
    OsErrorText(error, text, sizeof text);
    EXPECT_GT(std::strlen(text), 3u) << error;
  }
  EXPECT_EQ(OsTryLockFileByte(file, 1ull << 62), LockTaken) << "the injected errors are used up";
  EXPECT_EQ(OsTryLockFileByte(other, 1ull << 62), LockBusy);
  EXPECT_EQ(OsTryLockFileByteShared(other, 1ull << 62), LockBusy);
  OsUnlockFileByte(file, 1ull << 62);
  // Shared bytes: any number of holders, and an exclusive one waits for all of them.
  EXPECT_EQ(OsTryLockFileByteShared(file, 1ull << 62), LockTaken);
  EXPECT_EQ(OsTryLockFileByteShared(other, 1ull << 62), LockTaken);
  EXPECT_EQ(OsTryLockFileByte(other, (1ull << 62) + 1), LockTaken);
  OsUnlockFileByte(other, (1ull << 62) + 1);
  OsUnlockFileByte(other, 1ull << 62);
  FileHandle third = OsOpenFile(path.c_str(), FileOpenReadWrite);
  EXPECT_EQ(OsTryLockFileByte(third, 1ull << 62), LockBusy) << "a shared holder is left";
  OsUnlockFileByte(file, 1ull << 62);
  EXPECT_EQ(OsTryLockFileByte(third, 1ull << 62), LockTaken);
  OsCloseFile(third);
  OsCloseFile(other);
  OsCloseFile(file);
  OsSetLockErrorForTests(0, 0);
}

// Once the deletion of an unused empty file has begun, no other run can take a lock in it and find
// that its name still leads to it: at the last moment before the name goes away, another open of
// the name either fails or finds the locks held.
std::string g_deletedPath;
int g_heldInWindow = -1;
void TryToHoldInTheWindow(const char* path) {
  g_deletedPath = path;
  const FileHandle file = OsOpenFile(path, FileOpenReadWrite);
  if (file == kNoFile) {  // Windows: the deleting handle shares the file with nobody
    g_heldInWindow = 0;
    return;
  }
  const LockResult result = OsTryLockFileByte(file, 1ull << 62);
  g_heldInWindow = result == LockTaken && OsPathNamesOpenFile(path, file) ? 1 : 0;
  if (result == LockTaken) OsUnlockFileByte(file, 1ull << 62);
  OsCloseFile(file);
}

TEST_F(PlatformTest, NoRunHoldsAnEmptyFileWhoseDeletionHasBegun) {
  const std::string path = Path("archive.dir");
  ASSERT_TRUE(WriteText(path, ""));
  OsSetDeletionWindowHookForTests(TryToHoldInTheWindow);
  const int deleted = OsDeleteUnusedEmptyFile(path.c_str(), 1ull << 62, 1 + (1ull << 40));
  OsSetDeletionWindowHookForTests(nullptr);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(g_deletedPath, path) << "the window was never reached";
  EXPECT_EQ(g_heldInWindow, 0) << "another run held the file while it was being deleted";
  EXPECT_FALSE(OsPathExists(path.c_str()));
  std::vector<std::string> left;
  OsFindData data;
  FindHandle find = OsFindFirst(Path("*.*").c_str(), &data);
  for (int more = find != nullptr; more; more = OsFindNext(find, &data)) {
    if (std::strcmp(data.name, ".") != 0 && std::strcmp(data.name, "..") != 0) left.push_back(data.name);
  }
  OsFindClose(find);
  EXPECT_TRUE(left.empty()) << left.front();
}

std::u16string Comparable(const std::string& path) {
  uint16_t units[300];
  const uint32_t count = OsComparableName(path.c_str(), units, 300);
  return std::u16string(units, units + count);
}

// Every spelling that Windows takes for one directory gives one name: the case of any letter, a
// short name of an existing directory, trailing dots and blanks; and its long form is one path.
TEST_F(PlatformTest, ComparableNamesOfOneDirectoryAreEqual) {
  EXPECT_EQ(Comparable(Path("\xDC" "bung")), u"\u00DC" "BUNG");
  EXPECT_EQ(Comparable(Path("\xFC" "bung")), u"\u00DC" "BUNG");
  EXPECT_EQ(Comparable(Path("\xFF" "\x9C")), u"\u0178\u0152") << "y diaeresis and oe, beyond Latin-1";
  EXPECT_EQ(Comparable(Path("stra\xDF" "e")), u"STRA\u00DF" "E") << "sharp s has no capital of its own";
  EXPECT_EQ(Comparable(Path("connect.")), u"CONNECT");
  EXPECT_EQ(Comparable(Path("connect. .\\")), u"CONNECT");
  EXPECT_EQ(Comparable(Path("con.nect")), u"CON.NECT");
  EXPECT_EQ(Comparable("C:\\x\\..."), u"...");
  uint16_t cut[4];
  EXPECT_EQ(OsComparableName(Path("connect").c_str(), cut, 4), 3u);
  EXPECT_EQ(cut[2], u'N');
  EXPECT_EQ(cut[3], 0);

  const std::string longName = Path("Langer Name");
  ASSERT_EQ(OsCreateDirectory(longName.c_str()), 1);
  char shortName[261];
  ASSERT_GT(OsGetShortPathName(longName.c_str(), shortName, sizeof shortName), 0u);
#ifdef _WIN32
  ASSERT_NE(std::string(shortName), longName) << "the system gives this directory a short name";
#endif
  EXPECT_EQ(Comparable(shortName), u"LANGER NAME") << shortName;
  char longForm[261];
  ASSERT_GT(OsGetLongPathName(shortName, longForm, sizeof longForm), 0u) << shortName;
  EXPECT_EQ(std::string(longForm), longName);
  ASSERT_GT(OsGetLongPathName((longName + ".").c_str(), longForm, sizeof longForm), 0u);
  EXPECT_EQ(std::string(longForm), longName);
  EXPECT_EQ(OsGetLongPathName(Path("nirgends").c_str(), longForm, sizeof longForm), 0u);
  OsRemoveDirectory(longName.c_str());
}

TEST_F(PlatformTest, ReadOnlyBlocksWritingUntilCleared) {
  std::string path = Path("locked.txt");
  ASSERT_TRUE(WriteText(path, "old"));
  uint32_t attributes = OsGetAttributes(path.c_str());
  ASSERT_NE(attributes, kInvalidAttributes);
  EXPECT_EQ(attributes & (kAttrDirectory | kAttrReadOnly), 0u);
  ASSERT_EQ(OsSetAttributes(path.c_str(), kAttrReadOnly | kAttrHidden), 1);
  attributes = OsGetAttributes(path.c_str());
  EXPECT_EQ(attributes & (kAttrReadOnly | kAttrHidden), kAttrReadOnly | kAttrHidden);

  if (!WineRunsAsRoot()) {
    for (FileOpenMode mode : {FileOpenReadWrite, FileOpenReadWriteTruncate}) {
      FileHandle file = OsOpenFile(path.c_str(), mode);
      EXPECT_EQ(file, kNoFile) << mode;
      OsCloseFile(file);
    }
  }
  EXPECT_EQ(OsDeleteFile(path.c_str()), 0);
  EXPECT_EQ(ReadText(path), "old");

  // Cleared but still hidden: a truncating open must work (overwriting an unpacked file again).
  ASSERT_EQ(OsSetAttributes(path.c_str(), attributes & ~kAttrReadOnly), 1);
  EXPECT_EQ(OsGetAttributes(path.c_str()) & (kAttrReadOnly | kAttrHidden), kAttrHidden);
  // An open file reports the bits its name has: the extraction trusts this to leave them alone.
  FileHandle open = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
  ASSERT_NE(open, kNoFile);
  EXPECT_EQ(OsGetOpenFileAttributes(open), OsGetAttributes(path.c_str()));
  OsCloseFile(open);
  ASSERT_TRUE(WriteText(path, "new"));
  EXPECT_EQ(ReadText(path), "new");
  EXPECT_EQ(OsDeleteFile(path.c_str()), 1);
  EXPECT_EQ(OsGetAttributes(path.c_str()), kInvalidAttributes);
  // A new file of the same name does not inherit the old bits.
  open = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
  ASSERT_NE(open, kNoFile);
  EXPECT_EQ(OsGetOpenFileAttributes(open), kAttrArchive);  // what a new file has
  OsCloseFile(open);
  ASSERT_TRUE(WriteText(path, "again"));
  EXPECT_EQ(OsGetAttributes(path.c_str()) & (kAttrReadOnly | kAttrHidden), 0u);
}

TEST_F(PlatformTest, UnixTimesBecomeFileTimesAndRoundTrip) {
  // 2000-01-01 00:00:00 UTC; the test runs in UTC, so the local offset is 0 at both ends of the chain.
  uint64_t fileTime = 0;
  ASSERT_EQ(OsUnixTimeToFileTime(0x386D4380, &fileTime), 1);
  EXPECT_EQ(fileTime, 125911584000000000ull);
  ASSERT_EQ(OsUnixTimeToFileTime(0, &fileTime), 1);
  EXPECT_EQ(fileTime, 116444736000000000ull);
  fileTime = 77;
  EXPECT_EQ(OsUnixTimeToFileTime(-1, &fileTime), 0);
  EXPECT_EQ(fileTime, 77u);

  uint64_t creation, access, write;
  ASSERT_EQ(OsUnixTimeToFileTime(0x386D4380, &creation), 1);
  ASSERT_EQ(OsUnixTimeToFileTime(0x386D4380 + 86400, &access), 1);
  ASSERT_EQ(OsUnixTimeToFileTime(0x386D4380 + 3600, &write), 1);
  std::string path = Path("timed.txt");
  FileHandle file = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(OsWriteFile(file, "t", 1), 1);
  ASSERT_EQ(OsSetFileTimes(file, creation, access, write), 1);
  OsCloseFile(file);
  uint64_t gotCreation = 0, gotAccess = 0, gotWrite = 0;
  ASSERT_EQ(OsGetFileTimes(path.c_str(), &gotCreation, &gotAccess, &gotWrite), 1);
  EXPECT_EQ(gotWrite, write);
  EXPECT_EQ(gotAccess, access);
#ifndef _WIN32
  EXPECT_EQ(gotCreation, creation);  // Wine on a Linux file system keeps no creation time
#endif
  EXPECT_EQ(OsGetFileTimes(Path("missing").c_str(), &gotCreation, &gotAccess, &gotWrite), 0);
}

#ifndef _WIN32
// The chain takes the offset in force now, not the one of the converted date (as LocalFileTimeToFileTime).
TEST(PlatformTimeZone, LocalOffsetOfNowIsAppliedToEveryDate) {
  const char* saved = getenv("TZ");
  std::string keep = saved != nullptr ? saved : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  uint64_t winter = 0, summer = 0;
  ASSERT_EQ(OsUnixTimeToFileTime(0x386D4380, &winter), 1);           // 2000-01-01, CET
  ASSERT_EQ(OsUnixTimeToFileTime(0x386D4380 + 182 * 86400, &summer), 1);  // 2000-07-01, CEST
  uint64_t hour = 36000000000ull;
  uint64_t summerUtc = 125911584000000000ull + 182ull * 86400 * 10000000;
  if (local.tm_isdst > 0) {
    EXPECT_EQ(winter, 125911584000000000ull - hour);
    EXPECT_EQ(summer, summerUtc);
  } else {
    EXPECT_EQ(winter, 125911584000000000ull);
    EXPECT_EQ(summer, summerUtc + hour);
  }
  if (saved != nullptr) setenv("TZ", keep.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}
#endif

TEST_F(PlatformTest, DirectoriesMoveWithContentsButNotOntoOthersOrWhileCurrent) {
  std::string dir = Path("target");
  std::string moved = Path("target.001");
  ASSERT_EQ(OsCreateDirectory(dir.c_str()), 1);
  EXPECT_EQ(OsCreateDirectory(dir.c_str()), 0);
  EXPECT_EQ(OsDirectoryExists(dir.c_str()), 1);
  ASSERT_TRUE(WriteText(dir + "\\inner.txt", "inside"));
  ASSERT_EQ(OsSetAttributes((dir + "\\inner.txt").c_str(), kAttrHidden), 1);

  ASSERT_EQ(OsSetCurrentDirectory(dir.c_str()), 1);
  char current[261];
  ASSERT_EQ(OsGetCurrentDirectory(current, sizeof current), 1);
  EXPECT_STREQ(current, dir.c_str());
  EXPECT_EQ(ReadText("inner.txt"), "inside");  // relative to the current directory
  EXPECT_EQ(OsMoveFile(dir.c_str(), moved.c_str()), 0);  // in use as current directory
  EXPECT_EQ(OsRemoveDirectory(dir.c_str()), 0);
  ASSERT_EQ(OsSetCurrentDirectory(base_), 1);

  ASSERT_EQ(OsMoveFile(dir.c_str(), moved.c_str()), 1);
  EXPECT_EQ(OsPathExists(dir.c_str()), 0);
  EXPECT_EQ(ReadText(moved + "\\inner.txt"), "inside");
  EXPECT_EQ(OsGetAttributes((moved + "\\inner.txt").c_str()) & kAttrHidden, kAttrHidden);

  ASSERT_EQ(OsCreateDirectory(dir.c_str()), 1);
  EXPECT_EQ(OsMoveFile(moved.c_str(), dir.c_str()), 0);  // never replaces
  EXPECT_EQ(OsRemoveDirectory(moved.c_str()), 0);        // not empty
  EXPECT_EQ(OsDeleteFile(moved.c_str()), 0);             // not a file
  EXPECT_EQ(OsRemoveDirectory(dir.c_str()), 1);
  EXPECT_EQ(OsDirectoryExists(dir.c_str()), 0);
  char small[4];
  EXPECT_EQ(OsGetCurrentDirectory(small, sizeof small), 0);
}

TEST_F(PlatformTest, FindListsNamesAndDirectoryBits) {
  ASSERT_TRUE(WriteText(Path("a.txt"), "a"));
  ASSERT_TRUE(WriteText(Path("B.DAT"), "b"));
  ASSERT_TRUE(WriteText(Path("noext"), "n"));
  ASSERT_EQ(OsCreateDirectory(Path("sub").c_str()), 1);
  auto list = [&](const char* pattern) {
    std::vector<std::string> names;
    OsFindData data;
    FindHandle find = OsFindFirst(Path(pattern).c_str(), &data);
    for (int more = find != nullptr; more; more = OsFindNext(find, &data))
      names.push_back(std::string(data.name) + ((data.attributes & kAttrDirectory) ? "/" : ""));
    OsFindClose(find);
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(list("*.*"), (std::vector<std::string>{"../", "./", "B.DAT", "a.txt", "noext", "sub/"}));
  EXPECT_EQ(list("*.txt"), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(list("b.*"), (std::vector<std::string>{"B.DAT"}));
  EXPECT_EQ(list("?.txt"), (std::vector<std::string>{"a.txt"}));
  OsFindData data;
  EXPECT_EQ(OsFindFirst(Path("*.none").c_str(), &data), nullptr);
  EXPECT_EQ(OsFindFirst(Path("nodir\\*.*").c_str(), &data), nullptr);
}

char g_askedRoot[64];
int SmallDisk(const char* root, uint32_t* sectors, uint32_t* bytes, uint32_t* clusters) {
  snprintf(g_askedRoot, sizeof g_askedRoot, "%s", root);
  *sectors = 8;
  *bytes = 512;
  *clusters = 3;
  return 1;
}

TEST_F(PlatformTest, FreeSpaceOfTheSystemAndOfTheDouble) {
  uint32_t sectors = 0, bytes = 0, clusters = 0;
  ASSERT_EQ(OsGetDiskFreeSpace("C:\\", &sectors, &bytes, &clusters), 1);
  EXPECT_GT(sectors, 0u);
  EXPECT_GE(bytes, 512u);
  EXPECT_GT(clusters, 0u);
  EXPECT_EQ(OsGetDiskFreeSpace("Q:\\", &sectors, &bytes, &clusters), 0);

  OsSetDiskFreeSpaceQuery(SmallDisk);
  ASSERT_EQ(OsGetDiskFreeSpace("\\\\srv\\share\\", &sectors, &bytes, &clusters), 1);
  EXPECT_STREQ(g_askedRoot, "\\\\srv\\share\\");
  EXPECT_EQ(uint64_t{sectors} * bytes * clusters, 12288u);
  OsSetDiskFreeSpaceQuery(nullptr);
  EXPECT_EQ(OsGetDiskFreeSpace("Q:\\", &sectors, &bytes, &clusters), 0);
}

TEST(PlatformCodePages, GermanLettersBetweenAnsiAndOem) {
  const char ansi[] = "\xE4\xF6\xFC\xC4\xD6\xDC\xDF a\\b";
  const char oem[] = "\x84\x94\x81\x8E\x99\x9A\xE1 a\\b";
  char buffer[32];
  OsAnsiToOem(ansi, buffer);
  EXPECT_STREQ(buffer, oem);
  OsOemToAnsi(buffer, buffer);  // in place
  EXPECT_STREQ(buffer, ansi);
  // Where OEM 850 differs from the US code page 437, and where Windows falls back to a near character.
  OsAnsiToOem("\xC0\xE9\x80\x86", buffer);
  EXPECT_STREQ(buffer, "\xB7\x82?\xC5");
  OsOemToAnsi("\xB7\xCD\xE1", buffer);
  EXPECT_STREQ(buffer, "\xC0-\xDF");
}

#ifdef _WIN32
// Under a Japanese system (code page 932 for ANSI and OEM: ctest platform_test_japanese). 0x83 0x61
// is one katakana character whose second byte is the letter a.
TEST(PlatformDoubleByteCodePages, UpperCaseAndUtf8KeepEveryCharacterWhole) {
  ASSERT_EQ(GetOEMCP(), 932u);
  ASSERT_EQ(GetACP(), 932u);
  char upper[16];
  OsOemToUpper("a\x83\x61z", upper, sizeof upper);
  EXPECT_STREQ(upper, "A\x83\x61Z");
  OsOemToUpper("\x82\x81", upper, sizeof upper);  // fullwidth a: fullwidth A, two bytes as well
  EXPECT_STREQ(upper, "\x82\x60");
  OsOemToUpper("a\x83\x61", upper, 3);  // room for two bytes: the character does not fit whole
  EXPECT_STREQ(upper, "A");

  // The conversion goes in steps of 512 bytes; here a character lies across the first step's end.
  const std::string text = std::string(511, 'x') + "\x83\x61" + "y";
  char utf8[2048];
  uint32_t length = OsTextToUtf8(text.c_str(), CodePageAnsi, utf8, sizeof utf8);
  EXPECT_EQ(std::string(utf8, length), std::string(511, 'x') + "\xE3\x83\x82" + "y");  // U+30C2
  length = OsTextToUtf8("ab\x83\x61", CodePageOem, utf8, 5);
  EXPECT_EQ(length, 2u);
  EXPECT_STREQ(utf8, "ab");
}
#endif

#ifdef _WIN32
const char kTestKey[] = "Software\\Zarpex32Tests\\Platform";
void PutRegistryString(const char* name, const char* value) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), strlen(value) + 1),
            ERROR_SUCCESS);
  RegCloseKey(key);
}
void DropRegistryKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey); }
#else
const char kTestKey[] = "Software\\Zarpex32Tests\\Platform";
void PutRegistryString(const char* name, const char* value) {
  OsSetRegistryStringForTests(RegistryCurrentUser, kTestKey, name, value);
}
void DropRegistryKey() { OsClearRegistryForTests(); }
#endif

TEST(PlatformRegistry, StringValuesOfTheCurrentUser) {
  PutRegistryString("PackFile", "C:\\Pack\\archiv.zpx");
  char buffer[261] = "unchanged";
  uint32_t size = sizeof buffer;
  EXPECT_EQ(OsReadRegistryString(RegistryCurrentUser, kTestKey, "PackFile", buffer, &size), 0);
  EXPECT_STREQ(buffer, "C:\\Pack\\archiv.zpx");
  EXPECT_EQ(size, strlen("C:\\Pack\\archiv.zpx") + 1);

  // Too small: an error status and nothing written behind the buffer.
  char small[8 + 4];
  memset(small, 'G', sizeof small);
  size = 8;
  EXPECT_NE(OsReadRegistryString(RegistryCurrentUser, kTestKey, "PackFile", small, &size), 0);
  EXPECT_EQ(std::string(small + 8, 4), "GGGG");

  strcpy(buffer, "unchanged");
  size = sizeof buffer;
  EXPECT_NE(OsReadRegistryString(RegistryCurrentUser, kTestKey, "Missing", buffer, &size), 0);
  size = sizeof buffer;
  EXPECT_EQ(OsReadRegistryString(RegistryCurrentUser, "Software\\Zarpex32Tests\\NoSuchKey", "PackFile", buffer,
                                 &size),
            0);
  EXPECT_STREQ(buffer, "unchanged");  // a key that cannot be opened leaves the buffer alone
  DropRegistryKey();
}

TEST_F(PlatformTest, ProfileStringsFromTheWindowsDirectory) {
  char windows[261];
#ifdef _WIN32
  ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
#else
  snprintf(windows, sizeof windows, "C:\\WINDOWS");
  ASSERT_EQ(OsCreateDirectory(windows), 1);
  OsSetWindowsDirectoryForTests(windows);
#endif
  std::string ini = std::string(windows) + "\\zplatform-test.ini";
  ASSERT_TRUE(WriteText(ini,
                        "[OTHER]\r\nArchiveRoot=wrong\r\n"
                        "[Common]\r\n  ArchiveRoot = D:\\Zelvar\\Archive\\ \r\n"
                        "Server=\"srv01\"\r\nVolume=\r\n"));
  char buffer[261];
  EXPECT_EQ(OsGetProfileString("COMMON", "archiveroot", "", buffer, sizeof buffer, "zplatform-test.ini"), 18u);
  EXPECT_STREQ(buffer, "D:\\Zelvar\\Archive\\");
  OsGetProfileString("COMMON", "Server", "", buffer, sizeof buffer, "zplatform-test.ini");
  EXPECT_STREQ(buffer, "srv01");
  EXPECT_EQ(OsGetProfileString("COMMON", "Volume", "x", buffer, sizeof buffer, "zplatform-test.ini"), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(OsGetProfileString("COMMON", "Absent", "fallback", buffer, sizeof buffer, "zplatform-test.ini"), 8u);
  EXPECT_STREQ(buffer, "fallback");
  EXPECT_EQ(OsGetProfileString("COMMON", "ArchiveRoot", "", buffer, 6, "zplatform-test.ini"), 5u);
  EXPECT_STREQ(buffer, "D:\\Ze");
  OsGetProfileString("COMMON", "ArchiveRoot", "none", buffer, sizeof buffer, "zplatform-missing.ini");
  EXPECT_STREQ(buffer, "none");
  OsDeleteFile(ini.c_str());
#ifndef _WIN32
  RemoveTree(windows);
#endif
}

uint32_t MappedX(const char* localName, char* remoteName, uint32_t* size) {
  if (strcmp(localName, "X:") != 0) return 2250;
  const char remote[] = "\\\\server\\vol1";
  if (*size < sizeof remote) {
    *size = sizeof remote;
    return 234;
  }
  memcpy(remoteName, remote, sizeof remote);
  return 0;
}

TEST(PlatformNetwork, TheDoubleStandsInForMappedDrives) {
  char remote[261] = "";
  uint32_t size = sizeof remote;
  EXPECT_NE(OsGetNetworkConnection("C:", remote, &size), 0u);  // a local drive is no connection
  OsSetNetworkConnectionQuery(MappedX);
  size = sizeof remote;
  EXPECT_EQ(OsGetNetworkConnection("X:", remote, &size), 0u);
  EXPECT_STREQ(remote, "\\\\server\\vol1");
  size = sizeof remote;
  EXPECT_NE(OsGetNetworkConnection("Y:", remote, &size), 0u);
  OsSetNetworkConnectionQuery(nullptr);
  size = sizeof remote;
  EXPECT_NE(OsGetNetworkConnection("X:", remote, &size), 0u);
}

TEST_F(PlatformTest, NamesOfThisMachineAndProgram) {
  char name[16];
#ifndef _WIN32
  OsSetComputerNameForTests("ZSERVER01");
#endif
  ASSERT_EQ(OsGetComputerName(name, sizeof name), 1);
  EXPECT_GT(strlen(name), 0u);
#ifndef _WIN32
  EXPECT_STREQ(name, "ZSERVER01");
  EXPECT_EQ(OsGetComputerName(name, 5), 0);
  OsSetComputerNameForTests(nullptr);
#endif
  char path[261];
  uint32_t length = OsGetModuleFileName(nullptr, path, sizeof path);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(length, strlen(path));
  EXPECT_NE(strstr(path, "platform_test"), nullptr) << path;
  EXPECT_EQ(path[1], ':');
  EXPECT_EQ(OsGetModuleFileName(nullptr, path, 4), 0u);  // a cut path is refused

  std::string file = Path("a long file name.text");
  ASSERT_TRUE(WriteText(file, "x"));
  char shortName[261];
  uint32_t shortLength = OsGetShortPathName(file.c_str(), shortName, sizeof shortName);
  ASSERT_GT(shortLength, 0u);
  EXPECT_EQ(ReadText(shortName), "x");
  EXPECT_EQ(OsGetShortPathName(Path("missing").c_str(), shortName, sizeof shortName), 0u);
  EXPECT_EQ(OsIsNtPlatform(), 1);
}

std::atomic<int> g_threadStage{0};
uint32_t CountingThread(void* parameter) {
  g_threadStage.store(1);
  while (g_threadStage.load() == 1) OsSleep(1);
  *static_cast<int*>(parameter) += 1;
  g_threadStage.store(3);
  return 0;
}

TEST(PlatformThreads, ThreadRunsWithItsParameter) {
  int value = 41;
  uint32_t id = 0;
  ThreadHandle thread = OsCreateThread(CountingThread, &value, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  for (int i = 0; i < 5000 && g_threadStage.load() != 1; ++i) OsSleep(1);
  ASSERT_EQ(g_threadStage.load(), 1);
#ifdef _WIN32
  EXPECT_EQ(OsSuspendThread(thread), 0);
  EXPECT_EQ(OsResumeThread(thread), 1);
#else
  EXPECT_EQ(OsSuspendThread(thread), -1);  // not offered natively
#endif
  g_threadStage.store(2);
  for (int i = 0; i < 5000 && g_threadStage.load() != 3; ++i) OsSleep(1);
  EXPECT_EQ(g_threadStage.load(), 3);
  EXPECT_EQ(value, 42);
  OsCloseThreadHandle(thread);
}

}  // namespace

namespace {

#ifdef _WIN32
// Drive C: of the test programs is the build's prefix: what they write there is in $WINEPREFIX/drive_c,
// which Wine shows on drive Z: (the Unix root).
TEST_F(PlatformTest, DriveCIsTheDriveOfTheBuildsPrefix) {
  const char* prefix = getenv("WINEPREFIX");
  ASSERT_NE(prefix, nullptr);
  std::string hostView = std::string("Z:") + prefix + "\\drive_c" + (base_ + 2);
  for (char& c : hostView)
    if (c == '/') c = '\\';
  EXPECT_EQ(OsDirectoryExists(hostView.c_str()), 1) << hostView;
  ASSERT_TRUE(WriteText(Path("seen.txt"), "both"));
  EXPECT_EQ(ReadText(hostView + "\\seen.txt"), "both");
}

LRESULT CALLBACK EchoProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP + 1) return static_cast<LRESULT>(wParam * 2 + lParam);
  if (message == WM_APP + 2) {
    SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(PlatformWindows, MessagesAndTextsBetweenRealWindows) {
  if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "windows need a display (the test suite runs Wine on Xvfb)";
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = EchoProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ZPlatformEcho";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "ZPlatformEcho", "start", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, window, reinterpret_cast<HMENU>(1014),
                              windowClass.hInstance, nullptr);
  ASSERT_NE(edit, nullptr);

  EXPECT_EQ(OsSendMessage(window, WM_APP + 1, 20, 2), 42);
  EXPECT_EQ(OsPumpOneMessage(window), 0);
  ASSERT_EQ(OsPostMessage(window, WM_APP + 2, 7, 0), 1);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);  // posted: not handled before the pump
  EXPECT_EQ(OsPumpOneMessage(window), 1);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 7);

  EXPECT_EQ(OsGetDialogItem(window, 1014), edit);
  EXPECT_EQ(OsGetDialogItem(window, 999), nullptr);
  ASSERT_EQ(OsSetDialogItemText(window, 1014, "-Z\"C:\\Ziel\""), 1);
  char text[8];
  EXPECT_EQ(OsGetWindowText(edit, text, sizeof text), 7);  // cut to the buffer
  EXPECT_STREQ(text, "-Z\"C:\\Z");
  ASSERT_EQ(OsSetWindowText(window, "Zarpex32"), 1);
  char title[32];
  EXPECT_EQ(OsGetWindowText(window, title, sizeof title), 8);
  EXPECT_STREQ(title, "Zarpex32");
  OsShowWindow(window);
  OsRepaintWindow(window);
  OsUpdateWindow(window);
  DestroyWindow(window);
}
#else
TEST(PlatformPosixPaths, WindowsPathsMapOntoHostFolders) {
  char host[1024];
  OsMapDriveForTests('d', "/srv/disk-d/");
  OsMapUncRootForTests("/srv/unc");
  OsHostPathForTests("D:\\Zelvar\\Archive\\x.dat", host, sizeof host);
  EXPECT_STREQ(host, "/srv/disk-d/Zelvar/Archive/x.dat");
  OsHostPathForTests("d:/a/./b//c\\", host, sizeof host);
  EXPECT_STREQ(host, "/srv/disk-d/a/b/c");
  OsHostPathForTests("D:\\a\\..\\..\\..\\etc", host, sizeof host);  // ".." stops at the drive's root
  EXPECT_STREQ(host, "/srv/disk-d/etc");
  OsHostPathForTests("D:\\", host, sizeof host);
  EXPECT_STREQ(host, "/srv/disk-d");
  OsHostPathForTests("\\\\srv01\\vol1\\zelvar\\..\\..\\x", host, sizeof host);  // nor above the share
  EXPECT_STREQ(host, "/srv/unc/srv01/vol1/x");
  OsHostPathForTests("E:\\a", host, sizeof host);
  EXPECT_STREQ(host, "");  // E: is not mapped
  OsHostPathForTests("\\\\srv01", host, sizeof host);
  EXPECT_STREQ(host, "");  // a server without share
  std::string longPath = "D:\\" + std::string(1100, 'a');
  OsHostPathForTests(longPath.c_str(), host, sizeof host);
  EXPECT_STREQ(host, "");  // too long is nothing, not a cut path
  OsMapDriveForTests('D', nullptr);
  OsMapUncRootForTests(nullptr);
}

TEST_F(PlatformTest, ExistingNamesMatchWithoutCaseAndRelativePathsUseTheCurrentDirectory) {
  ASSERT_EQ(OsCreateDirectory(Path("Clients").c_str()), 1);
  ASSERT_TRUE(WriteText(Path("Clients\\Setup.INF"), "inf"));
  EXPECT_EQ(ReadText(Path("CLIENTS\\setup.inf")), "inf");
  char host[1024];
  OsHostPathForTests(Path("clients\\SETUP.inf").c_str(), host, sizeof host);
  EXPECT_EQ(std::string(host), host_ + "/zplatform/Clients/Setup.INF");
  ASSERT_EQ(OsSetCurrentDirectory(Path("clients").c_str()), 1);
  OsHostPathForTests("..\\Clients\\new.txt", host, sizeof host);
  EXPECT_EQ(std::string(host), host_ + "/zplatform/Clients/new.txt");
  OsHostPathForTests("\\x", host, sizeof host);  // rooted on the current drive
  EXPECT_EQ(std::string(host), host_ + "/x");
  OsSetModuleFileNameForTests("C:\\zplatform\\Zarpex32.exe");
  char module[261];
  EXPECT_EQ(OsGetModuleFileName(nullptr, module, sizeof module), 25u);
  EXPECT_STREQ(module, "C:\\zplatform\\Zarpex32.exe");
  OsSetModuleFileNameForTests(nullptr);
}

struct Seen {
  WindowHandle window;
  uint32_t message;
  MessageWParam wParam;
  MessageLParam lParam;
  int posted;
};
std::vector<Seen> g_seen;
MessageResult Record(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam,
                     int posted) {
  g_seen.push_back({window, message, wParam, lParam, posted});
  return posted ? 0 : 99;
}

TEST(PlatformPosixWindows, MessagesReachTheHandlerAndTextsStayPerWindow) {
  int parent = 0, other = 0;
  g_seen.clear();
  EXPECT_EQ(OsSendMessage(&parent, 1026, 50, 0), 0);  // no handler: nothing, 0
  OsSetMessageHandlerForTests(Record);
  EXPECT_EQ(OsSendMessage(&parent, 1026, 50, 7), 99);
  EXPECT_EQ(OsPostMessage(&parent, 1025, 3, 0), 1);
  OsSetMessageHandlerForTests(nullptr);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].window, &parent);
  EXPECT_EQ(g_seen[0].message, 1026u);
  EXPECT_EQ(g_seen[0].lParam, 7);
  EXPECT_EQ(g_seen[0].posted, 0);
  EXPECT_EQ(g_seen[1].message, 1025u);
  EXPECT_EQ(g_seen[1].wParam, 3u);
  EXPECT_EQ(g_seen[1].posted, 1);

  WindowHandle item = OsGetDialogItem(&parent, 1014);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(OsGetDialogItem(&parent, 1014), item);
  EXPECT_NE(OsGetDialogItem(&parent, 1016), item);
  EXPECT_NE(OsGetDialogItem(&other, 1014), item);
  ASSERT_EQ(OsSetDialogItemText(&parent, 1014, "C:\\Ziel"), 1);
  char text[5];
  EXPECT_EQ(OsGetWindowText(item, text, sizeof text), 4);
  EXPECT_STREQ(text, "C:\\Z");
  EXPECT_EQ(OsGetWindowText(OsGetDialogItem(&other, 1014), text, sizeof text), 0);
  EXPECT_STREQ(text, "");
}
#endif

}  // namespace
