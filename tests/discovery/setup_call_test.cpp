// Setup-call mode for real: setuphost creates its window and control, starts Zarpex32.exe with
// "@@SETUP_CALL -H<window> -I<control>", answers its messages and prints what arrived.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/discovery/locator_fixture.h"
#include "tests/discovery/setup_call_host.h"
#include "tests/engine/log_support.h"

namespace zdisc {
namespace {

class SetupCall : public Installation {
 protected:
  void SetUp() override {
    Installation::SetUp();
    // The archive tree knows the target: its parent's archive.dir names it.
    WriteBytes(root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\archive.dir",
               Records({{"connect", "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\connect"}}));
  }

  std::string Target() const { return root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\connect"; }

  // A packed file with the given number of files f0.txt, f1.txt, ...
  std::string Pack(int files, const std::string& name = "p.zpk", int64_t unpackedSize = -1) {
    std::vector<zpack::PackEntry> entries;
    for (int i = 0; i < files; ++i) {
      std::string text = "Datei " + std::to_string(i) + " im Archiv\r\n";
      entries.push_back(zpack::MakeFileEntry("\\f" + std::to_string(i) + ".txt", Text(text), ImplodeBinary, 1024,
                                             1230768000u));
    }
    zpack::TrailerInfo info;
    info.title = "Test";
    info.subdirectory = "\\ARCHIVE\\SYSTEM\\connect";
    info.unpackedSizeOverride = unpackedSize;
    WriteBytes(At(name), zpack::BuildPackedFile(entries, info));
    return At(name);
  }

  static std::string FileText(const std::string& path) {
    Bytes data = ReadBytes(path);
    return std::string(data.begin(), data.end());
  }

  // The job failed before anything was sent but the runner's first percentage.
  static void ExpectEarlyFailure(const HostRun& run, long code) {
    EXPECT_EQ(run.Done(), code) << run.output;
    EXPECT_EQ(run.Exit(), -1) << run.output;
    EXPECT_EQ(run.Percentages(), std::vector<long>({0})) << run.output;
    EXPECT_TRUE(run.With("query-stop ").empty()) << run.output;
  }
  // A packed file of three files whose second entry is damaged or named as given.
  std::string PackWithSecond(const std::string& secondName, bool damaged, const std::string& name) {
    std::vector<zpack::PackEntry> entries;
    for (const std::string& entryName : {std::string("\\f0.txt"), secondName, std::string("\\f2.txt")}) {
      entries.push_back(zpack::MakeFileEntry(entryName, Text("Inhalt " + entryName), ImplodeBinary, 1024, 1230768000u));
    }
    if (damaged) entries[1].stored[1] = 9;  // a dictionary size the format does not have
    zpack::TrailerInfo info;
    info.title = "Test";
    info.subdirectory = "\\ARCHIVE\\SYSTEM\\connect";
    WriteBytes(At(name), zpack::BuildPackedFile(entries, info));
    return At(name);
  }

  // The lines of a log, each checked for its time stamp, its run and CRLF, without stamp and run.
  std::vector<std::string> LogLines(const std::string& path) {
    std::string bad;
    std::vector<std::string> lines;
    for (const logtest::LogLine& line : logtest::ParseLog(FileText(path), &bad)) lines.push_back(line.text);
    EXPECT_EQ(bad, "") << "a line that is not whole";
    return lines;
  }

  static bool Has(const std::vector<std::string>& lines, const std::string& wanted) {
    for (const std::string& line : lines)
      if (line.find(wanted) != std::string::npos) return true;
    return false;
  }

  // The name and path of each record of a record file (OEM texts).
  static std::vector<std::pair<std::string, std::string>> NamesAndPaths(const Bytes& file) {
    std::vector<std::pair<std::string, std::string>> records;
    for (size_t at = 0; at + kRecordSize <= file.size(); at += kRecordSize) {
      const char* record = reinterpret_cast<const char*>(file.data()) + at;
      char name[kRecordTagsSize], path[kRecordTagsSize];
      ReadRecordTag(record, TagName, name, sizeof name);
      ReadRecordTag(record, TagPath, path, sizeof path);
      records.push_back({name, path});
    }
    return records;
  }

  // A setup call into SYSTEM\<directory> (an ANSI name) beside a record of the neighbour (an OEM
  // name) in SYSTEM's archive.dir; ARCHIVE's archive.dir names SYSTEM, so that a target that no
  // record of SYSTEM names still has an archive root. Returns SYSTEM's records afterwards.
  std::vector<std::pair<std::string, std::string>> InstallBeside(const std::string& directory,
                                                                 const std::string& neighbour) {
    const std::string system = root_ + "\\zelvar\\ARCHIVE\\SYSTEM";
    WriteBytes(root_ + "\\zelvar\\ARCHIVE\\archive.dir", Records({{"SYSTEM", "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM"}}));
    WriteBytes(system + "\\archive.dir", Records({{"connect", "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\connect"},
                                                  {neighbour, "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\" + neighbour}}));
    const HostRun run = RunSetupHost({"--", "-Q", Pack(1), "-Z", system + "\\" + directory});
    EXPECT_EQ(run.Exit(), 0) << run.output;
    EXPECT_EQ(FileText(system + "\\" + directory + "\\f0.txt"), "Datei 0 im Archiv\r\n");
    return NamesAndPaths(ReadBytes(system + "\\archive.dir"));
  }

  // The test runs on the system it was started for (ANSI and OEM code page).
  static void ExpectSystem(unsigned ansi, unsigned oem) {
    ASSERT_EQ(GetACP(), ansi) << "not the system's ANSI code page the test was started for";
    ASSERT_EQ(GetOEMCP(), oem) << "not the system's OEM code page the test was started for";
  }
};

typedef std::vector<std::pair<std::string, std::string>> NameList;
const char kSystemArchive[] = "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\";

// Names match by the letters of the system's code pages, in the locator's search for the archive root
// as in the merge. On a Polish system (ANSI 1250, OEM 852) "xź" is not "x˙" (z acute and the dot
// above, ANSI 0x9F and 0xFF, are a case pair in code page 1252 only): the install adds its own
// record. "ŁÓDŻ" is "łódż": it takes that record's slot, under the path the record gives. The win32
// tests run it under a Polish locale.
TEST_F(SetupCall, NamesMatchByThePolishLetters) {
  const char* page = std::getenv("Z_TEST_OEM_CODE_PAGE");
  if (page == nullptr || std::strcmp(page, "852") != 0) GTEST_SKIP() << "needs a Polish system";
  ExpectSystem(1250, 852);
  NameList records = InstallBeside("x\x9F", "x\xFA");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1], NameList::value_type("x\xFA", std::string(kSystemArchive) + "x\xFA")) << "the neighbour stays";
  EXPECT_EQ(records[2], NameList::value_type("x\xAB", std::string(kSystemArchive) + "x\xAB"));

  records = InstallBeside("\xA3\xD3" "D\xAF", "\x88\xA2" "d\xBE");
  ASSERT_EQ(records.size(), 2u) << "the archive's own record is replaced, not added twice";
  EXPECT_EQ(records[1], NameList::value_type("\x88\xA2" "d\xBE", std::string(kSystemArchive) + "\x88\xA2" "d\xBE"));
}

// The same on a German system (ANSI 1252, OEM 850): "ÄRGER" is "ärger", and there "xŸ" is "xÿ"
// (ANSI 0x9F and 0xFF, OEM 0x98 for the small one).
TEST_F(SetupCall, NamesMatchByTheGermanLetters) {
  ExpectSystem(1252, 850);
  NameList records = InstallBeside("\xC4RGER", "\x84rger");
  ASSERT_EQ(records.size(), 2u) << "the archive's own record is replaced, not added twice";
  EXPECT_EQ(records[1], NameList::value_type("\x84rger", std::string(kSystemArchive) + "\x84rger"));

  records = InstallBeside("x\x9F", "x\x98");
  ASSERT_EQ(records.size(), 2u) << "the archive's own record is replaced, not added twice";
  EXPECT_EQ(records[1], NameList::value_type("x\x98", std::string(kSystemArchive) + "x\x98"));
}

// Every file and directory below dir (ANSI names, relative), with each file's bytes.
std::map<std::string, std::string> TreeOf(const std::string& dir, const std::string& relative = "") {
  std::map<std::string, std::string> tree;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return tree;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      tree[relative + name + "\\"] = "";
      for (const auto& item : TreeOf(dir + "\\" + name, relative + name + "\\")) tree.insert(item);
    } else {
      const Bytes data = ReadBytes(dir + "\\" + name);
      tree[relative + name] = std::string(data.begin(), data.end());
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return tree;
}

#define HYO_KEISAN "\x95\x5C\x8C\x76\x8E\x5A"  // 表計算 in 932: 表 ends in 0x5C
#define SOFUTO "\x83\x5C\x83\x74\x83\x67"      // ソフト: ソ ends in 0x5C

// On a Japanese system (ANSI and OEM 932) a setup call into ARCHIVE\表計算\ソフト finds its archive
// root through the installation, registers the archive in the "archive.dir" of 表計算 and of ARCHIVE
// with the whole names and paths, and makes nothing else; a run that fails takes back exactly what
// it made. The win32 tests run it under a Japanese locale.
TEST_F(SetupCall, DoubleByteTargetIsRegisteredByWholeNames) {
  if (GetACP() != 932) GTEST_SKIP() << "needs a Japanese system";
  ExpectSystem(932, 932);
  const std::string archive = root_ + "\\zelvar\\ARCHIVE";
  SetProfile(root_ + "\\zelvar\\clients\\setup.inf", "Server", "SRV");
  SetProfile(root_ + "\\zelvar\\clients\\setup.inf", "Volume", "SYS");
  MakeDirs(archive + "\\" HYO_KEISAN);
  const std::string target = archive + "\\" HYO_KEISAN "\\" SOFUTO;
  const auto before = TreeOf(archive);

  HostRun run = RunSetupHost({"--", "-Q", PackWithSecond("\\f1.txt", true, "damaged.zpk"), "-Z", target});
  EXPECT_EQ(run.Exit(), -1) << run.output;
  EXPECT_EQ(TreeOf(archive), before) << "the failed run left something behind";

  run = RunSetupHost({"--", "-Q", Pack(2), "-Z", target});
  ASSERT_EQ(run.Exit(), 0) << run.output;
  std::vector<std::string> made;
  for (const auto& item : TreeOf(archive)) {
    // Beside the target and what it holds.
    if (before.count(item.first) == 0 && item.first.rfind(HYO_KEISAN "\\" SOFUTO "\\", 0) != 0) made.push_back(item.first);
  }
  EXPECT_EQ(made, (std::vector<std::string>{"archive.dir", HYO_KEISAN "\\archive.dir"}));
  EXPECT_EQ(FileText(target + "\\f1.txt"), "Datei 1 im Archiv\r\n");
  EXPECT_EQ(NamesAndPaths(ReadBytes(archive + "\\" HYO_KEISAN "\\archive.dir")),
            NameList({{SOFUTO, "SRV\\SYS:zelvar\\ARCHIVE\\" HYO_KEISAN "\\" SOFUTO}}));
  EXPECT_EQ(NamesAndPaths(ReadBytes(archive + "\\archive.dir")),
            NameList({{HYO_KEISAN, "SRV\\SYS:zelvar\\ARCHIVE\\" HYO_KEISAN}}));
}

// -L names a log that each run appends to: the version and mode, the paths, each file with its
// size, the records, and the outcome with the program's own message text in UTF-8.
TEST_F(SetupCall, LogTellsWhatARunDidAndWhy) {
  const std::string log = At("runs.log");
  HostRun run = RunSetupHost({"--", "-Q", Pack(2), "-Z", Target(), "-L" + log});
  EXPECT_EQ(run.Exit(), 0) << run.output;
  std::vector<std::string> lines = LogLines(log);
  EXPECT_TRUE(Has(lines, "Zarpex32 6.50a (0104), setup call: ")) << FileText(log);
  EXPECT_TRUE(Has(lines, "job: source " + At("p.zpk"))) << FileText(log);
  EXPECT_TRUE(Has(lines, "job: target " + Target())) << FileText(log);
  EXPECT_TRUE(Has(lines, "job: archive root SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\connect")) << FileText(log);
  EXPECT_TRUE(Has(lines, "free space on C:\\: ")) << FileText(log);
  EXPECT_TRUE(Has(lines, "file " + Target() + "\\f1.txt, 19 bytes")) << FileText(log);
  EXPECT_TRUE(Has(lines, "record file " + root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\archive.dir: replaced, slot 0"))
      << FileText(log);
  EXPECT_EQ(lines.back(),
            "outcome: done code 0, exit code 0: Der Entpackvorgang wurde erfolgreich abgeschlossen und die "
            "entpackten Archives im BAS eingerichtet!");

  // A second run appends; a packed file that cannot be opened ends the job with its message.
  run = RunSetupHost({"--", "-Q", At("missing.zpk"), "-Z", Target(), "-L", log});
  EXPECT_EQ(run.Exit(), -1) << run.output;
  const size_t before = lines.size();
  lines = LogLines(log);
  ASSERT_GT(lines.size(), before);
  EXPECT_EQ(lines.back(), "outcome: done code 1, exit code -1: Achtung!  Die Quelldatei kann nicht ge\xC3\xB6" "ffnet werden.");
}

// A damaged entry and a name that would leave the target: each named with its reason; the
// roll-back and the outcome follow. A stop says after which entry, and that the old target is back.
TEST_F(SetupCall, LogNamesDamagedAndRefusedEntriesAndStops) {
  const std::string log = At("fail.log");
  HostRun run = RunSetupHost({"--", "-Q", PackWithSecond("\\f1.txt", true, "damaged.zpk"), "-Z", Target(), "-L" + log});
  EXPECT_EQ(run.Exit(), -1) << run.output;
  std::vector<std::string> lines = LogLines(log);
  EXPECT_TRUE(Has(lines, "file " + Target() + "\\f0.txt, 14 bytes")) << FileText(log);
  EXPECT_TRUE(Has(lines, "damaged entry " + Target() + "\\f1.txt: unknown dictionary size")) << FileText(log);
  EXPECT_TRUE(Has(lines, "roll-back: what was unpacked into " + Target() + " is deleted")) << FileText(log);
  EXPECT_EQ(lines.back(), "outcome: done code 0, exit code -1: The entry " + Target() +
                              "\\f1.txt is damaged: unknown dictionary size.");

  DeleteFileA(log.c_str());
  run = RunSetupHost({"--", "-Q", PackWithSecond("\\..\\f1.txt", false, "escape.zpk"), "-Z", Target(), "-L" + log});
  EXPECT_EQ(run.Exit(), -1) << run.output;
  lines = LogLines(log);
  EXPECT_TRUE(Has(lines, "refused entry \\..\\f1.txt: its name would leave the target directory")) << FileText(log);
  EXPECT_EQ(OsGetAttributes(At("zelvar\\ARCHIVE\\SYSTEM\\f1.txt").c_str()), kInvalidAttributes);

  DeleteFileA(log.c_str());
  WriteBytes(Target() + "\\before.txt", Text("alt"));
  run = RunSetupHost({"--stop-after", "1", "--", "-Q", Pack(4), "-Z", Target(), "-L" + log});
  EXPECT_EQ(run.Exit(), -1) << run.output;
  lines = LogLines(log);
  EXPECT_TRUE(Has(lines, "existing target moved aside to " + Target() + ".001")) << FileText(log);
  EXPECT_TRUE(Has(lines, "stop requested by the setup program after entry 1 of 4")) << FileText(log);
  EXPECT_TRUE(Has(lines, "roll-back: the backup " + Target() + ".001 is back as " + Target())) << FileText(log);
  EXPECT_EQ(lines.back(), "outcome: done code 0, exit code -1: The setup program stopped the job after entry 1 of 4.");
}

// A log that cannot be opened: the run ends at once with -1, and nothing is changed or sent.
TEST_F(SetupCall, LogThatCannotBeOpenedChangesNothing) {
  WriteBytes(Target() + "\\before.txt", Text("alt"));
  HostRun run = RunSetupHost({"--", "-Q", Pack(1), "-Z", Target(), "-L", At("no such folder\\run.log")});
  EXPECT_EQ(run.Exit(), -1) << run.output;
  EXPECT_FALSE(run.HasDone()) << run.output;
  EXPECT_TRUE(run.Percentages().empty()) << run.output;
  EXPECT_EQ(FileText(Target() + "\\before.txt"), "alt");
  EXPECT_EQ(OsGetAttributes((Target() + ".001").c_str()), kInvalidAttributes);
  EXPECT_EQ(OsGetAttributes((Target() + "\\f0.txt").c_str()), kInvalidAttributes);
}


TEST_F(SetupCall, PercentagesFollowTheEntries) {
  const std::vector<std::vector<long>> expected = {{0, 0, 100}, {0, 0, 33, 66, 100}, {0, 0, 25, 50, 75, 100}};
  const int counts[] = {1, 3, 4};
  for (int k = 0; k < 3; ++k) {
    RemoveTree(Target());
    HostRun run = RunSetupHost({"--width", "30", "--", "-Q", Pack(counts[k]), "-Z", Target()});
    EXPECT_EQ(run.Percentages(), expected[k]) << run.output;
    EXPECT_EQ(run.With("query-stop ").size(), static_cast<size_t>(counts[k])) << run.output;
    EXPECT_EQ(run.Done(), 0) << run.output;
    EXPECT_EQ(run.Exit(), 0) << run.output;
    EXPECT_EQ(run.hostExit, 0);
    for (int i = 0; i < counts[k]; ++i) {
      EXPECT_EQ(FileText(Target() + "\\f" + std::to_string(i) + ".txt"), "Datei " + std::to_string(i) + " im Archiv\r\n");
    }
    // With both paths on the command line the control is never read, so nothing is shown in it.
    EXPECT_TRUE(run.With("text ").empty()) << run.output;
  }
}

TEST_F(SetupCall, StopAfterTheFirstEntryRollsBack) {
  WriteBytes(Target() + "\\before.txt", Text("alt"));
  HostRun run = RunSetupHost({"--stop-after", "1", "--", "-Q", Pack(4), "-Z", Target()});
  EXPECT_EQ(run.With("query-stop "), std::vector<std::string>({"1 -> 1"})) << run.output;
  EXPECT_EQ(run.Percentages(), std::vector<long>({0, 0})) << run.output;
  EXPECT_EQ(run.Done(), 0) << run.output;  // stopped, no error code recorded
  EXPECT_EQ(run.Exit(), -1) << run.output;  // but not a success
  EXPECT_EQ(run.hostExit, 1);
  // The unpacked file is gone and the old target is back under its name.
  EXPECT_EQ(OsGetAttributes((Target() + "\\f0.txt").c_str()), kInvalidAttributes);
  EXPECT_EQ(FileText(Target() + "\\before.txt"), "alt");
  EXPECT_EQ(OsGetAttributes((Target() + ".001").c_str()), kInvalidAttributes);
}

TEST_F(SetupCall, SourceErrors) {
  ExpectEarlyFailure(RunSetupHost({"--", "-Q", At("missing.zpk"), "-Z", Target()}), 1);
  WriteBytes(At("garbage.zpk"), Text(std::string(600, 'g')));
  ExpectEarlyFailure(RunSetupHost({"--", "-Q", At("garbage.zpk"), "-Z", Target()}), 7);
  EXPECT_EQ(OsGetAttributes(Target().c_str()), kInvalidAttributes);
}

TEST_F(SetupCall, UnknownArchiveRootIsCodeNine) {
  ExpectEarlyFailure(RunSetupHost({"--", "-Q", Pack(1), "-Z", At("plain\\dir")}), 9);
  EXPECT_EQ(OsGetAttributes(At("plain").c_str()), kInvalidAttributes);
}

TEST_F(SetupCall, TargetThatCannotBeMovedAsideIsCodeEight) {
  WriteBytes(Target() + "\\before.txt", Text("alt"));
  for (int n = 1; n <= 999; ++n) {
    char name[8];
    std::snprintf(name, sizeof name, ".%03d", n);
    WriteBytes(Target() + name, {});
  }
  ExpectEarlyFailure(RunSetupHost({"--", "-Q", Pack(1), "-Z", Target()}), 8);
  EXPECT_EQ(FileText(Target() + "\\before.txt"), "alt");
  EXPECT_EQ(OsGetAttributes((Target() + "\\f0.txt").c_str()), kInvalidAttributes);
}

TEST_F(SetupCall, DriveNotReadyIsCodeTwo) {
  // A drive letter with nothing behind it in this prefix; the server-disk rule gives the archive root.
  char letter = 0;
  for (char c = 'Q'; c <= 'Y' && letter == 0; ++c) {
    char root[4] = {c, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) letter = c;
  }
  ASSERT_NE(letter, 0);
  std::string drive = std::string(1, letter) + ":";
  SetRegistry(RegistryLocalMachine, "SOFTWARE\\Brannix\\Zelvar", "RootDirectory", (drive + "\\zelvar").c_str());
  ExpectEarlyFailure(RunSetupHost({"--", "-Q", Pack(1), "-Z", drive + "\\zelvar\\ARCHIVE\\x"}), 2);
}

TEST_F(SetupCall, FullDriveIsCodeThree) {
  // P: is linked to /proc by the test fixture: a drive with no free space at all.
  DWORD sectors = 0, bytes = 0, freeClusters = 1, total = 0;
  if (!GetDiskFreeSpaceA("P:\\", &sectors, &bytes, &freeClusters, &total) || freeClusters != 0) {
    GTEST_SKIP() << "no full drive P: in this prefix";
  }
  SetRegistry(RegistryLocalMachine, "SOFTWARE\\Brannix\\Zelvar", "RootDirectory", "P:\\zelvar");
  ExpectEarlyFailure(RunSetupHost({"--", "-Q", Pack(1, "huge.zpk", 0xFFFFFFFFll), "-Z", "P:\\zelvar\\ARCHIVE\\x"}), 3);
  // On C: the same huge estimate (4 GiB and the margin, counted in 64 bits) still fits.
  ULARGE_INTEGER available, totalBytes, freeBytes;
  if (!GetDiskFreeSpaceExA("C:\\", &available, &totalBytes, &freeBytes) || available.QuadPart < (6ull << 30)) {
    GTEST_SKIP() << "less than 6 GiB free on C:";
  }
  HostRun run = RunSetupHost({"--", "-Q", At("huge.zpk"), "-Z", Target()});
  EXPECT_EQ(run.Done(), 0) << run.output;
  EXPECT_EQ(run.Exit(), 0) << run.output;
}

TEST_F(SetupCall, ControlTextSuppliesOptionsAndWins) {
  std::string wrong = root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\wrong";
  HostRun run = RunSetupHost({"--control", "-Q " + Pack(1) + " -Z " + Target(), "--", "-Z", wrong});
  EXPECT_EQ(run.Exit(), 0) << run.output;
  ASSERT_FALSE(run.With("text ").empty()) << run.output;
  EXPECT_EQ(run.With("text ")[0], "") << run.output;  // the control was emptied after reading
  EXPECT_EQ(FileText(Target() + "\\f0.txt"), "Datei 0 im Archiv\r\n");
  EXPECT_EQ(OsGetAttributes(wrong.c_str()), kInvalidAttributes);
}

TEST_F(SetupCall, BothPathsOnTheCommandLineLeaveTheControlAlone) {
  HostRun run = RunSetupHost({"--control", "-Z " + At("other"), "--", "-Q", Pack(1), "-Z", Target()});
  EXPECT_EQ(run.Exit(), 0) << run.output;
  EXPECT_EQ(OsGetAttributes(At("other").c_str()), kInvalidAttributes);
  // The control is neither read nor emptied nor used for the paths being written.
  EXPECT_TRUE(run.With("text ").empty()) << run.output;
}

// With both paths on the command line there is no control: nothing is shown or repainted in its
// place (a repaint of no window at all repaints every window on the desktop, once per entry).
TEST_F(SetupCall, WithoutAControlNoOtherWindowIsRepainted) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ZBystander";
  RegisterClassA(&windowClass);
  HWND bystander = CreateWindowExA(0, "ZBystander", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 300, 200, 100,
                                   nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(bystander, nullptr);
  UpdateWindow(bystander);
  ValidateRect(bystander, nullptr);
  RECT dirty;
  ASSERT_FALSE(GetUpdateRect(bystander, &dirty, FALSE));

  // This thread does not answer messages meanwhile: a program that sends it any hangs.
  HostRun run = RunSetupHost({"--timeout", "30", "--", "-Q", Pack(3), "-Z", Target()});
  EXPECT_EQ(run.Exit(), 0) << run.output;
  EXPECT_FALSE(GetUpdateRect(bystander, &dirty, FALSE)) << "a window of another program was invalidated";
  DestroyWindow(bystander);
}

TEST_F(SetupCall, LongControlTextIsCutAt1023Characters) {
  std::string text = "-Q " + Pack(1) + " -Z " + Target() + " -S " + std::string(700, 'y');
  text.resize(1023, ' ');
  text += " -Z " + At("beyond");
  HostRun run = RunSetupHost({"--control", text});
  EXPECT_EQ(run.Exit(), 0) << run.output;
  EXPECT_EQ(FileText(Target() + "\\f0.txt"), "Datei 0 im Archiv\r\n");
  EXPECT_EQ(OsGetAttributes(At("beyond").c_str()), kInvalidAttributes);
}

TEST_F(SetupCall, MissingControlOrWindowEndsWithoutMessages) {
  const std::vector<std::vector<std::string>> cases = {
      {"--control", "-Q x -Z y", "--", "-I999"},            // no such control in the window
      {"--"},                                               // empty control text
      {"--window", "12345", "--control", "-Q x -Z y"},      // a handle that is no window
      {"--window", "junk", "--control", "-Q x -Z y"},
      {"--no-window", "--control", "-Q x -Z y"},
  };
  for (const auto& arguments : cases) {
    HostRun run = RunSetupHost(arguments);
    EXPECT_EQ(run.Exit(), -1) << run.output;
    EXPECT_FALSE(run.HasDone()) << run.output;
    EXPECT_TRUE(run.Percentages().empty()) << run.output;
  }
}

// Without a window (no -H, or one that names no window) and both paths on the command line, as an
// administrator's batch file calls it: the job runs, and the exit code alone tells the outcome.
TEST_F(SetupCall, WithoutAWindowTheJobRunsAndTheExitCodeTells) {
  HostRun run = RunSetupHost({"--no-window", "--", "-Q", Pack(2), "-Z", Target()});
  EXPECT_EQ(run.Exit(), 0) << run.output;
  EXPECT_EQ(FileText(Target() + "\\f1.txt"), "Datei 1 im Archiv\r\n");
  EXPECT_FALSE(run.HasDone()) << run.output;
  EXPECT_TRUE(run.Percentages().empty()) << run.output;

  run = RunSetupHost({"--window", "12345", "--", "-Q", At("missing.zpk"), "-Z", Target()});
  EXPECT_EQ(run.Exit(), -1) << run.output;
  EXPECT_EQ(FileText(Target() + "\\f1.txt"), "Datei 1 im Archiv\r\n") << "a failed job changes nothing";
}

TEST_F(SetupCall, OwnProgramFileCarriesThePackedFile) {
  // Zarpex32.exe with a packed file appended, and no -Q anywhere: the program unpacks its own file.
  Bytes program = ReadBytes(ProgramPath());
  ASSERT_GT(program.size(), 10000u);
  std::vector<zpack::PackEntry> entries = {zpack::MakeDirectoryEntry("\\config", 1230768000u),
                                           zpack::MakeFileEntry("\\config\\eigen.txt", Text("aus dem Programm"),
                                                                ImplodeAscii, 4096, 1230768000u)};
  zpack::TrailerInfo info;
  info.title = "Eigen";
  info.subdirectory = "\\ARCHIVE\\SYSTEM\\connect";
  WriteBytes(At("Zarpex32-own.exe"), zpack::BuildPackedFile(entries, info, program));
  HostRun run = RunSetupHost({"--exe", At("Zarpex32-own.exe"), "--control", "-Z " + Target()});
  EXPECT_EQ(run.Percentages(), std::vector<long>({0, 0, 50, 100})) << run.output;
  EXPECT_EQ(run.Exit(), 0) << run.output;
  EXPECT_EQ(FileText(Target() + "\\config\\eigen.txt"), "aus dem Programm");
}

}  // namespace
}  // namespace zdisc
