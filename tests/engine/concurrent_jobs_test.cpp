// Many runs of the program against one archive tree at once, as real processes: Zarpex32.exe in
// setup-call mode without a window under Wine, forked setup-call jobs natively. One target for all,
// sibling targets below one parent, a run killed while it holds its target, runs killed part-way and
// the next run that puts them right, and a run that waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "discovery/setup_call.h"
#include "discovery/tag_list.h"
#include "engine/interrupted_run.h"
#include "engine/job_log.h"
#include "engine/record_lock.h"
#include "engine/records.h"
#include "engine/target_claim.h"
#include "engine/unpack_job.h"
#include "engine/worker.h"
#include "tests/engine/job_support.h"
#include "tests/engine/log_support.h"

#ifdef _WIN32
#include "tests/discovery/setup_call_host.h"

#include <tlhelp32.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace jobtest {
namespace {

constexpr int kRuns = 8;

// A started run of the program: a process under Wine, a forked job natively.
struct JobRun {
#ifdef _WIN32
  HANDLE process = nullptr;
  zdisc::StartedHost host;  // or a setuphost that runs it
#else
  pid_t pid = -1;
#endif
};

#ifndef _WIN32
// Natively a job is over too soon to be caught holding its target: each stop check takes a while.
void SlowEntry() { OsSleep(20); }
// Slow enough that a run is caught at a given entry, not so slow that its tests take long.
void SomewhatSlowEntry() { OsSleep(3); }
// The same, and from its 40th check on the job is to stop (in setup-call mode the reply to each stop
// query sets the flag anew).
std::atomic<int> g_checks{0};
void SlowEntryThenStop() {
  OsSleep(20);
  if (++g_checks >= 40) g_workerState.stopRequested = 1;
}
// Forked runs begin their jobs at one moment (after their locators, which take different times), so
// that they reach the steps that meet, such as the merges, together.
std::chrono::steady_clock::time_point g_startAt;
void AtStartTime() { std::this_thread::sleep_until(g_startAt); }
#endif

class ConcurrentJobs : public ::testing::Test {
 protected:
  ConcurrentJobs() : scratch_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  void SetUp() override {
    // An installation whose "archive" directory names its server: the archive roots follow from the targets.
    MakeDirectory(At("zelvar\\clients"));
    ASSERT_TRUE(WriteBytes(At("zelvar\\clients\\setup.inf"), Text("[COMMON]\r\nServer=ZELVAR1\r\nVolume=SYS\r\n")));
    MakeDirectory(System());
    std::vector<zpack::PackEntry> entries = {DirectoryEntry("\\daten")};
    contents_["\\daten"] = {};
    for (int i = 0; i < 60; ++i) {
      const std::string name = "\\daten\\f" + std::to_string(i) + ".bin";
      contents_[name] = MixedData(24000, i);
      entries.push_back(FileEntry(name, contents_[name]));
    }
    ASSERT_TRUE(WritePackedFile(At("a.zpk"), entries));
#ifndef _WIN32
    if (pipe(gate_) != 0) FAIL() << "no pipe";
#endif
  }
  void TearDown() override {
    SetTargetClaimBoundForTests(0);
    SetMergeLockBoundForTests(0);
#ifndef _WIN32
    close(gate_[0]);
    if (gate_[1] >= 0) close(gate_[1]);
#endif
  }

  std::string At(const std::string& tail) const { return scratch_ / tail; }
  std::string System() const { return At("zelvar\\ARCHIVE\\SYSTEM"); }
  static void MakeDirectory(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i)
      if (i == path.size() || path[i] == '\\') OsCreateDirectory(path.substr(0, i).c_str());
  }

  // SlowHosted: slow under Wine too, where setuphost answers each stop query after a pause.
  enum Pace { Fast, Slow, SlowThenStopped, SlowHosted, SlowToBeKilled };
  JobRun Start(const std::string& target, Pace pace = Fast, const std::string& source = "a.zpk",
               const std::string& extra = "") {
    const std::string options = " -Q " + At(source) + " -Z \"" + target + "\"" + extra;
    JobRun run;
#ifdef _WIN32
    if (pace == SlowThenStopped) {  // setuphost plays a slow setup program that stops the job
      run.host =
          zdisc::StartSetupHost({"--delay-ms", "40", "--stop-after", "40", "--", "-Q", At(source), "-Z", target});
      return run;
    }
    if (pace == SlowHosted) {
      std::vector<std::string> arguments = {"--delay-ms", "20", "--", "-Q", At(source), "-Z", target};
      for (size_t at = extra.find_first_not_of(' '); at != std::string::npos; at = extra.find_first_not_of(' ', at)) {
        const size_t end = extra.find(' ', at);
        arguments.push_back(extra.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end;
      }
      run.host = zdisc::StartSetupHost(arguments);
      return run;
    }
    if (pace == SlowToBeKilled) {  // a slow setup program, whose program KillProgram ends
      run.host = zdisc::StartSetupHost({"--delay-ms", "30", "--", "-Q", At(source), "-Z", target});
      return run;
    }
    std::string line = "\"Z:" + std::string(Z_TEST_BINARY_DIR) + "/Zarpex32.exe\" @@SETUP_CALL" + options;
    for (char& c : line) c = c == '/' ? '\\' : c;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      CloseHandle(process.hThread);
      run.process = process.hProcess;
    }
#else
    run.pid = fork();
    if (run.pid == 0) {
      close(gate_[1]);
      char go;
      if (read(gate_[0], &go, 1) < 0) _exit(3);  // all start together when the gate opens
      SetStopCheckObserverForTests(pace == Slow || pace == SlowHosted ? SlowEntry
                                   : pace == SlowToBeKilled          ? SomewhatSlowEntry
                                   : pace == SlowThenStopped         ? SlowEntryThenStop
                                                                     : AtStartTime);
      std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
      g_jobSettings.platformIsNt = 1;
      _exit(RunSetupCall(options.c_str()) == 0 ? 0 : 1);
    }
#endif
    return run;
  }
  void OpenGate() {
#ifndef _WIN32
    close(gate_[1]);
    gate_[1] = -1;
#endif
  }
  // The exit code: 0, -1, or -99 when the run could not be started.
  static long Wait(JobRun* run) {
#ifdef _WIN32
    if (run->host.process != nullptr) {
      const zdisc::HostRun host = zdisc::FinishSetupHost(&run->host);
      return host.Exit() == -1000 ? -99 : host.Exit();
    }
    if (run->process == nullptr) return -99;
    WaitForSingleObject(run->process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(run->process, &code);
    CloseHandle(run->process);
    return static_cast<long>(code);
#else
    int status = 0;
    if (run->pid < 0 || waitpid(run->pid, &status, 0) != run->pid || !WIFEXITED(status)) return -99;
    return WEXITSTATUS(status) == 0 ? 0 : -1;
#endif
  }
  static void Kill(JobRun* run) {
#ifdef _WIN32
    if (run->host.process != nullptr) {  // its program has ended: the setup program ends with it
      Wait(run);
      return;
    }
    TerminateProcess(run->process, 99);
#else
    kill(run->pid, SIGKILL);
#endif
    Wait(run);
  }
  // The program of a run started SlowToBeKilled ends at once, as at a power cut: natively by SIGKILL;
  // under Wine by TerminateProcess, for which the Wine server ends each of its threads by a signal
  // (no code of the program runs any more; its handles and locks go with it).
  static void KillProgram(JobRun* run) {
#ifdef _WIN32
    const DWORD hostId = GetProcessId(run->host.process);
    HANDLE list = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(list, &entry); more; more = Process32Next(list, &entry)) {
      if (entry.th32ParentProcessID != hostId || _stricmp(entry.szExeFile, "Zarpex32.exe") != 0) continue;
      HANDLE program = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
      if (program == nullptr) continue;
      TerminateProcess(program, 99);
      WaitForSingleObject(program, INFINITE);
      CloseHandle(program);
    }
    CloseHandle(list);
#endif
    Kill(run);
  }

  std::vector<long> RunAtOnce(const std::vector<std::string>& targets, const std::string& source = "a.zpk",
                              const std::string& extra = "") {
#ifndef _WIN32
    g_startAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
#endif
    std::vector<JobRun> runs;
    for (const std::string& target : targets) runs.push_back(Start(target, Fast, source, extra));
    OpenGate();
    std::vector<long> codes;
    for (JobRun& run : runs) codes.push_back(Wait(&run));
    return codes;
  }

  // The claim on a target as another run would take it: LockTaken, or LockBusy while a run holds it.
  LockResult ClaimFromHere(const std::string& target, FileHandle* held = nullptr) {
    const FileHandle file = OpenArchiveDirFile(target.substr(0, target.rfind('\\')).c_str());
    const LockResult result = OsTryLockFileByte(file, TargetClaimOffset(target.c_str()));
    if (held != nullptr && result == LockTaken) {
      *held = file;
    } else {
      if (result == LockTaken) OsUnlockFileByte(file, TargetClaimOffset(target.c_str()));
      OsCloseFile(file);
    }
    return result;
  }

  // The target holds exactly the archive, byte for byte.
  void ExpectArchive(const std::string& target) {
    const Tree tree = Snapshot(target);
    EXPECT_EQ(tree.size(), contents_.size()) << Describe(tree);
    for (const auto& item : contents_) {
      auto found = tree.find(item.first);
      ASSERT_NE(found, tree.end()) << item.first;
      EXPECT_TRUE(found->second.data == item.second) << item.first;
    }
  }

  // The values of a tag in the records of a record file, in order.
  static std::vector<std::string> TagValues(const std::string& file, unsigned char tag) {
    Bytes data;
    ReadBytes(file, &data);
    std::vector<std::string> values;
    for (size_t at = 0; at + kRecordSize <= data.size(); at += kRecordSize) {
      char value[kRecordTagsSize];
      GetTagText(reinterpret_cast<char*>(data.data()) + at + kRecordTagsOffset, kRecordTagsSize, tag, value, sizeof value);
      values.push_back(value);
    }
    return values;
  }
  static bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
  }
  static size_t Count(const std::vector<std::string>& values, const std::string& wanted) {
    size_t n = 0;
    for (const std::string& value : values) n += EqualNoCase(value.c_str(), wanted.c_str()) ? 1 : 0;
    return n;
  }

  Scratch scratch_;
  std::map<std::string, Bytes> contents_;  // the archive: names and data (empty for the directory)
#ifndef _WIN32
  int gate_[2] = {-1, -1};
#endif
};

TEST_F(ConcurrentJobs, ManyRunsIntoOneExistingTargetTakeTurns) {
  const std::string target = System() + "\\connect";
  MakeDirectory(target);
  ASSERT_TRUE(WriteBytes(target + "\\alt.txt", Text("alt")));
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(RunAtOnce(std::vector<std::string>(kRuns, target)), std::vector<long>(kRuns, 0)) << "round " << round;
    ExpectArchive(target);
    EXPECT_TRUE(BackupsOf(System(), "connect").empty()) << "round " << round;
    EXPECT_EQ(Count(TagValues(System() + "\\archive.dir", TagName), "connect"), 1u) << "round " << round;
  }
}

// Twelve runs at once write one log, eight into targets of their own and four into one target:
// every line arrives whole and names its run, and every run has its start, a line for each of its
// files and its outcome.
TEST_F(ConcurrentJobs, RunsThatShareOneLogLoseNoLine) {
  const std::string log = At("runs.log");
  std::vector<std::string> targets;
  for (int i = 0; i < 8; ++i) targets.push_back(System() + "\\eigen" + std::to_string(i));
  for (int i = 0; i < 4; ++i) targets.push_back(System() + "\\gemeinsam");
  EXPECT_EQ(RunAtOnce(targets, "a.zpk", " -L " + log), std::vector<long>(targets.size(), 0));

  Bytes bytes;
  ASSERT_TRUE(ReadBytes(log, &bytes));
  const std::string text(bytes.begin(), bytes.end());
  std::string bad;
  std::map<std::string, std::vector<std::string>> runs;  // each run's lines in order
  for (const logtest::LogLine& line : logtest::ParseLog(text, &bad)) runs[line.run].push_back(line.text);
  EXPECT_EQ(bad, "") << "a torn line";
  ASSERT_EQ(runs.size(), targets.size()) << text;
  std::map<std::string, int> targetLines;
  for (const auto& run : runs) {
    const std::vector<std::string>& lines = run.second;
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(StartsWith(lines.front(), "Zarpex32 6.50a (0104), setup call: ")) << run.first << ": " << lines.front();
    EXPECT_TRUE(StartsWith(lines.back(), "outcome: done code 0, exit code 0: ")) << run.first << ": " << lines.back();
    size_t files = 0;
    for (const std::string& line : lines) {
      files += StartsWith(line, "file ") ? 1 : 0;
      if (StartsWith(line, "job: target ")) ++targetLines[line.substr(12)];
    }
    EXPECT_EQ(files, contents_.size() - 1) << run.first << " lost a line";
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ(targetLines[System() + "\\eigen" + std::to_string(i)], 1) << i;
  EXPECT_EQ(targetLines[System() + "\\gemeinsam"], 4);
}

// Spellings that Windows takes for one directory are one claim: the case of a letter beyond ASCII,
// a short name and its long name, a trailing dot. Runs into both spellings at once take turns, and
// afterwards there is one tree and no backup.
TEST_F(ConcurrentJobs, RunsIntoSpellingsOfOneDirectoryTakeTurns) {
  const std::string longName = System() + "\\Langer Name";
  MakeDirectory(longName);  // first in turn: its short name exists only while it does
  char shortName[kPathBuffer];
  ASSERT_GT(OsGetShortPathName(longName.c_str(), shortName, sizeof shortName), 0u);
  const std::vector<std::pair<std::string, std::string>> spellings = {
      {longName, shortName}, {System() + "\\\xDC" "bung", System() + "\\\xFC" "bung"},
      {System() + "\\connect", System() + "\\connect."}};
  for (const auto& spelling : spellings) {
    const std::string& target = spelling.first;
    MakeDirectory(target);
    ASSERT_TRUE(WriteBytes(target + "\\alt.txt", Text("alt")));
    const std::vector<std::string> targets = {target, spelling.second, target, spelling.second};
    EXPECT_EQ(RunAtOnce(targets), std::vector<long>(targets.size(), 0)) << spelling.second;
    ExpectArchive(target);
    std::vector<std::string> names;
    OsFindData data;
    FindHandle find = OsFindFirst((System() + "\\*.*").c_str(), &data);
    for (int more = find != nullptr; more; more = OsFindNext(find, &data)) {
      if (std::strcmp(data.name, ".") != 0 && std::strcmp(data.name, "..") != 0) names.push_back(data.name);
    }
    OsFindClose(find);
    // The last run made the directory anew: under the case of its spelling.
    const std::string name = target.substr(System().size() + 1);
    EXPECT_EQ(names.size(), 2u) << spelling.second;
    EXPECT_EQ(Count(names, name), 1u) << spelling.second;
    EXPECT_EQ(Count(names, "archive.dir"), 1u) << spelling.second;
    RemoveTree(target);
  }
}

// The parent has reusable slots early in the file: every merge scans on to the end for the last one,
// so that two merges that are not kept apart would choose the same slot.
TEST_F(ConcurrentJobs, SiblingTargetsBelowAFullParentAreAllRegisteredOnce) {
  constexpr int kRounds = 3;
  constexpr size_t kFirstFree = 100;
  Bytes old;
  for (int i = 0; i < 3000; ++i) {
    Bytes record(kRecordSize, 0);
    record[3] = 0x10;
    const bool free = i >= static_cast<int>(kFirstFree) && i < static_cast<int>(kFirstFree) + kRounds * kRuns;
    if (free) record[1] = 0x04;  // RecordSlotFree
    char* tags = reinterpret_cast<char*>(record.data()) + kRecordTagsOffset;
    const std::string name = "alt" + std::to_string(i);
    SetTagText(tags, kRecordTagsSize, name.c_str(), 90, TagName);
    SetTagText(tags, kRecordTagsSize, ("ZELVAR1\\SYS:zelvar\\ARCHIVE\\SYSTEM\\" + name).c_str(), -1, TagPath);
    old.insert(old.end(), record.begin(), record.end());
  }
  ASSERT_TRUE(WriteBytes(System() + "\\archive.dir", old));
  // A small archive: the runs reach their merges together.
  ASSERT_TRUE(WritePackedFile(At("b.zpk"), {FileEntry("\\klein.txt", Text("klein"))}));
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::string> targets;
    for (int i = 0; i < kRuns; ++i) targets.push_back(System() + "\\neu" + std::to_string(round * kRuns + i));
    EXPECT_EQ(RunAtOnce(targets, "b.zpk"), std::vector<long>(kRuns, 0));
    for (const std::string& target : targets) {
      Bytes data;
      EXPECT_TRUE(ReadBytes(target + "\\klein.txt", &data) && data == Text("klein")) << target;
    }
  }
  // The new records fill the reusable slots; every other record is as it was.
  Bytes records;
  ReadBytes(System() + "\\archive.dir", &records);
  ASSERT_EQ(records.size(), old.size());
  const size_t freeBytes = kRounds * kRuns * kRecordSize;
  EXPECT_TRUE(std::equal(old.begin(), old.begin() + kFirstFree * kRecordSize, records.begin()) &&
              std::equal(old.begin() + kFirstFree * kRecordSize + freeBytes, old.end(),
                         records.begin() + kFirstFree * kRecordSize + freeBytes))
      << "an old record was changed";
  const std::vector<std::string> names = TagValues(System() + "\\archive.dir", TagName);
  for (int i = 0; i < kRounds * kRuns; ++i) EXPECT_EQ(Count(names, "neu" + std::to_string(i)), 1u) << i;
  EXPECT_EQ(TagValues(At("zelvar\\ARCHIVE\\archive.dir"), TagPath),
            std::vector<std::string>({"ZELVAR1\\SYS:zelvar\\ARCHIVE\\SYSTEM"}));
}

TEST_F(ConcurrentJobs, ARunKilledWhileItHoldsItsTargetBlocksNothing) {
  const std::string target = System() + "\\connect";
  JobRun run = Start(target, Slow);
  OpenGate();
  bool held = false;
  for (int i = 0; i < 3000 && !held; ++i) {
    held = ClaimFromHere(target) == LockBusy;
    if (!held) OsSleep(5);
  }
  ASSERT_TRUE(held) << "the run never held its target";
  Kill(&run);

  // The next run must not wait at all: with the shortest bound, a wait would end it with code 8.
  SetTargetClaimBoundForTests(1);
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  g_jobSettings.platformIsNt = 1;
  EXPECT_EQ(RunSetupCall((" -Q " + At("a.zpk") + " -Z " + target).c_str()), 0);
  EXPECT_EQ(g_jobSettings.error, 0u);
  ExpectArchive(target);
}

// The old target: two files of its own (one hidden) and `files` small files.
void MakeOldTarget(const std::string& target, int files) {
  for (int d = 0; d <= files / 100; ++d) OsCreateDirectory((target + "\\alt" + std::to_string(d)).c_str());
  ASSERT_TRUE(WriteBytes(target + "\\alt.txt", Text("alt")));
  ASSERT_TRUE(WriteBytes(target + "\\alt0\\versteckt.txt", Text("versteckt")));
  ASSERT_TRUE(OsSetAttributes((target + "\\alt0\\versteckt.txt").c_str(), kAttrHidden | kAttrArchive));
  for (int i = 0; i < files; ++i) {
    ASSERT_TRUE(WriteBytes(target + "\\alt" + std::to_string(i / 100) + "\\" + std::to_string(i), MixedData(64, i)));
  }
}

// Waits until the run reaches a point: a file of the target there, or with an empty name the
// record's phase of the merge. 0 when it never does.
bool WaitForPoint(const std::string& target, const std::string& file) {
  for (int i = 0; i < 30000; ++i) {
    RunRecord record;
    if (file.empty() ? ReadRunRecord((target + kRunRecordSuffix).c_str(), &record) == RunRecordFoundOne &&
                           record.phase == RunPhaseMerging
                     : OsPathExists((target + file).c_str()) != 0)
      return true;
    OsSleep(1);
  }
  return false;
}

// A run killed part-way (a power cut, "End task") is put right by the next run into its target:
// killed early or late in the extraction it is undone, killed while it deletes its backup after the
// merge it is finished. A complete next run then leaves the new archive; a next run that fails on a
// damaged entry leaves the old tree byte for byte, or after the merge the killed run's archive. No
// backup and no record stay, and the next run's log says what it found.
TEST_F(ConcurrentJobs, ARunKilledPartWayIsPutRightByTheNextRun) {
  const std::string target = System() + "\\connect";
  const std::string record = target + kRunRecordSuffix;
  std::vector<zpack::PackEntry> broken = {DirectoryEntry("\\daten")};
  for (int i = 0; i < 60; ++i) {
    const std::string name = "\\daten\\f" + std::to_string(i) + ".bin";
    broken.push_back(FileEntry(name, contents_[name]));
    if (i == 57) broken.push_back(BrokenEntry("\\daten\\kaputt.bin"));
  }
  ASSERT_TRUE(WritePackedFile(At("b.zpk"), broken));

  struct Point {
    const char* name;
    std::string file;  // empty: the deletion of the backup after the merge
    int oldFiles;      // a large old tree keeps that run in its deletion for a while
  };
  for (const Point& point : {Point{"early", "\\daten\\f2.bin", 0}, Point{"late", "\\daten\\f55.bin", 0},
                             Point{"backup deletion", "", 1500}}) {
    for (const bool nextFails : {true, false}) {
      SCOPED_TRACE(std::string("killed ") + point.name + (nextFails ? ", the next run fails" : ", the next run completes"));
      DeleteTree(target.c_str());
      MakeDirectory(target);
      MakeOldTarget(target, point.oldFiles);
      const Tree old = Snapshot(target);

      JobRun run = Start(target, SlowToBeKilled);
      OpenGate();
      ASSERT_TRUE(WaitForPoint(target, point.file)) << "the run never got there";
      KillProgram(&run);
      ASSERT_TRUE(OsPathExists(record.c_str())) << "the run had ended before it was killed";
      ASSERT_EQ(BackupsOf(System(), "connect").size(), 1u) << "the run had deleted its backup before it was killed";

      const std::string log = At("next.log");
      OsDeleteFile(log.c_str());
      JobRun next = Start(target, Fast, nextFails ? "b.zpk" : "a.zpk", " -L " + log);
      EXPECT_EQ(Wait(&next), nextFails ? -1 : 0);
      if (nextFails && !point.file.empty()) {
        EXPECT_TRUE(Snapshot(target) == old) << Describe(Snapshot(target));
      } else {
        ExpectArchive(target);
      }
      EXPECT_TRUE(BackupsOf(System(), "connect").empty());
      EXPECT_FALSE(OsPathExists(record.c_str()));

      Bytes bytes;
      ASSERT_TRUE(ReadBytes(log, &bytes));
      const std::string text(bytes.begin(), bytes.end());
      const std::string done = point.file.empty() ? "recovery: the interrupted run's backup " + target + ".001 is deleted"
                                                  : "recovery: what the interrupted run unpacked is removed, its backup " +
                                                        target + ".001 is " + target + " again";
      EXPECT_NE(text.find("recovery: " + record + " names an interrupted run into " + target), std::string::npos) << text;
      EXPECT_NE(text.find(done), std::string::npos) << text;
    }
  }
}

// An interrupted run that cannot be undone (a name beginning with a point, which the deletion of a
// tree leaves, keeps its half-written target in place): the next run changes nothing more, stops
// with code 8 and keeps the record and the backup; once the obstacle is gone the run after it puts
// the old tree back first.
TEST_F(ConcurrentJobs, AnInterruptedRunThatCannotBeUndoneStopsTheNextRunAndKeepsItsRecord) {
  const std::string target = System() + "\\connect";
  const std::string record = target + kRunRecordSuffix;
  MakeDirectory(target);
  MakeOldTarget(target, 0);
  JobRun run = Start(target, SlowToBeKilled);
  OpenGate();
  ASSERT_TRUE(WaitForPoint(target, "\\daten\\f2.bin"));
  KillProgram(&run);
  ASSERT_TRUE(WriteBytes(target + "\\.halt", Text("x")));
  const Tree backup = Snapshot(target + ".001");

  const std::string options = " -Q " + At("a.zpk") + " -Z " + target;
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  g_jobSettings.platformIsNt = 1;
  EXPECT_EQ(RunSetupCall(options.c_str()), -1);
  EXPECT_EQ(g_jobSettings.error, static_cast<uint32_t>(SetupErrorCannotRename));
  EXPECT_TRUE(OsPathExists(record.c_str()));
  EXPECT_TRUE(Snapshot(target + ".001") == backup);
  EXPECT_EQ(Snapshot(target).count("\\.halt"), 1u);

  ASSERT_TRUE(OsDeleteFile((target + "\\.halt").c_str()));
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  g_jobSettings.platformIsNt = 1;
  EXPECT_EQ(RunSetupCall(options.c_str()), 0);
  ExpectArchive(target);
  EXPECT_TRUE(BackupsOf(System(), "connect").empty());
  EXPECT_FALSE(OsPathExists(record.c_str()));
}

// A run whose wait runs out changes nothing, and says so in its log with the wait; the run it
// waited for is stopped later and takes back what its claim made: below a parent without
// "archive.dir" and without the directory between it and the target, the tree is as it was.
TEST_F(ConcurrentJobs, AWaitThatRunsOutAndAStoppedHolderLeaveTheTreeAsItWas) {
  const std::string target = System() + "\\neu\\connect";
  const char* root = "ZELVAR1\\SYS:zelvar\\ARCHIVE\\SYSTEM\\neu\\connect";
  const Tree before = Snapshot(At("zelvar"));
  JobRun holder = Start(target, SlowThenStopped);
  OpenGate();
  bool held = false;
  for (int i = 0; i < 3000 && !held; ++i) {
    held = OsPathExists((System() + "\\neu\\archive.dir").c_str()) && ClaimFromHere(target) == LockBusy;
    if (!held) OsSleep(5);
  }
  ASSERT_TRUE(held) << "the run never held its target";

  SetTargetClaimBoundForTests(300);
  const std::string log = At("waiter.log");
  SetJobLogPath(log.c_str());
  ASSERT_EQ(OpenJobLog(), 1);
  SetUpJob(At("a.zpk"), target, true, root);
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_EQ(g_jobSettings.error, static_cast<uint32_t>(SetupErrorCannotRename));
  CloseJobLog();
  SetJobLogPath("");
  EXPECT_TRUE(OsDirectoryExists(target.c_str())) << "the waiter took away what the holder uses";
  EXPECT_EQ(Wait(&holder), -1) << "the holder is stopped";
  EXPECT_TRUE(Snapshot(At("zelvar")) == before) << Describe(Snapshot(At("zelvar")));

  Bytes bytes;
  ASSERT_TRUE(ReadBytes(log, &bytes));
  std::string bad;
  std::vector<std::string> lines;
  for (const logtest::LogLine& line : logtest::ParseLog(std::string(bytes.begin(), bytes.end()), &bad)) {
    lines.push_back(line.text);
  }
  EXPECT_EQ(bad, "");
  const std::string waits = "wait: another run is installing into " + target + " (its claim is a lock in " + System() +
                            "\\neu\\archive.dir); waiting for it to end, at most 1 s";
  EXPECT_EQ(std::count(lines.begin(), lines.end(), waits), 1) << std::string(bytes.begin(), bytes.end());
  size_t ended = 0, stopped = 0;
  for (const std::string& line : lines) {
    ended += StartsWith(line, "wait ended after ") && line.find(" ms: it ran out") != std::string::npos ? 1 : 0;
    stopped += line == "stop: Achtung!  Das Zielverzeichnis wird von einer anderen Installation belegt! Bitte "
                       "versuchen Sie es sp\xC3\xA4ter noch einmal." ? 1 : 0;
  }
  EXPECT_EQ(ended, 1u) << std::string(bytes.begin(), bytes.end());
  EXPECT_EQ(stopped, 1u) << std::string(bytes.begin(), bytes.end());
}

// When the wait is over the page shows what it showed before it, not "Warten auf andere
// Installation" until the first entry is reported.
TEST_F(ConcurrentJobs, ThePageShowsWhatItShowedBeforeOnceTheWaitIsOver) {
  const std::string target = System() + "\\connect";
  FileHandle claim = kNoFile;
  ASSERT_EQ(ClaimFromHere(target, &claim), LockTaken);
  Page page;
  SetUpJob(At("a.zpk"), target, false, "ZELVAR1\\SYS:zelvar\\ARCHIVE\\SYSTEM\\connect");
  ASSERT_EQ(StartWorker(page.window()), 1);
  EXPECT_TRUE(page.PumpUntil([&] { return page.Count(UM_PROGRESS, ProgressWaiting) == 1; }, 10000));
  OsUnlockFileByte(claim, TargetClaimOffset(target.c_str()));
  OsCloseFile(claim);
  EXPECT_TRUE(page.PumpUntil([&] { return page.Count(UM_JOB_FINISHED) == 1; }, 20000));
  EXPECT_EQ(page.Count(UM_JOB_FINISHED, 1), 1u);
  // The page is told of the wait and of its end, before any report of the extraction.
  const std::vector<Record> progress = page.Of(UM_PROGRESS);
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress[0].wParam, static_cast<MessageWParam>(ProgressWaiting));
  EXPECT_EQ(progress[0].text, target);
  EXPECT_EQ(progress[1].wParam, static_cast<MessageWParam>(ProgressWaitOver));
  EXPECT_EQ(page.Count(UM_PROGRESS, ProgressWaitOver), 1u);
  ASSERT_EQ(WaitForWorkerJobs(10000), 1);
  ExpectArchive(target);
}

// A run into a directory and a run into a directory inside it, each its own archive, never work at
// once: one of them waits for the other, and the tree and the records are those of the two runs one
// after the other. (Their claims lie in two different files; without the bytes of the directories
// above, the first would move the outer target aside while the second writes inside it.)
TEST_F(ConcurrentJobs, NestedTargetsTakeTurns) {
  const std::string outer = System() + "\\connect";
  const std::string inner = outer + "\\unter";
  const std::string log = At("nested.log");
  MakeDirectory(outer);
  ASSERT_TRUE(WriteBytes(outer + "\\alt.txt", Text("alt")));
  JobRun first = Start(outer, SlowHosted, "a.zpk", " -L " + log);
  JobRun second = Start(inner, SlowHosted, "a.zpk", " -L " + log);
  OpenGate();
  EXPECT_EQ(Wait(&first), 0);
  EXPECT_EQ(Wait(&second), 0);

  Bytes bytes;
  ASSERT_TRUE(ReadBytes(log, &bytes));
  const std::string text(bytes.begin(), bytes.end());
  std::string bad;
  std::map<std::string, std::string> targetOf;  // run -> its target
  std::map<std::string, int> waited;            // target -> waits
  for (const logtest::LogLine& line : logtest::ParseLog(text, &bad)) {
    if (StartsWith(line.text, "job: target ")) targetOf[line.run] = line.text.substr(12);
    if (StartsWith(line.text, "wait: another run is installing into ")) ++waited[targetOf[line.run]];
  }
  ASSERT_EQ(waited.size(), 1u) << "exactly one run waits for the other\n" << text;
  const Tree tree = Snapshot(outer);
  for (const auto& item : contents_) {
    auto found = tree.find(item.first);
    ASSERT_NE(found, tree.end()) << item.first;
    EXPECT_TRUE(found->second.data == item.second) << item.first;
  }
  EXPECT_TRUE(tree.find("\\alt.txt") == tree.end()) << "the old outer tree is gone";
  if (waited.begin()->first == inner) {  // the outer run first: the inner archive is in it and registered
    ExpectArchive(inner);
    EXPECT_EQ(tree.size(), 2 * contents_.size() + 2) << Describe(tree);  // "\unter" and "\archive.dir"
    EXPECT_EQ(TagValues(outer + "\\archive.dir", TagName), std::vector<std::string>({"unter"}));
  } else {  // the inner run first: the outer run moved it aside with the old tree and deleted them
    EXPECT_EQ(tree.size(), contents_.size()) << Describe(tree);
  }
  EXPECT_TRUE(BackupsOf(System(), "connect").empty());
  EXPECT_EQ(Count(TagValues(System() + "\\archive.dir", TagName), "connect"), 1u);
}

// A run killed while it waits for another run (what an administrator does with a run that seems to
// hang) has written the line that says so to its log before.
TEST_F(ConcurrentJobs, ARunKilledWhileItWaitsHasLoggedTheWait) {
  const std::string target = System() + "\\connect";
  FileHandle claim = kNoFile;
  ASSERT_EQ(ClaimFromHere(target, &claim), LockTaken);
  const std::string log = At("killed.log");
  JobRun run = Start(target, Fast, "a.zpk", " -L " + log);
  OpenGate();
  const std::string wanted = "wait: another run is installing into " + target;
  bool logged = false;
  for (int i = 0; i < 1500 && !logged; ++i) {
    Bytes bytes;
    logged = ReadBytes(log, &bytes) && std::string(bytes.begin(), bytes.end()).find(wanted) != std::string::npos;
    if (!logged) OsSleep(10);
  }
  Kill(&run);
  OsUnlockFileByte(claim, TargetClaimOffset(target.c_str()));
  OsCloseFile(claim);
  EXPECT_TRUE(logged) << "the wait is not in the log of the killed run";
}

#ifndef _WIN32
// A merge waits for another run's merge at most its bound by the clock, also where every sleep lasts
// longer than asked (here a whole 50 ms tick; on Windows Sleep(5) lasts about 15.6 ms). Counted as
// 5 ms per try, this wait would last two seconds.
TEST_F(ConcurrentJobs, TheMergeWaitIsBoundByTheClock) {
  const FileHandle other = OpenArchiveDirFile(System().c_str());
  ASSERT_EQ(OsTryLockFileByte(other, kRecordMergeLockOffset), LockTaken);
  SetMergeLockBoundForTests(200);
  OsSetSleepGranularityForTests(50);
  const auto start = std::chrono::steady_clock::now();
  const FileHandle file = OpenRecordsForMerge(System().c_str());
  const auto waited =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  OsSetSleepGranularityForTests(0);
  EXPECT_NE(file, kNoFile) << "after the wait the merge goes on as without locks";
  EXPECT_GE(waited, 200);
  EXPECT_LT(waited, 1000);
  OsCloseFile(file);
  OsUnlockFileByte(other, kRecordMergeLockOffset);
  OsCloseFile(other);
}
#endif

#ifndef _WIN32
std::atomic<int> g_stopQueries{0};
MessageResult AnswerStop(WindowHandle, uint32_t message, MessageWParam, MessageLParam, int) {
  if (message != UM_SETUP_QUERY_STOP) return 0;
  ++g_stopQueries;
  return 1;
}
#endif

TEST_F(ConcurrentJobs, AStopOrACancelWhileWaitingChangesNothing) {
  const std::string target = System() + "\\connect";
  const char* root = "ZELVAR1\\SYS:zelvar\\ARCHIVE\\SYSTEM\\connect";
  MakeDirectory(target);
  ASSERT_TRUE(WriteBytes(target + "\\alt.txt", Text("alt")));
  FileHandle claim = kNoFile;
  ASSERT_EQ(ClaimFromHere(target, &claim), LockTaken);
  const Tree before = Snapshot(scratch_.path());

  // Setup call: the setup program's stop query is asked during the wait as during the job.
#ifdef _WIN32
  zdisc::HostRun host = zdisc::RunSetupHost({"--stop-after", "1", "--", "-Q", At("a.zpk"), "-Z", target});
  EXPECT_EQ(host.With("query-stop "), std::vector<std::string>({"1 -> 1"})) << host.output;
  EXPECT_EQ(host.Done(), 0) << host.output;
  EXPECT_EQ(host.Exit(), -1) << host.output;
#else
  OsSetMessageHandlerForTests(AnswerStop);
  SetUpJob(At("a.zpk"), target, true, root);
  g_jobSettings.parentWindow = reinterpret_cast<WindowHandle>(0x7200);
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_EQ(g_stopQueries.load(), 1);
  EXPECT_EQ(g_jobSettings.error, 0u);
  OsSetMessageHandlerForTests(nullptr);
#endif

  // Interactive: the page shows whom the job waits for, and a cancel ends the wait.
  Page page;
  SetUpJob(At("a.zpk"), target, false, root);
  ASSERT_EQ(StartWorker(page.window()), 1);
  // The worker sets the two fields one after the other: both are waited for.
  EXPECT_TRUE(page.PumpUntil(
      [&] {
        const std::vector<Record> progress = page.Of(UM_PROGRESS);
        return !progress.empty() && progress[0].wParam == ProgressWaiting && progress[0].text == target;
      },
      10000));
  RequestStop(page.window());
  EXPECT_TRUE(page.PumpUntil([&] { return page.Count(UM_JOB_FINISHED) == 1; }, 10000));
  EXPECT_EQ(page.Count(UM_JOB_FINISHED, 0), 1u);
  EXPECT_EQ(page.Count(UM_QUESTION), 0u);
  ASSERT_EQ(WaitForWorkerJobs(10000), 1);

  // A wait that runs out: question 8 in interactive mode, code 8 in setup-call mode.
  SetTargetClaimBoundForTests(300);
  SetUpJob(At("a.zpk"), target, false, root);
  g_workerState.progressWindow = page.window();
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_EQ(page.Count(UM_QUESTION, QuestionTargetClaimed), 1u);
  SetUpJob(At("a.zpk"), target, true, root);
  EXPECT_EQ(RunUnpackJob(), 0);
  EXPECT_EQ(g_jobSettings.error, static_cast<uint32_t>(SetupErrorCannotRename));

  EXPECT_TRUE(Snapshot(scratch_.path()) == before) << Describe(Snapshot(scratch_.path()));
  OsUnlockFileByte(claim, TargetClaimOffset(target.c_str()));
  OsCloseFile(claim);
}

#ifdef _WIN32
// Runs from two machines at once into one tree: two Wine prefixes (two Wine servers) reach one folder
// through Z:, as two workstations reach a share, and share one log. Run by
// tests/engine/two_machines.sh: in the build's prefix this test makes the tree, starts its runs and
// checks the outcome; in a second prefix (Z_TWO_MACHINES_PARTNER) it starts its runs as soon as
// the tree is ready and writes down their exit codes.
TEST(TwoMachines, RunsFromBothTakeTurnsAndShareOneLog) {
  const char* shared = std::getenv("Z_TWO_MACHINES_FOLDER");
  ASSERT_NE(shared, nullptr) << "run by tests/engine/two_machines.sh";
  const bool partner = std::getenv("Z_TWO_MACHINES_PARTNER") != nullptr;
  const std::string root = shared;
  const std::string system = root + "\\zelvar\\ARCHIVE\\SYSTEM";
  const std::string target = system + "\\connect";
  const std::string log = root + "\\runs.log";
  constexpr int kFiles = 60;
  auto waitFor = [](const std::string& path) {
    for (int i = 0; i < 24000 && !OsPathExists(path.c_str()); ++i) OsSleep(5);
    return OsPathExists(path.c_str()) != 0;
  };
  if (!partner) {
    for (const std::string& dir : {root, root + "\\zelvar", root + "\\zelvar\\clients", root + "\\zelvar\\ARCHIVE",
                                   system, target}) {
      OsCreateDirectory(dir.c_str());
    }
    ASSERT_TRUE(
        WriteBytes(root + "\\zelvar\\clients\\setup.inf", Text("[COMMON]\r\nServer=ZELVAR1\r\nVolume=SYS\r\n")));
    ASSERT_TRUE(WriteBytes(target + "\\alt.txt", Text("alt")));
    std::vector<zpack::PackEntry> entries;
    for (int i = 0; i < kFiles; ++i) {
      entries.push_back(FileEntry("\\f" + std::to_string(i) + ".bin", MixedData(24000, i)));
    }
    ASSERT_TRUE(WritePackedFile(root + "\\a.zpk", entries));
    ASSERT_TRUE(WriteBytes(root + "\\ready", {}));
  } else {
    ASSERT_TRUE(waitFor(root + "\\ready")) << "the first machine never made the tree";
  }

  // Three runs of each machine into one target, two into targets of their own.
  const std::string machine = partner ? "B" : "A";
  std::vector<std::string> targets(3, target);
  for (int k = 0; k < 2; ++k) targets.push_back(system + "\\neu" + machine + std::to_string(k));
  std::vector<HANDLE> runs;
  for (const std::string& to : targets) {
    std::string line = "\"" + zdisc::ProgramPath() + "\" @@SETUP_CALL -Q " + root + "\\a.zpk -Z " + to + " -L " + log;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    runs.push_back(process.hProcess);
  }
  std::string codes;
  for (HANDLE run : runs) {
    WaitForSingleObject(run, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(run, &code);
    CloseHandle(run);
    codes += std::to_string(static_cast<long>(code)) + " ";
  }
  EXPECT_EQ(codes, "0 0 0 0 0 ") << "machine " << machine;
  if (partner) {
    // Under its name only when complete: the first machine reads it as soon as the name is there.
    ASSERT_TRUE(WriteBytes(root + "\\partner-done.tmp", Text(codes)));
    ASSERT_TRUE(OsMoveFile((root + "\\partner-done.tmp").c_str(), (root + "\\partner-done").c_str()));
    return;
  }
  ASSERT_TRUE(waitFor(root + "\\partner-done")) << "the second machine never finished";
  Bytes theirs;
  ASSERT_TRUE(ReadBytes(root + "\\partner-done", &theirs));
  EXPECT_EQ(std::string(theirs.begin(), theirs.end()), "0 0 0 0 0 ") << "machine B";

  // One tree, no backup, each archive registered once.
  for (const std::string& to :
       {target, system + "\\neuA0", system + "\\neuA1", system + "\\neuB0", system + "\\neuB1"}) {
    const Tree tree = Snapshot(to);
    EXPECT_EQ(tree.size(), static_cast<size_t>(kFiles)) << to << "\n" << Describe(tree);
  }
  EXPECT_TRUE(BackupsOf(system, "connect").empty());
  Bytes records;
  ASSERT_TRUE(ReadBytes(system + "\\archive.dir", &records));
  std::map<std::string, int> names;
  for (size_t at = 0; at + kRecordSize <= records.size(); at += kRecordSize) {
    char value[kRecordTagsSize];
    GetTagText(reinterpret_cast<char*>(records.data()) + at + kRecordTagsOffset, kRecordTagsSize, TagName, value,
               sizeof value);
    ++names[value];
  }
  EXPECT_EQ(names,
            (std::map<std::string, int>{{"connect", 1}, {"neuA0", 1}, {"neuA1", 1}, {"neuB0", 1}, {"neuB1", 1}}));

  // The log of all ten runs: every line whole, every run's start and outcome, a line for each file.
  Bytes bytes;
  ASSERT_TRUE(ReadBytes(log, &bytes));
  std::string bad;
  size_t starts = 0, outcomes = 0, files = 0, recoveries = 0;
  for (const logtest::LogLine& line : logtest::ParseLog(std::string(bytes.begin(), bytes.end()), &bad)) {
    recoveries += line.text.compare(0, 10, "recovery: ") == 0 ? 1 : 0;
    starts += line.text.compare(0, 35, "Zarpex32 6.50a (0104), setup call: ") == 0 ? 1 : 0;
    outcomes += line.text.compare(0, 35, "outcome: done code 0, exit code 0: ") == 0 ? 1 : 0;
    files += line.text.compare(0, 5, "file ") == 0 ? 1 : 0;
  }
  EXPECT_EQ(bad, "") << "a torn line";
  EXPECT_EQ(recoveries, 0u) << "a run recovered from under a run that was alive";
  EXPECT_EQ(starts, 10u);
  EXPECT_EQ(outcomes, 10u);
  EXPECT_EQ(files, 10u * kFiles);
}
#endif

}  // namespace
}  // namespace jobtest
