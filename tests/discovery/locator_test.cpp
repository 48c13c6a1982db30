// The installation locator against real settings: "brannix.ini" in the Windows directory, registry
// values, record files and installation trees (under Wine the prefix's own registry, profile files and
// drive C:; natively the seam's emulation). Mapped network drives come from the seam's replaceable query.
#include "discovery/locator.h"

#include <gtest/gtest.h>

#include <string>

#include "discovery/job_settings.h"
#include "tests/discovery/locator_fixture.h"

namespace zdisc {
namespace {

JobSettings& S() { return g_jobSettings; }

void SetField(char* field, size_t size, const std::string& value) {
  ASSERT_LT(value.size(), size);
  std::memcpy(field, value.c_str(), value.size() + 1);
}
#define SET(field, value) SetField(S().field, sizeof S().field, value)

// ---------------------------------------------------------------- packed file and archive name

class ProbeSource : public Installation {};

TEST_F(ProbeSource, NamedPackedFileGivesTitleAndSubdirectory) {
  WriteBytes(At("connect.zpk"), PackedFile("Connect Beispielarchiv", "\\ARCHIVE\\SYSTEM\\connect"));
  SET(sourcePath, At("connect.zpk"));
  EXPECT_EQ(ProbeSourceFile(0), 1);
  EXPECT_STREQ(S().archiveName, "Connect Beispielarchiv");
  EXPECT_STREQ(S().archiveSubdir, "\\ARCHIVE\\SYSTEM\\connect");

  // A name from the command line wins in interactive mode; the options page takes the title.
  SET(archiveName, "Eigener Name");
  EXPECT_EQ(ProbeSourceFile(1), 1);
  EXPECT_STREQ(S().archiveName, "Eigener Name");
  EXPECT_EQ(ProbeSourceFile(0), 1);
  EXPECT_STREQ(S().archiveName, "Connect Beispielarchiv");
}

TEST_F(ProbeSource, LengthMismatchShortFileAndMissingFileAreInvalid) {
  Bytes good = PackedFile("T", "\\ARCHIVE\\T");
  Bytes longer = good;
  longer.push_back(0);  // one byte more than the trailer says
  Bytes shorter(good.end() - 200, good.end());
  WriteBytes(At("longer.zpk"), longer);
  WriteBytes(At("short.zpk"), shorter);
  for (const char* name : {"longer.zpk", "short.zpk", "missing.zpk"}) {
    SET(sourcePath, At(name));
    SET(archiveName, "given");
    SET(archiveSubdir, "\\old");
    EXPECT_EQ(ProbeSourceFile(1), 0) << name;
    // A named source is not replaced by the defaults; name and subdirectory are emptied.
    EXPECT_EQ(S().sourcePath, At(name));
    EXPECT_STREQ(S().archiveName, "");
    EXPECT_STREQ(S().archiveSubdir, "");
  }
}

TEST_F(ProbeSource, DefaultsAreOwnFileThenPackFileRegistryValue) {
  // The program's own file, cut short like a broken download: the packing tool's last file is next.
  Bytes program = PackedFile("Eigen", "\\ARCHIVE\\EIGEN", Text(std::string(3000, 'M')));
  program.pop_back();
  WriteBytes(At("Zarpex32.exe"), program);
  WriteBytes(At("last.zpk"), PackedFile("Zuletzt gepackt", "\\ARCHIVE\\LAST"));
  SET(modulePath, At("Zarpex32.exe"));
  SetRegistry(RegistryCurrentUser, "Software\\Brannix\\Zarpin32", "PackFile", At("last.zpk").c_str());
  SET(archiveName, "vom Aufruf");

  EXPECT_EQ(ProbeSourceFile(1), 1);
  EXPECT_EQ(S().sourcePath, At("last.zpk"));
  EXPECT_STREQ(S().archiveSubdir, "\\ARCHIVE\\LAST");
  EXPECT_STREQ(S().archiveName, "vom Aufruf");

  // Nothing usable anywhere: the default source is emptied again.
  S().sourcePath[0] = '\0';
  SetRegistry(RegistryCurrentUser, "Software\\Brannix\\Zarpin32", "PackFile", At("missing.zpk").c_str());
  EXPECT_EQ(ProbeSourceFile(1), 0);
  EXPECT_STREQ(S().sourcePath, "");
  EXPECT_STREQ(S().archiveName, "");

  // Setup-call and options page (0) never use the defaults.
  EXPECT_EQ(ProbeSourceFile(0), 0);
  EXPECT_STREQ(S().sourcePath, "");
}

TEST_F(ProbeSource, RegistryValueTooLongForThePathBufferIsNotUsed) {
  std::string longPath = At(std::string(300, 'p') + ".zpk");
  SetRegistry(RegistryCurrentUser, "Software\\Brannix\\Zarpin32", "PackFile", longPath.c_str());
  char buffer[kPathBuffer];
  std::memset(buffer, 'x', sizeof buffer);
  uint32_t size = sizeof buffer;
  EXPECT_NE(ReadRegistryString(RegistryCurrentUser, "Software\\Brannix\\Zarpin32", "PackFile", buffer, &size), 0);
  EXPECT_STREQ(buffer, "");
  // A missing key reports success and leaves the buffer alone.
  std::strcpy(buffer, "unchanged");
  size = sizeof buffer;
  EXPECT_EQ(ReadRegistryString(RegistryCurrentUser, "Software\\Brannix\\Nothing", "PackFile", buffer, &size), 0);
  EXPECT_STREQ(buffer, "unchanged");
}

// ---------------------------------------------------------------- installation root and default target

class InstallRoot : public Installation {
 protected:
  void WithSubdirectory(const char* subdir) {
    WriteBytes(At("a.zpk"), PackedFile("A", subdir));
    SET(sourcePath, At("a.zpk"));
  }
};

TEST_F(InstallRoot, ArchiveRootSettingNamesTheParentAsInstallation) {
  WithSubdirectory("\\ARCHIVE\\SYSTEM\\connect");
  SetIni("ArchiveRoot", "\\\\SRV\\SYS\\zelvar\\archive\\");
  SetIni("Server", "OTHER");
  SetRegistry(RegistryLocalMachine, "SOFTWARE\\Brannix\\Zelvar", "RootDirectory", "C:\\local");
  DeriveTargetDir(0);
  EXPECT_STREQ(S().installRoot, "\\\\SRV\\SYS\\zelvar");
  EXPECT_STREQ(S().targetDir, "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\SYSTEM\\connect");
}

TEST_F(InstallRoot, ServerWithAndWithoutVolume) {
  WithSubdirectory("");
  SetIni("Server", "SRV");
  DeriveTargetDir(0);
  EXPECT_STREQ(S().installRoot, "\\\\SRV\\zelvar");
  EXPECT_STREQ(S().targetDir, "\\\\SRV\\zelvar\\archive");  // no subdirectory in the trailer

  S().installRoot[0] = '\0';
  SetIni("Volume", "SYS");
  DeriveTargetDir(0);
  EXPECT_STREQ(S().installRoot, "\\\\SRV\\SYS\\zelvar");
  EXPECT_STREQ(S().targetDir, "\\\\SRV\\SYS\\zelvar\\archive");
}

TEST_F(InstallRoot, RootDirectoryOnlyOnNt) {
  WithSubdirectory("\\ARCHIVE\\SYSTEM\\connect");
  SetRegistry(RegistryLocalMachine, "SOFTWARE\\Brannix\\Zelvar", "RootDirectory", (root_ + "\\zelvar\\").c_str());
  DeriveTargetDir(0);
  EXPECT_EQ(S().installRoot, root_ + "\\zelvar");
  EXPECT_EQ(S().targetDir, root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\connect");

  // Not NT, neither ArchiveRoot nor Server: no default target.
  std::memset(S().installRoot, 0, sizeof S().installRoot);
  S().targetDir[0] = '\0';
  SET(archiveRoot, "stale");
  S().platformIsNt = 0;
  DeriveTargetDir(0);
  EXPECT_STREQ(S().installRoot, "");
  EXPECT_STREQ(S().targetDir, "");
  EXPECT_STREQ(S().archiveRoot, "");
}

TEST_F(InstallRoot, GivenInstallRootAndGivenTargetAreKept) {
  WithSubdirectory("\\ARCHIVE\\X");
  SetIni("Server", "SRV");
  SET(installRoot, "\\\\PSRV\\VOL\\zelvar\\");  // from -P
  DeriveTargetDir(0);
  EXPECT_STREQ(S().installRoot, "\\\\PSRV\\VOL\\zelvar");
  EXPECT_STREQ(S().targetDir, "\\\\PSRV\\VOL\\zelvar\\ARCHIVE\\X");

  SET(targetDir, At("chosen"));
  S().targetGiven = 1;
  SET(installRoot, "\\\\IGNORED\\zelvar");
  DeriveTargetDir(0);
  EXPECT_EQ(S().targetDir, At("chosen"));
  EXPECT_STREQ(S().installRoot, "\\\\IGNORED\\zelvar");
}

TEST_F(InstallRoot, TargetThatWouldNotFitIsNotCut) {
  WithSubdirectory("\\ARCHIVE\\SYSTEM\\connect");
  std::string longRoot = "\\\\SRV\\" + std::string(240, 'v');
  SetIni("ArchiveRoot", (longRoot + "\\archive").c_str());
  DeriveTargetDir(0);
  EXPECT_EQ(S().installRoot, longRoot);
  EXPECT_STREQ(S().targetDir, "");
}

// ---------------------------------------------------------------- archive start path

class ArchiveRoot : public Installation {
 protected:
  std::string Target() const { return root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\connect"; }
  void Derive(const std::string& target) {
    SET(targetDir, target);
    S().targetGiven = 1;
    ASSERT_EQ(DeriveArchiveRoot(), 1);
  }
};

TEST_F(ArchiveRoot, EmptyTargetGivesNothing) {
  EXPECT_EQ(DeriveArchiveRoot(), 0);
  EXPECT_STREQ(S().archiveRoot, "");
}

TEST_F(ArchiveRoot, OwnArchiveAddComesFirstAndIsConvertedFromOem) {
  // "\x81" is u-umlaut in the OEM code page, "\xfc" in the ANSI code page.
  WriteBytes(Target() + "\\archive.add", Records({{"connect", "SRV\\SYS:zelvar\\ARCHIVE\\M\x81nchen"}, {"x", "y"}}));
  WriteBytes(root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\archive.dir", Records({{"connect", "SRV\\SYS:wrong"}}));
  Derive(Target() + "\\");
  EXPECT_EQ(S().targetDir, Target());  // one trailing backslash is dropped
  EXPECT_STREQ(S().archiveRoot, "SRV\\SYS:zelvar\\ARCHIVE\\M\xfcnchen");
}

TEST_F(ArchiveRoot, ParentArchiveDirNamesTheChild) {
  WriteBytes(root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\archive.dir",
             Records({{"kunden", "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\kunden"},
                      {"CONNECT", "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\connect"},
                      {"connect", "SRV\\SYS:second"}}));
  Derive(Target());
  EXPECT_STREQ(S().archiveRoot, "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\connect");
}

TEST_F(ArchiveRoot, HigherMatchGetsTheClimbedTail) {
  WriteBytes(root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\archive.dir", Records({{"other", "SRV\\SYS:other"}}));
  WriteBytes(root_ + "\\zelvar\\ARCHIVE\\archive.dir", Records({{"system", "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM"}}));
  Derive(Target() + "\\deep");
  EXPECT_STREQ(S().archiveRoot, "SRV\\SYS:zelvar\\ARCHIVE\\SYSTEM\\connect\\deep");
}

TEST_F(ArchiveRoot, PartialRecordsAreIgnored) {
  // 429 bytes: no record at all; one record and a partial second one: only the first counts.
  Bytes partial = Record("connect", "SRV\\SYS:partial");
  partial.pop_back();
  WriteBytes(root_ + "\\zelvar\\ARCHIVE\\SYSTEM\\archive.dir", partial);
  Bytes tail = Records({{"other", "x"}, {"system", "SRV\\SYS:cut"}});
  tail.resize(kRecordSize + 300);
  WriteBytes(root_ + "\\zelvar\\ARCHIVE\\archive.dir", tail);
  SetRegistry(RegistryLocalMachine, "SOFTWARE\\Brannix\\Zelvar", "RootDirectory", "D:\\elsewhere");
  Derive(Target());
  EXPECT_STREQ(S().archiveRoot, "");
}

TEST_F(ArchiveRoot, ArchiveDirectoryOfAnInstallationNamesItsServer) {
  std::string install = root_ + "\\inst";
  SetProfile(install + "\\clients\\setup.inf", "Server", "SRV");
  Derive(install + "\\archive\\kunden\\2009");
  EXPECT_STREQ(S().archiveRoot, "\\\\SRV\\zelvar\\archive\\kunden\\2009");

  SetProfile(install + "\\clients\\setup.inf", "Volume", "SYS");
  Derive(install + "\\ARCHIVE\\kunden");
  EXPECT_STREQ(S().archiveRoot, "SRV\\SYS:zelvar\\ARCHIVE\\kunden");
}

TEST_F(ArchiveRoot, SearchReachesTheDriveRootButNoFurther) {
  // The root directory's archive.dir is asked about the first level.
  WriteBytes("C:\\archive.dir", Records({{"zdisc", "SRV\\SYS:zdisc"}}));
  S().archiveRoot[0] = '\0';
  int found = SearchArchiveRoot((root_ + "\\x").c_str());
  OsDeleteFile("C:\\archive.dir");
  EXPECT_EQ(found, 1);
  EXPECT_EQ(S().archiveRoot, "SRV\\SYS:" + root_.substr(3) + "\\x");
  // The drive root itself has no parent to ask.
  S().archiveRoot[0] = '\0';
  EXPECT_EQ(SearchArchiveRoot("C:\\"), 0);
  EXPECT_EQ(SearchArchiveRoot("C:"), 0);
  // An archive root set already only gets the (empty) tail.
  SET(archiveRoot, "kept");
  EXPECT_EQ(SearchArchiveRoot((root_ + "\\zelvar").c_str()), 1);
  EXPECT_STREQ(S().archiveRoot, "kept");
}

TEST_F(ArchiveRoot, LocalDiskOfTheServerUsesComputerName) {
  std::string computer = ComputerName();
  ASSERT_FALSE(computer.empty());
  SetRegistry(RegistryLocalMachine, "SOFTWARE\\Brannix\\Zelvar", "RootDirectory", (root_ + "\\zelvar").c_str());
  MakeDirs(Target());
  Derive(Target());
  EXPECT_EQ(S().archiveRoot, "\\\\" + computer + "\\zelvar\\ARCHIVE\\SYSTEM\\connect");

  // Only whole components: C:\...\zelvar2 does not lie below C:\...\zelvar.
  Derive(root_ + "\\zelvar2\\ARCHIVE");
  EXPECT_STREQ(S().archiveRoot, "");

  // Not NT: no server-disk form.
  S().platformIsNt = 0;
  Derive(Target());
  EXPECT_STREQ(S().archiveRoot, "");
}

#ifdef _WIN32
TEST_F(ArchiveRoot, ShortFormOfRootDirectoryIsRecognised) {
  std::string longRoot = root_ + "\\Zelvar Server Installation";
  MakeDirs(longRoot + "\\ARCHIVE\\SYSTEM");
  char shortRoot[MAX_PATH] = "";
  ASSERT_GT(GetShortPathNameA(longRoot.c_str(), shortRoot, sizeof shortRoot), 0u);
  ASSERT_NE(std::string(shortRoot), longRoot);
  SetRegistry(RegistryLocalMachine, "SOFTWARE\\Brannix\\Zelvar", "RootDirectory", longRoot.c_str());
  Derive(std::string(shortRoot) + "\\ARCHIVE\\SYSTEM");
  EXPECT_EQ(S().archiveRoot, "\\\\" + ComputerName() + "\\zelvar\\ARCHIVE\\SYSTEM");
}
#endif

// ---------------------------------------------------------------- network forms

class NetworkForms : public Installation {};

TEST_F(NetworkForms, MappedDrivesBothWays) {
  MappedDrives() = {{"M:", "\\\\SRV\\SH"}, {"N:", "\\\\srv\\share"}};
  char out[kPathBuffer];
  // \\srv\sh is no prefix of \\SRV\SHARE\x: only whole components count.
  EXPECT_EQ(UncToMappedDrive("\\\\SRV\\SHARE\\zelvar\\archive", out, sizeof out), 1);
  EXPECT_STREQ(out, "N:\\zelvar\\archive");
  EXPECT_EQ(UncToMappedDrive("\\\\srv\\sh", out, sizeof out), 1);
  EXPECT_STREQ(out, "M:\\");
  EXPECT_EQ(UncToMappedDrive("\\\\OTHER\\share\\x", out, sizeof out), 0);
  EXPECT_STREQ(out, "\\\\OTHER\\share\\x");

  EXPECT_EQ(MappedDriveToUnc("N:\\zelvar\\archive", out, sizeof out), 1);
  EXPECT_STREQ(out, "\\\\srv\\share\\zelvar\\archive");
  EXPECT_EQ(MappedDriveToUnc("n:zelvar", out, sizeof out), 1);
  EXPECT_STREQ(out, "\\\\srv\\share\\zelvar");
  EXPECT_EQ(MappedDriveToUnc("C:\\local", out, sizeof out), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(MappedDriveToUnc("\\\\srv\\share\\x", out, sizeof out), 0);
  EXPECT_STREQ(out, "\\\\srv\\share\\x");

  // Small output buffers are never overrun.
  char small[8];
  std::memset(small, 'z', sizeof small);
  UncToMappedDrive("\\\\SRV\\SHARE\\zelvar\\archive", small, 6);
  EXPECT_EQ(std::strlen(small), 5u);
  EXPECT_EQ(small[6], 'z');
}

// A volume-form path of 259 or 260 characters is two longer in UNC form: cut, it would name another
// directory, so the target, the server form and the search are all left empty.
TEST_F(NetworkForms, VolumeTargetTooLongForUncFormIsLeftEmpty) {
  for (size_t length : {258u, 259u, 260u}) {
    const std::string target = "SRV\\SYS:zelvar\\" + std::string(length - 15, 'd');
    ASSERT_EQ(target.size(), length);
    SET(targetDir, target.c_str());
    SET(archiveRoot, "");
    S().targetGiven = 1;
    const int derived = DeriveArchiveRoot();
    char out[kPathBuffer] = "x";
    const int server = ServerPathForm(target.c_str(), out);
    if (length == 258) {  // fits: "\\SRV\SYS\zelvar\dd...d" of 260 characters
      EXPECT_EQ(derived, 1);
      EXPECT_EQ(std::strlen(S().targetDir), 260u);
      EXPECT_EQ(server, 1);
      continue;
    }
    EXPECT_EQ(derived, 0) << length;
    EXPECT_STREQ(S().targetDir, "") << length;
    EXPECT_STREQ(S().archiveRoot, "") << length;
    EXPECT_EQ(server, 0) << length;
    EXPECT_STREQ(out, "") << length;
    EXPECT_EQ(SearchArchiveRoot(target.c_str()), 0) << length;
  }
}

#ifndef _WIN32
// Wine has no network shares; the POSIX seam maps \\SRV\SYS onto a host folder.
TEST_F(NetworkForms, ServerFormDependsOnTheInstallationMarker) {
  char out[kPathBuffer];
  EXPECT_EQ(ServerPathForm("", out), 0);
  EXPECT_EQ(ServerPathForm("C:\\zelvar", out), 0);
  EXPECT_EQ(ServerPathForm("\\\\SRV\\SYS\\zelvar\\ARCHIVE\\x", out), 1);
  EXPECT_STREQ(out, "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\x");
  WriteBytes("\\\\SRV\\SYS\\zelvar\\clients\\setup.exe", Text("MZ"));
  EXPECT_EQ(ServerPathForm("\\\\SRV\\SYS\\zelvar\\ARCHIVE\\x", out), 1);
  EXPECT_STREQ(out, "SRV\\SYS:zelvar\\ARCHIVE\\x");
  EXPECT_EQ(ServerPathForm("SRV\\SYS:zelvar", out), 1);
  EXPECT_STREQ(out, "SRV\\SYS:zelvar");
  EXPECT_EQ(ServerPathForm("\\\\SRV\\SYS", out), 1);  // no directory behind the volume
  EXPECT_STREQ(out, "\\\\SRV\\SYS");
}

TEST_F(NetworkForms, UncTargetIsMappedAndSearchedBothWays) {
  MappedDrives() = {{"N:", "\\\\SRV\\SYS"}};
  // Drive N: is not reachable here, so only the search under the UNC form can find the record.
  WriteBytes("\\\\SRV\\SYS\\zelvar\\ARCHIVE\\archive.dir", Records({{"kunden", "SRV\\SYS:zelvar\\ARCHIVE\\kunden"}}));
  SET(targetDir, "SRV\\SYS:zelvar\\ARCHIVE\\kunden");
  S().targetGiven = 1;
  EXPECT_EQ(DeriveArchiveRoot(), 1);
  EXPECT_STREQ(S().targetDir, "N:\\zelvar\\ARCHIVE\\kunden");
  EXPECT_STREQ(S().archiveRoot, "SRV\\SYS:zelvar\\ARCHIVE\\kunden");
}

TEST_F(NetworkForms, MappedDriveTargetFallsBackToTheServerForm) {
  MappedDrives() = {{"N:", "\\\\SRV\\SYS"}};
  WriteBytes("\\\\SRV\\SYS\\zelvar\\clients\\setup.exe", Text("MZ"));
  SET(targetDir, "N:\\zelvar\\ARCHIVE\\neu");
  S().targetGiven = 1;
  EXPECT_EQ(DeriveArchiveRoot(), 1);
  EXPECT_STREQ(S().targetDir, "N:\\zelvar\\ARCHIVE\\neu");
  EXPECT_STREQ(S().archiveRoot, "SRV\\SYS:zelvar\\ARCHIVE\\neu");
}

TEST_F(NetworkForms, UpwardSearchStaysInsideTheShare) {
  // Records above the share (in the server's folder) and in the share root.
  WriteBytes("\\\\SRV\\archive.dir", Records({{"SYS", "ABOVE\\SHARE:"}}));
  SET(archiveRoot, "");
  EXPECT_EQ(SearchArchiveRoot("\\\\SRV\\SYS\\zelvar"), 0);
  EXPECT_STREQ(S().archiveRoot, "");
  WriteBytes("\\\\SRV\\SYS\\archive.dir", Records({{"zelvar", "SRV\\SYS:zelvar"}}));
  EXPECT_EQ(SearchArchiveRoot("SRV\\SYS:zelvar\\ARCHIVE"), 1);
  EXPECT_STREQ(S().archiveRoot, "SRV\\SYS:zelvar\\ARCHIVE");
}

TEST_F(NetworkForms, UncTargetWithoutRecordsGetsUncForm) {
  SET(targetDir, "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\neu\\");
  S().targetGiven = 1;
  EXPECT_EQ(DeriveArchiveRoot(), 1);
  EXPECT_STREQ(S().archiveRoot, "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\neu");
}
#endif

// ---------------------------------------------------------------- installation root of a chosen target

class ChosenTarget : public Installation {};

TEST_F(ChosenTarget, InstallRootFromTheArchivePathTail) {
  std::string target = root_ + "\\zelvar\\archive\\kunden";
  WriteBytes(target + "\\archive.add", Records({{"kunden", "SRV\\SYS:zelvar\\archive\\kunden"}}));
  SET(targetDir, target);
  DeriveInstallRoot();
  EXPECT_EQ(S().installRoot, root_ + "\\zelvar");

  // The tail does not occur in the target: the server part of the archive path, in UNC form.
  std::string elsewhere = root_ + "\\kopie";
  WriteBytes(elsewhere + "\\archive.add", Records({{"kunden", "SRV\\SYS:zelvar\\archive\\kunden"}}));
  SET(targetDir, elsewhere);
  DeriveInstallRoot();
  EXPECT_STREQ(S().installRoot, "\\\\SRV\\SYS\\zelvar");
}

TEST_F(ChosenTarget, NoArchivePathLeavesInstallRoot) {
  SET(targetDir, At("nowhere"));
  SET(installRoot, "before");
  S().platformIsNt = 0;
  DeriveInstallRoot();
  EXPECT_STREQ(S().installRoot, "before");
}

// ---------------------------------------------------------------- record files

class RecordScan : public Installation {};

unsigned StampSecond(char* record, void* context) {
  int* seen = static_cast<int*>(context);
  ++*seen;
  if (*seen == 2) {
    record[4] = 'W';
    return RecordWriteBack | RecordStopScan;
  }
  return 0;
}

TEST_F(RecordScan, WritesBackOnlyWhenWritableAndStopsOnRequest) {
  WriteBytes(At("archive.dir"), Records({{"a", "1"}, {"b", "2"}, {"c", "3"}}));
  int seen = 0;
  ScanRecordFile(root_.c_str(), "archive.dir", StampSecond, &seen, 1);
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(ReadBytes(At("archive.dir"))[kRecordSize + 4], 0);
  seen = 0;
  ScanRecordFile(At("archive.dir").c_str(), "", StampSecond, &seen, 0);
  EXPECT_EQ(seen, 2);
  Bytes after = ReadBytes(At("archive.dir"));
  ASSERT_EQ(after.size(), 3 * kRecordSize);
  EXPECT_EQ(after[kRecordSize + 4], 'W');
  EXPECT_EQ(after[4], 0);
  EXPECT_EQ(after[2 * kRecordSize + 4], 0);
}

}  // namespace
}  // namespace zdisc
