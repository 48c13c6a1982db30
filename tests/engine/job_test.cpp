// The unpack job run on the test thread: every stop of the preparation with its question or error
// code, the free-space numbers, the numbered backup, the answers to "target exists", roll-back,
// the current directory inside the target, DeleteTree, setup-call mode, and stops at every point.
#include <gtest/gtest.h>

#include <cerrno>

#include "engine/job_log.h"
#include "engine/progress_messages.h"
#include "engine/record_lock.h"
#include "engine/records.h"
#include "engine/target_claim.h"
#include "engine/unpack_job.h"
#include "platform/test_hooks.h"
#include "tests/engine/job_support.h"
#include "tests/engine/log_support.h"
#include "ui/message_texts.h"
#ifdef _WIN32
#include <windows.h>
#else
#include "platform/test_hooks.h"
#endif

using namespace jobtest;

namespace {

std::string CurrentTestName() {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

class JobTest : public ::testing::Test {
 protected:
  Scratch scratch{CurrentTestName()};
  Page page;
  std::string source = scratch / "input.zpk";
  std::string target = scratch / "connect";
  std::string archiveRoot = "C:\\TESTROOT";

  void SetUp() override { Prepare(false); }
  void Prepare(bool setupCall) {
    SetUpJob(source, target, setupCall, archiveRoot.c_str());
    if (!setupCall) g_workerState.progressWindow = page.window();
  }

  static std::vector<zpack::PackEntry> NewEntries() {
    return {DirectoryEntry("\\config"), FileEntry("\\config\\settings.txt", MixedData(3000, 1)),
            FileEntry("\\readme.txt", Text("new readme\r\n")), FileEntry("\\data.bin", MixedData(20000, 2)),
            FileEntry("\\empty.ini", {}), FileEntry("\\config\\more.txt", MixedData(700, 3))};
  }
  void MakeOldTarget(const std::string& at) {
    ASSERT_TRUE(OsCreateDirectory(at.c_str()));
    ASSERT_TRUE(OsCreateDirectory((at + "\\config").c_str()));
    ASSERT_TRUE(WriteBytes(at + "\\readme.txt", Text("old readme")));
    ASSERT_TRUE(WriteBytes(at + "\\old_only.txt", MixedData(5000, 9)));
    ASSERT_TRUE(WriteBytes(at + "\\config\\settings.txt", Text("old settings")));
  }
  // The tree a complete job leaves, made once in a folder of its own.
  Tree ReferenceNewTree() {
    const std::string reference = scratch / "reference";
    SetUpJob(source, reference, true, archiveRoot.c_str());
    EXPECT_EQ(RunUnpackJob(), 1);
    Tree tree = Snapshot(reference);
    RemoveTree(reference);
    Prepare(false);
    return tree;
  }
  std::vector<std::string> Backups() { return BackupsOf(scratch.path(), "connect"); }
};

// ---- every stop of the preparation ----

struct StopCase {
  const char* name;
  int questionType;
  uint32_t setupError;
};

class PrepareStopTest : public JobTest, public ::testing::WithParamInterface<std::tuple<StopCase, bool>> {};

TEST_P(PrepareStopTest, ReportsOnceAndLeavesEverythingAsItWas) {
  const StopCase stop = std::get<0>(GetParam());
  const bool setupCall = std::get<1>(GetParam());
  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  MakeOldTarget(target);
  std::string longTarget;
  uint64_t freeBytes = 1ull << 40;
  bool freeSpaceFails = false;
  const std::string name = stop.name;
  Prepare(setupCall);
  if (name == "no archive root") g_jobSettings.archiveRoot[0] = '\0';
  if (name == "source missing") CopyBounded(g_jobSettings.sourcePath, kPathChars, (scratch / "absent.zpk").c_str());
  if (name == "not a packed file") {
    ASSERT_TRUE(WriteBytes(source, MixedData(1000, 4)));
  }
  if (name == "drive not ready") freeSpaceFails = true;
  if (name == "no space") freeBytes = 1000;
  if (name == "cannot rename") {
    // A target whose numbered name would not fit into 260 characters.
    std::string level = scratch.path();
    longTarget = level + "\\" + std::string(120, 'a');
    ASSERT_TRUE(OsCreateDirectory(longTarget.c_str()));
    longTarget += "\\" + std::string(257 - longTarget.size(), 'b');
    ASSERT_EQ(longTarget.size(), 258u);
    ASSERT_TRUE(OsCreateDirectory(longTarget.c_str()));
    CopyBounded(g_jobSettings.targetDir, kPathChars, longTarget.c_str());
  }
  FreeSpaceDouble space(freeBytes, freeSpaceFails);
  const Tree before = Snapshot(scratch.path());

  EXPECT_EQ(RunUnpackJob(), 0);

  EXPECT_EQ(g_sourceFile, kNoFile) << "the source file is closed after a stop";
  EXPECT_EQ(Snapshot(scratch.path()), before) << "nothing on disk changed";
  EXPECT_EQ(g_jobSettings.backupDir[0], '\0');
  if (setupCall) {
    EXPECT_EQ(g_jobSettings.error, stop.setupError);
    EXPECT_TRUE(page.Records().empty()) << "setup-call mode asks nothing";
  } else {
    EXPECT_EQ(g_jobSettings.error, 0u);
    const std::vector<Record> questions = page.Of(UM_QUESTION);
    // A stop after the target question has the type-6 question before it.
    ASSERT_FALSE(questions.empty());
    EXPECT_EQ(questions.back().wParam, static_cast<MessageWParam>(stop.questionType));
    EXPECT_EQ(page.Count(UM_QUESTION, stop.questionType), 1u);
    EXPECT_EQ(page.Count(UM_PROGRESS), 0u) << "nothing was unpacked";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stops, PrepareStopTest,
    ::testing::Combine(::testing::Values(StopCase{"no archive root", 1, 9}, StopCase{"source missing", 2, 1},
                                         StopCase{"not a packed file", 3, 7}, StopCase{"drive not ready", 4, 2},
                                         StopCase{"no space", 5, 3}, StopCase{"cannot rename", 7, 8}),
                       ::testing::Bool()),
    [](const ::testing::TestParamInfo<PrepareStopTest::ParamType>& info) {
      std::string name = std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_setup" : "_page");
      for (char& c : name)
        if (c == ' ') c = '_';
      return name;
    });

TEST_F(JobTest, CancelToTargetQuestionAndEarlyStopRequestChangeNothing) {
  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  MakeOldTarget(target);
  const Tree before = Snapshot(scratch.path());

  page.targetExistsAnswer = 0;
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_EQ(page.Count(UM_QUESTION, QuestionTargetExists), 1u);
  EXPECT_EQ(g_sourceFile, kNoFile);
  EXPECT_EQ(Snapshot(scratch.path()), before);

  page.Clear();
  page.targetExistsAnswer = 1;
  g_workerState.stopRequested = 1;
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_TRUE(page.Records().empty()) << "a stop before the first step asks nothing";
  EXPECT_EQ(g_sourceFile, kNoFile);
  EXPECT_EQ(Snapshot(scratch.path()), before);
}

// ---- free space ----

TEST_F(JobTest, FreeSpaceNumbersAndTheExactLimit) {
  struct Case {
    uint64_t required;
    int megabytes;
    int rest;
  };
  for (const Case c : {Case{5000000, 4, 7}, Case{1048575, 0, 10}, Case{527648, 0, 5}, Case{3145727, 2, 10}}) {
    ASSERT_TRUE(WritePackedFile(source, NewEntries(), static_cast<int64_t>(c.required - kFreeSpaceMargin)));
    page.Clear();
    {
      FreeSpaceDouble space(c.required - 1);
      EXPECT_EQ(PrepareJob(), 0);
    }
    const std::vector<Record> questions = page.Of(UM_QUESTION);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].wParam, static_cast<MessageWParam>(QuestionNotEnoughSpace));
    EXPECT_EQ(questions[0].lParam & 0xFFFF, c.megabytes) << c.required;
    EXPECT_EQ((questions[0].lParam >> 16) & 0xFFFF, c.rest) << c.required;
    EXPECT_EQ(PackRequiredSize(c.required), questions[0].lParam);

    page.Clear();
    FreeSpaceDouble exact(c.required);
    EXPECT_EQ(PrepareJob(), 1) << "free space equal to the requirement is enough";
    EXPECT_TRUE(page.Records().empty());
    OsCloseFile(g_sourceFile);
    g_sourceFile = kNoFile;
  }
}

TEST_F(JobTest, FreeSpaceIsAskedForTheRootOfDriveOrShare) {
  char root[kRootBuffer];
  TargetRoot(root, "C:\\zelvar\\ARCHIVE\\x");
  EXPECT_STREQ(root, "C:\\");
  TargetRoot(root, "\\\\SRV\\SYS\\zelvar\\ARCHIVE");
  EXPECT_STREQ(root, "\\\\SRV\\SYS\\");
  TargetRoot(root, "\\\\SRV\\SYS");
  EXPECT_STREQ(root, "\\\\SRV\\SYS\\");
  const std::string longest(260, 'x');
  TargetRoot(root, ("\\\\" + longest).c_str());
  EXPECT_EQ(std::strlen(root), 261u) << "a 260-character share root still gets its backslash";

  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  CopyBounded(g_jobSettings.targetDir, kPathChars, "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\connect");
  FreeSpaceDouble failing(0, true);
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_EQ(FreeSpaceDouble::lastRoot, "\\\\SRV\\SYS\\");
  const std::vector<Record> questions = page.Of(UM_QUESTION);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].wParam, static_cast<MessageWParam>(QuestionDriveNotReady));
  EXPECT_EQ(questions[0].text, "\\\\SRV\\SYS\\");
}

// ---- backup, answers, roll-back ----

TEST_F(JobTest, BackupTakesTheFirstFreeNumberAndYesKeepsIt) {
  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  const Tree fresh = ReferenceNewTree();
  MakeOldTarget(target);
  const Tree old = Snapshot(target);
  ASSERT_TRUE(OsCreateDirectory((scratch / "connect.001").c_str()));
  ASSERT_TRUE(WriteBytes(scratch / "connect.001\\mine.txt", Text("an older backup")));
  const Tree older = Snapshot(scratch / "connect.001");

  page.targetExistsAnswer = 2;  // Yes: rename and keep
  EXPECT_EQ(RunUnpackJob(), 1);
  EXPECT_EQ(std::string(g_jobSettings.backupDir), scratch / "connect.002");
  EXPECT_EQ(g_jobSettings.deleteBackup, 0);
  EXPECT_EQ(Snapshot(target), fresh);
  EXPECT_EQ(Snapshot(scratch / "connect.002"), old) << "the kept backup is the old target, byte for byte";
  EXPECT_EQ(Snapshot(scratch / "connect.001"), older);
  EXPECT_EQ(page.Count(UM_JOB_FINISHED), 0u) << "the job itself does not report its end";
}

TEST_F(JobTest, AnExtensionOfTheTargetIsReplacedByTheNumber) {
  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  target = scratch / "old.dir";
  Prepare(false);
  MakeOldTarget(target);
  const Tree old = Snapshot(target);
  page.targetExistsAnswer = 2;
  EXPECT_EQ(RunUnpackJob(), 1);
  EXPECT_EQ(std::string(g_jobSettings.backupDir), scratch / "old.001");
  EXPECT_EQ(Snapshot(scratch / "old.001"), old);
}

TEST_F(JobTest, NoDeletesTheBackupAfterSuccessAndShowsIt) {
  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  const Tree fresh = ReferenceNewTree();
  MakeOldTarget(target);
  page.targetExistsAnswer = 1;
  EXPECT_EQ(RunUnpackJob(), 1);
  EXPECT_EQ(Snapshot(target), fresh);
  EXPECT_TRUE(Backups().empty());
  EXPECT_EQ(g_jobSettings.backupDir[0], '\0') << "no backup is left to name";
  char deleting[64];
  LoadText(TextDeletingBackup, deleting, sizeof deleting);
  EXPECT_STREQ(deleting, "Backupverzeichnis l\366schen");
  const std::vector<Record> progress = page.Of(UM_PROGRESS);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back().wParam, static_cast<MessageWParam>(ProgressDeletingBackup));
  EXPECT_EQ(progress.back().text, scratch / "connect.001");
}

TEST_F(JobTest, AFailingEntryPutsTheOldTargetBackByteForByte) {
  std::vector<zpack::PackEntry> entries = NewEntries();
  entries.insert(entries.begin() + 3, BrokenEntry("\\broken.bin"));
  ASSERT_TRUE(WritePackedFile(source, entries));
  MakeOldTarget(target);
  ASSERT_TRUE(OsSetAttributes((target + "\\old_only.txt").c_str(), kAttrArchive | kAttrHidden));
  const Tree old = Snapshot(target);

  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_EQ(Snapshot(target), old);
  EXPECT_TRUE(Backups().empty());
  EXPECT_EQ(g_jobSettings.backupDir[0], '\0');

  // Without an old target the half-written new one disappears.
  RemoveTree(target);
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_FALSE(OsPathExists(target.c_str()));
  EXPECT_TRUE(Backups().empty());
}

// The log of a job: each file with its size, the damaged entry with its reason, the roll-back; one
// CRLF line per event, appended by the next job.
TEST_F(JobTest, TheLogNamesEachFileTheDamagedEntryAndTheRollBack) {
  std::vector<zpack::PackEntry> entries = NewEntries();
  entries.insert(entries.begin() + 3, BrokenEntry("\\broken.bin"));
  ASSERT_TRUE(WritePackedFile(source, entries));
  Prepare(true);
  const std::string log = scratch / "job.log";
  SetJobLogPath(log.c_str());
  ASSERT_EQ(OpenJobLog(), 1);
  EXPECT_EQ(RunUnpackJob(), 0);
  CloseJobLog();
  EXPECT_EQ(RunUnpackJob(), 0);  // without an open log nothing is written
  ASSERT_EQ(OpenJobLog(), 1);
  EXPECT_EQ(RunUnpackJob(), 0);
  CloseJobLog();
  SetJobLogPath("");

  Bytes bytes;
  ASSERT_TRUE(ReadBytes(log, &bytes));
  const std::string text(bytes.begin(), bytes.end());
  std::string bad;
  std::vector<std::string> lines;
  for (const logtest::LogLine& line : logtest::ParseLog(text, &bad)) {
    EXPECT_EQ(line.run, logtest::ThisRun()) << line.text;
    lines.push_back(line.text);
  }
  ASSERT_EQ(bad, "") << text;
  auto count = [&](const std::string& wanted) {
    return std::count(lines.begin(), lines.end(), wanted);
  };
  EXPECT_EQ(count("job: source " + source), 2) << text;
  EXPECT_EQ(count("directory " + target + "\\config"), 2) << text;
  EXPECT_EQ(count("file " + target + "\\config\\settings.txt, 3000 bytes"), 2) << text;
  EXPECT_EQ(count("file " + target + "\\readme.txt, 12 bytes"), 2) << text;
  EXPECT_EQ(count("damaged entry " + target + "\\broken.bin: unknown literal mode (2)"), 2) << text;
  EXPECT_EQ(count("roll-back: what was unpacked into " + target + " is deleted"), 2) << text;
  EXPECT_EQ(count("file " + target + "\\data.bin, 20000 bytes"), 2) << "the walk goes on after a damaged entry";
}

// Another run appends to the same log while this one has it open: its line stays, and the lines
// this run writes next come behind it.
TEST_F(JobTest, TheLogAppendsBehindWhatAnotherRunWroteMeanwhile) {
  const std::string log = scratch / "shared.log";
  SetJobLogPath(log.c_str());
  ASSERT_EQ(OpenJobLog(), 1);
  LogLine("first line of this run");
  FlushJobLog();
  const FileHandle other = OsOpenFile(log.c_str(), FileOpenReadWrite);
  ASSERT_NE(other, kNoFile);
  ASSERT_GT(OsSeekFile(other, 0, SeekFromEnd), 0);
  const std::string theirs = "2009-01-01 00:00:00  OTHER:4  a line of another run\r\n";
  ASSERT_EQ(OsWriteFile(other, theirs.data(), static_cast<uint32_t>(theirs.size())),
            static_cast<int32_t>(theirs.size()));
  OsCloseFile(other);
  LogLine("second line of this run");
  CloseJobLog();
  SetJobLogPath("");

  Bytes bytes;
  ASSERT_TRUE(ReadBytes(log, &bytes));
  std::string bad;
  const std::vector<logtest::LogLine> lines = logtest::ParseLog(std::string(bytes.begin(), bytes.end()), &bad);
  EXPECT_EQ(bad, "");
  ASSERT_EQ(lines.size(), 3u) << std::string(bytes.begin(), bytes.end());
  EXPECT_EQ(lines[0].text, "first line of this run");
  EXPECT_EQ(lines[1].run, "OTHER:4");
  EXPECT_EQ(lines[2].text, "second line of this run");
  EXPECT_EQ(lines[2].run, logtest::ThisRun());
}

TEST_F(JobTest, ARollBackThatCannotRemoveTheTargetKeepsTheBackup) {
  std::vector<zpack::PackEntry> entries = NewEntries();
  zpack::PackEntry locked = FileEntry("\\locked.txt", Text("read-only in the archive"));
  locked.attributes = kAttrArchive | kAttrReadOnly;
  entries.push_back(locked);
  entries.push_back(BrokenEntry("\\broken.bin"));
  ASSERT_TRUE(WritePackedFile(source, entries));
  MakeOldTarget(target);
  const Tree old = Snapshot(target);

  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_TRUE(OsPathExists((target + "\\locked.txt").c_str()));
  ASSERT_EQ(Backups(), std::vector<std::string>{"connect.001"});
  EXPECT_EQ(Snapshot(scratch / "connect.001"), old) << "the old target survives under its numbered name";
  EXPECT_EQ(std::string(g_jobSettings.backupDir), scratch / "connect.001");
}

TEST_F(JobTest, CurrentDirectoryInsideTheTarget) {
  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  const Tree fresh = ReferenceNewTree();
  MakeOldTarget(target);
  ASSERT_TRUE(OsSetCurrentDirectory((target + "\\config").c_str()));
  page.targetExistsAnswer = 1;
  EXPECT_EQ(RunUnpackJob(), 1);
  EXPECT_EQ(Snapshot(target), fresh);
  EXPECT_TRUE(Backups().empty()) << "the backup is deleted although the current directory was inside it";
  char current[kPathBuffer] = "";
  OsGetCurrentDirectory(current, sizeof current);
  EXPECT_FALSE(StartsWithNoCase(current, (target + "\\").c_str())) << current;
}

TEST_F(JobTest, SetupCallRenamesAnExistingTargetSilentlyAndDeletesItAfterSuccess) {
  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  const Tree fresh = ReferenceNewTree();
  MakeOldTarget(target);
  Prepare(true);
  g_workerState.progressWindow = page.window();  // would receive anything sent by mistake
  EXPECT_EQ(RunUnpackJob(), 1);
  EXPECT_EQ(g_jobSettings.error, 0u);
  EXPECT_EQ(g_jobSettings.deleteBackup, 1);
  EXPECT_EQ(Snapshot(target), fresh);
  EXPECT_TRUE(Backups().empty());
  EXPECT_EQ(page.Count(UM_QUESTION), 0u);
}

// ---- a failed job takes back what its claim changed ----

class TakeBackTest : public JobTest, public ::testing::WithParamInterface<const char*> {};
Bytes ParentRecord(const std::string& title);

// A job that fails on a full disk or a damaged entry, or is stopped, leaves the tree as it found it,
// also where its claim changed it: into a target whose parent is still missing below a folder
// without "archive.dir" (the claim makes the parent and its "archive.dir"), and into a target next to
// a read-only "archive.dir" (the claim makes it writable).
TEST_P(TakeBackTest, TheParentIsAsItWasBefore) {
  const std::string how = GetParam();
  std::vector<zpack::PackEntry> entries = NewEntries();
  if (how == "damaged entry") entries.insert(entries.begin() + 3, BrokenEntry("\\broken.bin"));
  ASSERT_TRUE(WritePackedFile(source, entries));
  const std::string parent = scratch / "parent";
  ASSERT_TRUE(OsCreateDirectory(parent.c_str()));
  ASSERT_TRUE(WriteBytes(parent + "\\other.txt", Text("stays")));
  ASSERT_TRUE(OsCreateDirectory((parent + "\\records").c_str()));
  ASSERT_TRUE(WriteBytes(parent + "\\records\\archive.dir", ParentRecord("Alte Verbindungen")));
  ASSERT_TRUE(OsSetAttributes((parent + "\\records\\archive.dir").c_str(), kAttrReadOnly | kAttrArchive));
  struct Target {
    std::string dir;
    std::string claimFile;
  };
  for (const Target& at : {Target{parent + "\\neu\\connect", parent + "\\neu\\archive.dir"},
                           Target{parent + "\\records\\connect", parent + "\\records\\archive.dir"}}) {
    const Tree before = Snapshot(parent);
    target = at.dir;
    archiveRoot = "C:\\ARCHIVE\\neu\\connect";  // below the top level: the claim lies in the parent
    Prepare(false);
    page.Clear();
    bool claimed = false;
    page.onMessage = [&](const Record& record) {
      if (!claimed) {
        claimed = OsPathExists(at.claimFile.c_str()) && (OsGetAttributes(at.claimFile.c_str()) & kAttrReadOnly) == 0;
      }
      if (how == "stop" && record.message == UM_PROGRESS && record.wParam == ProgressPosition && record.lParam == 2) {
        g_workerState.stopRequested = 1;
      }
    };
    FreeSpaceDouble space(how == "disk full" ? 1000 : 1ull << 40);
    EXPECT_EQ(RunUnpackJob(), 0) << at.dir;
    page.onMessage = nullptr;
    // A full disk ends the run before its claim: then there is nothing to take back.
    EXPECT_EQ(claimed, how != "disk full") << at.dir << ": what the claim changed";
    EXPECT_EQ(Snapshot(parent), before) << at.dir << "\n" << Describe(Snapshot(parent));
  }
}

INSTANTIATE_TEST_SUITE_P(Failures, TakeBackTest, ::testing::Values("disk full", "damaged entry", "stop"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == ' ') c = '_';
                           return name;
                         });

// ---- locks that fail ----

#ifdef _WIN32
constexpr uint32_t kLockErrorNetwork = ERROR_NETNAME_DELETED;
constexpr uint32_t kLockErrorNoLocks = ERROR_NOT_SUPPORTED;
#else
constexpr uint32_t kLockErrorNetwork = ENOLCK;
constexpr uint32_t kLockErrorNoLocks = ENOTSUP;
#endif
void FailLocksFromNowOn() { OsSetLockErrorForTests(kLockErrorNetwork, -1); }

// A lock error that lasts (a network that has dropped) stops the run in setup-call mode with code 8
// before it changes anything, at the claim and at the merge, with the system's text in the log; only
// a file system without locks lets the run go on without them, and its log says so.
TEST_F(JobTest, ALockErrorThatLastsStopsTheRunAndOnlyMissingLocksLetItGoOn) {
  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  const Tree fresh = ReferenceNewTree();
  MakeOldTarget(target);
  const std::string records = scratch / "archive.dir";
  ASSERT_TRUE(WriteBytes(records, ParentRecord("Alte Verbindungen")));
  const Tree old = Snapshot(target);
  const std::string log = scratch / "run.log";
  archiveRoot = "C:\\ARCHIVE\\connect";
  SetTargetClaimBoundForTests(300);
  SetMergeLockBoundForTests(300);
  char ansi[200];
  char errorText[600];  // as the log has it: UTF-8
  OsErrorText(kLockErrorNetwork, ansi, sizeof ansi);
  OsTextToUtf8(ansi, CodePageAnsi, errorText, sizeof errorText);
  for (const char* where : {"claim", "merge"}) {
    SetJobLogPath(log.c_str());
    ASSERT_EQ(OpenJobLog(), 1);
    Prepare(true);
    if (std::string(where) == "claim") {
      FailLocksFromNowOn();
    } else {
      SetStopCheckObserverForTests(FailLocksFromNowOn);  // from the extraction on
    }
    EXPECT_EQ(RunUnpackJob(), 0) << where;
    SetStopCheckObserverForTests(nullptr);
    OsSetLockErrorForTests(0, 0);
    CloseJobLog();
    EXPECT_EQ(g_jobSettings.error, static_cast<uint32_t>(SetupErrorCannotRename)) << where;
    EXPECT_EQ(Snapshot(target), old) << where;
    EXPECT_TRUE(Backups().empty()) << where;
    Bytes parent;
    EXPECT_TRUE(ReadBytes(records, &parent) && parent == ParentRecord("Alte Verbindungen")) << where;
    Bytes text;
    ASSERT_TRUE(ReadBytes(log, &text));
    EXPECT_NE(std::string(text.begin(), text.end()).find(errorText), std::string::npos)
        << where << ": " << errorText << "\n" << std::string(text.begin(), text.end());
    OsDeleteFile(log.c_str());
  }

  SetJobLogPath(log.c_str());
  ASSERT_EQ(OpenJobLog(), 1);
  Prepare(true);
  OsSetLockErrorForTests(kLockErrorNoLocks, -1);
  EXPECT_EQ(RunUnpackJob(), 1);
  OsSetLockErrorForTests(0, 0);
  CloseJobLog();
  SetJobLogPath("");
  SetTargetClaimBoundForTests(0);
  SetMergeLockBoundForTests(0);
  EXPECT_EQ(Snapshot(target), fresh);
  Bytes text;
  ASSERT_TRUE(ReadBytes(log, &text));
  std::string bad;
  const std::vector<logtest::LogLine> lines = logtest::ParseLog(std::string(text.begin(), text.end()), &bad);
  ASSERT_GE(lines.size(), 4u);
  size_t noLocks = 0;
  for (size_t k = 0; k < lines.size(); ++k) {
    if (lines[k].text.find("has no byte-range locks") != std::string::npos && k < 10) ++noLocks;
  }
  EXPECT_GE(noLocks, 1u) << std::string(text.begin(), text.end());
}

// ---- a Japanese system (932): 表 is 0x95 0x5C, ソ 0x83 0x5C ----

#define HYO_KEISAN "\x95\x5C\x8C\x76\x8E\x5A"  // 表計算
#define SOFUTO "\x83\x5C\x83\x74\x83\x67"      // ソフト

// A target with 表 and ソ at several levels: a run that fails leaves the tree exactly as it was (the
// claim made no directory named by half a character, or took back what it made), and a run that
// succeeds registers the archive in the "archive.dir" of each level above, with whole names and
// paths, and makes nothing else.
TEST_F(JobTest, DoubleByteTargetIsRegisteredAboveByWholeNames) {
#ifdef _WIN32
  if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932";
#else
  OsSetDoubleByteCodePageForTests(932);
  struct Restore {
    ~Restore() { OsSetDoubleByteCodePageForTests(0); }
  } restore;
#endif
  const std::string archive = scratch / "ARCHIVE";
  ASSERT_TRUE(OsCreateDirectory(archive.c_str()));
  ASSERT_TRUE(OsCreateDirectory((archive + "\\" HYO_KEISAN).c_str()));
  target = archive + "\\" HYO_KEISAN "\\" SOFUTO;
  archiveRoot = "C:\\ARCHIVE\\" HYO_KEISAN "\\" SOFUTO;

  std::vector<zpack::PackEntry> entries = NewEntries();
  entries.insert(entries.begin() + 2, BrokenEntry("\\broken.bin"));
  ASSERT_TRUE(WritePackedFile(source, entries));
  Prepare(true);
  const Tree before = Snapshot(archive);
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_EQ(Snapshot(archive), before) << Describe(Snapshot(archive));

  ASSERT_TRUE(WritePackedFile(source, NewEntries()));
  Prepare(true);
  ASSERT_EQ(RunUnpackJob(), 1);
  std::vector<std::string> made;
  for (const auto& item : Snapshot(archive)) {
    if (item.first.compare(0, std::strlen("\\" HYO_KEISAN "\\" SOFUTO "\\"), "\\" HYO_KEISAN "\\" SOFUTO "\\") != 0) {
      made.push_back(item.first);
    }
  }
  EXPECT_EQ(made, (std::vector<std::string>{"\\archive.dir", "\\" HYO_KEISAN, "\\" HYO_KEISAN "\\archive.dir",
                                            "\\" HYO_KEISAN "\\" SOFUTO}));
  auto tag = [](const Bytes& record, unsigned char which) {
    char value[kRecordTagsSize];
    ReadRecordTag(reinterpret_cast<const char*>(record.data()), which, value, sizeof value);
    return std::string(value);
  };
  Bytes records;
  ASSERT_TRUE(ReadBytes(archive + "\\" HYO_KEISAN "\\archive.dir", &records));
  ASSERT_EQ(records.size(), kRecordSize);
  EXPECT_EQ(tag(records, TagName), SOFUTO);
  EXPECT_EQ(tag(records, TagPath), "C:\\ARCHIVE\\" HYO_KEISAN "\\" SOFUTO);
  ASSERT_TRUE(ReadBytes(archive + "\\archive.dir", &records));
  ASSERT_EQ(records.size(), kRecordSize);
  EXPECT_EQ(tag(records, TagName), HYO_KEISAN);
  EXPECT_EQ(tag(records, TagPath), "C:\\ARCHIVE\\" HYO_KEISAN);
}

// ---- DeleteTree ----

TEST_F(JobTest, DeleteTreeKeepsDotNamesAndReadOnlyFiles) {
  const std::string tree = scratch / "tree";
  ASSERT_TRUE(OsCreateDirectory(tree.c_str()));
  ASSERT_TRUE(OsCreateDirectory((tree + "\\gone").c_str()));
  ASSERT_TRUE(OsCreateDirectory((tree + "\\gone\\deeper").c_str()));
  ASSERT_TRUE(WriteBytes(tree + "\\gone\\deeper\\a.txt", Text("a")));
  ASSERT_TRUE(WriteBytes(tree + "\\plain.txt", Text("plain")));
  ASSERT_TRUE(WriteBytes(tree + "\\.keep", Text("dot")));
  ASSERT_TRUE(OsCreateDirectory((tree + "\\.git").c_str()));
  ASSERT_TRUE(WriteBytes(tree + "\\.git\\config", Text("dot dir")));
  ASSERT_TRUE(OsCreateDirectory((tree + "\\holds").c_str()));
  ASSERT_TRUE(WriteBytes(tree + "\\holds\\ro.txt", Text("read-only")));
  ASSERT_TRUE(OsSetAttributes((tree + "\\holds\\ro.txt").c_str(), kAttrReadOnly));

  DeleteTree((tree + "\\").c_str());

  EXPECT_FALSE(OsPathExists((tree + "\\gone").c_str()));
  EXPECT_FALSE(OsPathExists((tree + "\\plain.txt").c_str()));
  EXPECT_TRUE(OsPathExists((tree + "\\.keep").c_str()));
  EXPECT_TRUE(OsPathExists((tree + "\\.git\\config").c_str()));
  EXPECT_TRUE(OsPathExists((tree + "\\holds\\ro.txt").c_str()));
  EXPECT_TRUE(OsDirectoryExists(tree.c_str()));
}

TEST_F(JobTest, DeleteTreeGoesDownToTheLongestPathsButNeverActsOnACutOne) {
  const std::string tree = scratch / "deep";
  ASSERT_TRUE(OsCreateDirectory(tree.c_str()));
  std::string level = tree;
  while (level.size() + 41 <= 250) {
    level += "\\" + std::string(40, 'd');
    ASSERT_TRUE(OsCreateDirectory(level.c_str()));
  }
  ASSERT_TRUE(WriteBytes(level + "\\f.txt", Text("deep")));
  // A directory of 259 characters; a path of 261 characters whose first 260 are it and a backslash.
  const std::string last = tree + "\\" + std::string(259 - tree.size() - 1, 'z');
  ASSERT_EQ(last.size(), 259u);
  ASSERT_TRUE(OsCreateDirectory(last.c_str()));
  DeleteTree((last + "\\x").c_str());
  DeleteTree("");
  EXPECT_TRUE(OsDirectoryExists(last.c_str())) << "a path that does not fit is left alone";

  DeleteTree(tree.c_str());
  EXPECT_FALSE(OsPathExists(tree.c_str()));
#ifndef _WIN32
  // The drive root itself is never emptied (natively J: is a throw-away host folder).
  DeleteTree("J:\\");
  DeleteTree("J:");
  EXPECT_TRUE(OsDirectoryExists(scratch.path().c_str()));
#endif
}

#ifdef _WIN32
// A directory link inside the tree is removed as a link; what it points to is not touched. (Wine's
// enumeration does not look through such a link at all, so here this shows the outcome only.)
TEST_F(JobTest, DeleteTreeDoesNotFollowADirectoryLink) {
  const std::string outside = scratch / "outside";
  ASSERT_TRUE(OsCreateDirectory(outside.c_str()));
  ASSERT_TRUE(WriteBytes(outside + "\\precious.txt", Text("not part of the tree")));
  const std::string tree = scratch / "tree";
  ASSERT_TRUE(OsCreateDirectory(tree.c_str()));
  ASSERT_TRUE(WriteBytes(tree + "\\plain.txt", Text("plain")));
  const std::string link = tree + "\\link";
  typedef BOOLEAN(WINAPI * CreateLink)(const char*, const char*, DWORD);
  CreateLink createLink = reinterpret_cast<CreateLink>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
  if (createLink == nullptr || !createLink(link.c_str(), outside.c_str(), 1 /* a directory link */)) {
    GTEST_SKIP() << "no directory links here (error " << GetLastError() << ")";
  }
  ASSERT_NE(OsGetAttributes(link.c_str()) & kAttrReparsePoint, 0u);
  ASSERT_NE(OsGetAttributes(link.c_str()) & kAttrDirectory, 0u);

  DeleteTree(tree.c_str());

  EXPECT_TRUE(OsPathExists((outside + "\\precious.txt").c_str()));
  EXPECT_FALSE(OsPathExists(link.c_str()));
  EXPECT_FALSE(OsPathExists(tree.c_str()));
}
#endif

// ---- stops at every point ----

std::atomic<int> g_checksLeft{-1};
void StopAtCheck() {
  if (g_checksLeft.load() >= 0 && g_checksLeft.fetch_sub(1) == 0) g_workerState.stopRequested = 1;
}

class StopEverywhereTest : public JobTest, public ::testing::WithParamInterface<int> {};

// One record of the parent's "archive.dir" that names the archive "connect".
Bytes ParentRecord(const std::string& title) {
  Bytes record(430, 0);
  record[3] = 0x10;  // record type 1
  const std::string tags = std::string(1, '\0') + '\x01' + "connect" + '\0' + '\x03' + "C:\\ARCHIVE\\connect" + '\0' +
                           '\x04' + title;  // the two zero bytes that end the list are there already
  std::copy(tags.begin(), tags.end(), record.begin() + 112);
  return record;
}

// For every k the job is stopped at its k-th stop check, and then at its k-th progress message:
// afterwards the target is exactly the old tree or exactly the new one, and the old tree is
// nowhere lost (kept as the backup only when the answer was Yes and the job succeeded). The archive
// lies two levels below its root, so the merge registers it in the parent's "archive.dir": that file
// is the new registration after a success and exactly the old one after a roll-back.
TEST_P(StopEverywhereTest, TargetIsExactlyOldOrNew) {
  const int answer = GetParam();
  std::vector<zpack::PackEntry> entries = NewEntries();
  entries.push_back(FileEntry("\\config\\big.bin", MixedData(60000, 7)));
  ASSERT_TRUE(WritePackedFile(source, entries));
  archiveRoot = "C:\\ARCHIVE\\connect";
  const std::string parentRecords = scratch / "archive.dir";
  const Bytes oldRecords = ParentRecord("Alte Verbindungen");
  ASSERT_TRUE(WriteBytes(parentRecords, oldRecords));
  const Tree fresh = ReferenceNewTree();
  Bytes newRecords;
  ASSERT_TRUE(ReadBytes(parentRecords, &newRecords));
  ASSERT_NE(newRecords, oldRecords);
  MakeOldTarget(target);
  const Tree old = Snapshot(target);
  RemoveTree(target);

  for (int mode = 0; mode < 2; ++mode) {
    int completed = 0;
    int rolledBack = 0;
    for (int k = 0; k < 200 && completed == 0; ++k) {
      MakeOldTarget(target);
      ASSERT_TRUE(WriteBytes(parentRecords, oldRecords));
      Prepare(false);
      page.Clear();
      page.targetExistsAnswer = answer;
      int progressSeen = 0;
      bool stopAtLastReport = false;  // the position report after the merge, which is final
      if (mode == 0) {
        g_checksLeft = k;
        SetStopCheckObserverForTests(StopAtCheck);
      } else {
        page.onMessage = [&](const Record& record) {
          if (record.message != UM_PROGRESS || progressSeen++ != k) return;
          g_workerState.stopRequested = 1;
          stopAtLastReport = record.wParam == ProgressPosition &&
                             record.lParam == static_cast<MessageLParam>(entries.size());
        };
      }
      const int result = RunUnpackJob();
      SetStopCheckObserverForTests(nullptr);
      g_checksLeft = -1;
      page.onMessage = nullptr;
      const bool stopped = g_workerState.stopRequested != 0;

      const Tree now = Snapshot(target);
      const std::vector<std::string> backups = Backups();
      Bytes records;
      ASSERT_TRUE(ReadBytes(parentRecords, &records));
      if (result == 1) {
        ASSERT_TRUE(!stopped || stopAtLastReport) << "mode " << mode << " k " << k << ": a stopped job reported success";
        ASSERT_EQ(now, fresh) << "mode " << mode << " k " << k << "\n" << Describe(now);
        ASSERT_EQ(records, newRecords) << "mode " << mode << " k " << k;
        if (answer == 2) {
          ASSERT_EQ(backups, std::vector<std::string>{"connect.001"});
          ASSERT_EQ(Snapshot(scratch / "connect.001"), old);
        } else {
          ASSERT_TRUE(backups.empty());
        }
        ++completed;
      } else {
        ASSERT_EQ(now, old) << "mode " << mode << " k " << k << "\n" << Describe(now);
        ASSERT_TRUE(backups.empty()) << "mode " << mode << " k " << k;
        ASSERT_EQ(records, oldRecords) << "mode " << mode << " k " << k << ": a rolled-back archive stays registered as before";
        ++rolledBack;
      }
      RemoveTree(target);
      RemoveTree(scratch / "connect.001");
    }
    EXPECT_EQ(completed, 1) << "the job completes once the stop comes after its last check";
    EXPECT_GT(rolledBack, mode == 0 ? 12 : 8) << "stops inside the preparation, between and inside entries";
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, StopEverywhereTest, ::testing::Values(1, 2));

}  // namespace
