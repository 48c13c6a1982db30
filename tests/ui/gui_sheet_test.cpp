// The property sheet in this process, on a thread of its own, with real windows and message boxes:
// the system menu, the progress page's answers to the job's questions and its progress display.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "discovery/job_settings.h"
#include "engine/progress_messages.h"
#include "engine/redraw_rate.h"
#include "tests/engine/job_support.h"
#include "ui/path_display.h"
#include "ui/property_sheet.h"
#include "ui/sheet_win32.h"
#include "ui_probe.h"

namespace {

class SheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitJobSettings(GetModuleHandleA(nullptr));
    strcpy(g_jobSettings.sourcePath, "C:\\nirgends\\quelle.zpk");
    strcpy(g_jobSettings.targetDir, "C:\\nirgends\\ziel");
    strcpy(g_jobSettings.archiveName, "Testarchiv");
    ui_ = std::thread([] { ShowPropertySheet(nullptr); });
    for (int i = 0; i < 200 && (sheet_ = probe::FindSheet(GetCurrentProcessId())) == nullptr; ++i) Sleep(50);
    ASSERT_NE(sheet_, nullptr);
    page_ = g_progressPage.page;
    ASSERT_NE(page_, nullptr);
  }
  void TearDown() override {
    if (sheet_ != nullptr) PostMessageA(sheet_, WM_COMMAND, IDCANCEL, 0);
    if (ui_.joinable()) ui_.join();
  }

  // Presses a button of the next message box; gives its text.
  std::future<std::string> AnswerBox(int button) {
    HWND sheet = sheet_;
    return std::async(std::launch::async, [sheet, button] {
      for (int i = 0; i < 200; ++i) {
        HWND box = probe::FindModalDialog(GetCurrentProcessId(), sheet);
        std::string text = box != nullptr ? probe::MessageBoxText(box) : "";
        if (!text.empty()) {
          probe::PressButton(box, button);
          return text;
        }
        Sleep(50);
      }
      return std::string("(no box)");
    });
  }

  int Ask(int type, int button, std::string* text) {
    int answer = -7;
    auto box = AnswerBox(button);
    SendMessageA(page_, UM_QUESTION, type, reinterpret_cast<LPARAM>(&answer));
    *text = box.get();
    return answer;
  }

  std::string Field(int id) { return probe::WindowText(GetDlgItem(page_, id)); }
  int BarPosition() { return static_cast<int>(SendMessageA(GetDlgItem(page_, 1027), PBM_GETPOS, 0, 0)); }
  // The page draws at a human rate: a report that came just after a redraw is shown a little later.
  std::string FieldOnceShown(int id, const std::string& expected) {
    for (int i = 0; i < 100 && Field(id) != expected; ++i) Sleep(20);
    return Field(id);
  }

  std::thread ui_;
  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
};

TEST_F(SheetTest, SystemMenuStartsWithTheAboutItemAndASeparator) {
  HMENU menu = GetSystemMenu(sheet_, FALSE);
  ASSERT_NE(menu, nullptr);
  char text[128] = "";
  GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "&\xDC" "ber Zarpex32");
  EXPECT_EQ(GetMenuItemID(menu, 0), 1u);
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE;
  ASSERT_TRUE(GetMenuItemInfoA(menu, 1, TRUE, &info));
  EXPECT_TRUE(info.fType & MFT_SEPARATOR);
}

TEST_F(SheetTest, QuestionsShowTheirTextsAndWriteTheAnswers) {
  std::string text;
  EXPECT_EQ(Ask(QuestionTargetExists, IDYES, &text), 2);
  EXPECT_EQ(text, "Achtung!\n\nDas Zielverzeichnis existiert bereits!\nSoll es zur Sicherheit umbenannt werden?");
  EXPECT_EQ(Ask(QuestionTargetExists, IDNO, &text), 1);
  EXPECT_EQ(Ask(QuestionTargetExists, IDCANCEL, &text), 0);
  EXPECT_EQ(Ask(QuestionNotPackedFile, IDOK, &text), 1);
  EXPECT_EQ(text, "Achtung!\n\nDie Quelldatei ist entwerder defekt oder\nkeine durch Zarpin32 erstellte Datei.");
  EXPECT_EQ(Ask(QuestionSourceNotOpened, IDOK, &text), 1);
  EXPECT_EQ(text, "Achtung!\n\nDie Quelldatei kann nicht ge\xF6" "ffnet werden.");
  EXPECT_EQ(Ask(QuestionTargetClaimed, IDOK, &text), 1);
  EXPECT_EQ(text, "Achtung!\n\nDas Zielverzeichnis wird von einer anderen Installation belegt!\n"
                  "Bitte versuchen Sie es sp\xE4ter noch einmal.");

  // A type the page does not know: no box, answer 1.
  int answer = -7;
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutA(page_, UM_QUESTION, 99, reinterpret_cast<LPARAM>(&answer), SMTO_NORMAL, 5000, &result));
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(probe::FindModalDialog(GetCurrentProcessId(), sheet_), nullptr);
}

TEST_F(SheetTest, SpaceAndDriveQuestionsFormatTheirArguments) {
  auto box = AnswerBox(IDOK);
  SendMessageA(page_, UM_QUESTION, QuestionNotEnoughSpace, 3 * 65536 + 12);
  EXPECT_NE(box.get().find("mindestens 12.3 MByte freier Speicherplatz"), std::string::npos);
  box = AnswerBox(IDOK);
  SendMessageA(page_, UM_QUESTION, QuestionDriveNotReady, reinterpret_cast<LPARAM>("\\\\SRV\\50%d\\"));
  EXPECT_EQ(box.get(), "Achtung!\n\nLaufwerk/Volume \xBB\\\\SRV\\50%d\\\xAB nicht bereit.");
  box = AnswerBox(IDOK);
  SendMessageA(page_, UM_QUESTION, QuestionRecoveryFailed, reinterpret_cast<LPARAM>("C:\\ARCHIVE\\connect.001"));
  EXPECT_EQ(box.get(), "Achtung!\n\nEine unterbrochene Installation in diesem Zielverzeichnis kann nicht "
                       "r\xFC" "ckg\xE4" "ngig gemacht werden!\nBitte pr\xFC" "fen Sie \xBB" "C:\\ARCHIVE\\connect.001\xAB.");
}

TEST_F(SheetTest, OutputQuestionPassesTheButtonOnUnchanged) {
  const char path[] = "C:\\ziel\\100% fertig.dat";
  for (int button : {IDABORT, IDRETRY, IDIGNORE}) {
    int answer = -7;
    auto box = AnswerBox(button);
    SendMessageA(page_, UM_OUTPUT_FAILED, reinterpret_cast<WPARAM>(&answer), reinterpret_cast<LPARAM>(path));
    EXPECT_EQ(box.get(), std::string("Achtung!\n\nDie folgende Zieldatei kann nicht ge\xF6" "ffnet werden:\n\n") + path);
    EXPECT_EQ(answer, button);
  }
}

TEST_F(SheetTest, ProgressReportsReachTheFieldsAndTheBar) {
  HWND bar = GetDlgItem(page_, 1027);
  SendMessageA(page_, UM_PROGRESS, ProgressEntryCount, 70000);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 4464);
  SendMessageA(page_, UM_PROGRESS, ProgressPosition, 17);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 17);
  SendMessageA(page_, UM_PROGRESS, ProgressFileName, reinterpret_cast<LPARAM>("C:\\Ziel\\Daten\\\xC4NDERUNG.TXT"));
  EXPECT_EQ(FieldOnceShown(1016, "\xE4nderung.txt"), "\xE4nderung.txt");
  SendMessageA(page_, UM_PROGRESS, ProgressFileName, reinterpret_cast<LPARAM>("OhnePfad.DAT"));
  EXPECT_EQ(FieldOnceShown(1016, "ohnepfad.dat"), "ohnepfad.dat");
  const std::string longPath = "D:\\Server\\archive\\Kunden\\2004\\Rechnungen\\Quartal\\Mahnungen\\offen\\rechnungen.dat";
  const std::string before = Field(1014);
  SendMessageA(page_, UM_PROGRESS, ProgressDirectory, reinterpret_cast<LPARAM>(longPath.c_str()));
  for (int i = 0; i < 100 && Field(1014) == before; ++i) Sleep(20);
  const std::string shown = Field(1014);
  EXPECT_LE(static_cast<int>(shown.size()), g_progressPage.fitChars);
  EXPECT_NE(shown.find("rechnungen.dat"), std::string::npos);
  SendMessageA(page_, UM_PROGRESS, 99, reinterpret_cast<LPARAM>("nichts"));  // no such sub-code
  EXPECT_EQ(Field(1016), "ohnepfad.dat");

  // Every activation empties the file field and the bar.
  SendMessageA(sheet_, PSM_SETCURSEL, 1, 0);
  SendMessageA(sheet_, PSM_SETCURSEL, 0, 0);
  EXPECT_EQ(Field(1016), "");
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
}

// A job's reports come far faster than the page draws them. Whatever the rate has left undrawn, the
// page shows the last reports when the job ends: at the end position at once (the job may write into
// the fields itself after it, while deleting the backup), and when a failed job's end is reported.
TEST_F(SheetTest, TheEndOfAJobShowsItsLastReports) {
  auto report = [&](int entries, int reached) {
    SendMessageA(page_, UM_PROGRESS, ProgressEntryCount, entries);
    for (int i = 0; i < reached; ++i) {
      const std::string directory = "C:\\ziel\\teil" + std::to_string(i % 4);
      const std::string file = directory + "\\DATEN" + std::to_string(i) + ".TXT";
      SendMessageA(page_, UM_PROGRESS, ProgressPosition, i);
      SendMessageA(page_, UM_PROGRESS, ProgressDirectory, reinterpret_cast<LPARAM>(directory.c_str()));
      SendMessageA(page_, UM_PROGRESS, ProgressFileName, reinterpret_cast<LPARAM>(file.c_str()));
    }
  };
  g_progressPage.unpacking = true;
  report(600, 299);
  SendMessageA(page_, UM_JOB_FINISHED, 0, 0);  // failed: no box
  EXPECT_EQ(BarPosition(), 298);
  EXPECT_EQ(Field(1014), "C:\\ziel\\teil2");
  EXPECT_EQ(Field(1016), "daten298.txt");

  g_progressPage.unpacking = true;
  report(600, 600);
  SendMessageA(page_, UM_PROGRESS, ProgressPosition, 600);
  SetDlgItemTextA(page_, 1016, "Sicherung wird gel\xF6scht");
  SetDlgItemTextA(page_, 1014, "C:\\ziel.001");
  HWND sheet = sheet_;
  auto atBox = std::async(std::launch::async, [this, sheet] {
    for (int i = 0; i < 200; ++i) {
      HWND box = probe::FindModalDialog(GetCurrentProcessId(), sheet);
      if (box != nullptr && !probe::MessageBoxText(box).empty()) {
        const std::string shown = std::to_string(BarPosition()) + "|" + Field(1014) + "|" + Field(1016);
        probe::PressButton(box, IDOK);
        return shown;
      }
      Sleep(50);
    }
    return std::string("(no box)");
  });
  SendMessageA(page_, UM_JOB_FINISHED, 1, 0);
  EXPECT_EQ(atBox.get(), "600|C:\\ziel.001|Sicherung wird gel\xF6scht");
}

// A gathered report is one report: the page never shows a new directory beside the file name or
// the position of an earlier entry. A wait for another run shows in the fields, and what they
// showed before comes back when it is over.
TEST_F(SheetTest, AGatheredReportIsDrawnAsOne) {
  auto send = [&](int position, const char* directory, const char* name) {
    GatheredProgress gathered = {};
    gathered.hasDirectory = gathered.hasFileName = gathered.hasPosition = 1;
    gathered.position = static_cast<uint32_t>(position);
    strcpy(gathered.directory, directory);
    strcpy(gathered.fileName, name);
    SendMessageA(page_, UM_PROGRESS, ProgressGathered, reinterpret_cast<LPARAM>(&gathered));
    return Field(1014) + "|" + Field(1016) + "|" + std::to_string(BarPosition());
  };
  SendMessageA(page_, UM_PROGRESS, ProgressEntryCount, 100);
  EXPECT_EQ(send(5, "C:\\ziel\\eins", "C:\\ziel\\eins\\A.TXT"), "C:\\ziel\\eins|a.txt|5");
  Sleep(kRedrawIntervalMs + 100);  // the next report is due to be drawn at once
  EXPECT_EQ(send(6, "C:\\ziel\\zwei", "C:\\ziel\\zwei\\B.TXT"), "C:\\ziel\\zwei|b.txt|6");
  SendMessageA(page_, UM_PROGRESS, ProgressWaiting, reinterpret_cast<LPARAM>("C:\\ziel"));
  EXPECT_EQ(Field(1014) + "|" + Field(1016), "C:\\ziel|Warten auf andere Installation");
  SendMessageA(page_, UM_PROGRESS, ProgressWaitOver, 0);
  EXPECT_EQ(Field(1014) + "|" + Field(1016), "C:\\ziel\\zwei|b.txt");
}

// A job that deletes its backup says so on the page to its end, the backup's path fitted into its
// field like every other path: a path with blanks is not wrapped at a blank.
TEST_F(SheetTest, TheDeletedBackupsPathIsFittedIntoItsField) {
  using namespace jobtest;
  Scratch scratch("sheet_backup_fitted");
  const std::string source = scratch / "sicher.zpk";
  const std::string target = scratch / "Ziel mit Leerzeichen in einem recht langen Namen der Installation";
  ASSERT_TRUE(WritePackedFile(source, {FileEntry("\\neu.txt", Text("neu"))}));
  ASSERT_TRUE(OsCreateDirectory(target.c_str()));
  strcpy(g_jobSettings.sourcePath, source.c_str());
  strcpy(g_jobSettings.targetDir, target.c_str());
  strcpy(g_jobSettings.archiveRoot, "C:\\TESTROOT");
  HWND sheet = sheet_;
  auto boxes = std::async(std::launch::async, [this, sheet] {
    std::string shown = "(no box)";
    for (int i = 0, answered = 0; i < 400 && answered < 2; ++i) {
      HWND box = probe::FindModalDialog(GetCurrentProcessId(), sheet);
      if (box == nullptr || probe::MessageBoxText(box).empty()) {
        Sleep(50);
        continue;
      }
      // First the existing target ("No": the backup is deleted after the job), then the success.
      if (answered++ == 1) shown = Field(1016) + "|" + Field(1014);
      probe::PressButton(box, answered == 1 ? IDNO : IDOK);
      for (int j = 0; j < 100 && probe::FindModalDialog(GetCurrentProcessId(), sheet) == box; ++j) Sleep(20);
    }
    return shown;
  });
  PostMessageA(sheet_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(sheet_, IDOK)));
  const std::string shown = boxes.get();
  for (int i = 0; i < 200 && g_progressPage.unpacking; ++i) Sleep(20);
  ASSERT_EQ(shown.rfind("Backupverzeichnis l\xF6schen|", 0), 0u) << shown;
  const std::string path = shown.substr(shown.find('|') + 1);
  EXPECT_NE(path.find("\\...\\"), std::string::npos) << path;
  HWND field = GetDlgItem(page_, 1014);
  HDC dc = GetDC(field);
  HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(field, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32A(dc, path.c_str(), static_cast<int>(path.size()), &size);
  SelectObject(dc, font);
  ReleaseDC(field, dc);
  RECT client = {};
  GetClientRect(field, &client);
  EXPECT_LE(size.cx, client.right) << path;
}

// The page's wake-ups by the worker's progress reports, counted in front of its window procedure.
std::atomic<int> g_progressWakeUps{0};
WNDPROC g_pageProcedure = nullptr;
LRESULT CALLBACK CountingPageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == UM_PROGRESS) g_progressWakeUps.fetch_add(1);
  return CallWindowProcA(g_pageProcedure, window, message, wParam, lParam);
}

// A job of many small entries through "Entpacken", once with every report sent as the job makes
// it and once at the worker's own rate: the second wakes the page far less often than there are
// entries, and both show the same end when the success box comes.
TEST_F(SheetTest, ManySmallEntriesReachThePageInFewWakeUpsWithTheSameEnd) {
  using namespace jobtest;
  Scratch scratch("sheet_small_entries");
  const int entries = 1200;
  std::vector<zpack::PackEntry> packed;
  for (int i = 0; i < entries; ++i) {
    packed.push_back(FileEntry("\\teil" + std::to_string(i % 7) + "\\DATEN" + std::to_string(i) + ".TXT",
                               Text("Eintrag " + std::to_string(i))));
  }
  const std::string source = scratch / "klein.zpk";
  const std::string target = scratch / "klein";
  ASSERT_TRUE(WritePackedFile(source, packed));
  strcpy(g_jobSettings.sourcePath, source.c_str());
  strcpy(g_jobSettings.targetDir, target.c_str());
  strcpy(g_jobSettings.archiveRoot, "C:\\TESTROOT");

  g_pageProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(page_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingPageProcedure)));
  auto unpack = [&](std::string* shown) {
    RemoveTree(target);
    g_progressWakeUps = 0;
    HWND sheet = sheet_;
    auto atBox = std::async(std::launch::async, [this, sheet] {
      for (int i = 0; i < 1200; ++i) {
        HWND box = probe::FindModalDialog(GetCurrentProcessId(), sheet);
        if (box != nullptr && !probe::MessageBoxText(box).empty()) {
          HWND bar = GetDlgItem(page_, 1027);
          const std::string seen = probe::MessageBoxText(box) + "|" + std::to_string(BarPosition()) + "/" +
                                   std::to_string(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)) + "|" + Field(1014) +
                                   "|" + Field(1016);
          probe::PressButton(box, IDOK);
          return seen;
        }
        Sleep(50);
      }
      return std::string("(no box)");
    });
    PostMessageA(sheet_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(sheet_, IDOK)));
    *shown = atBox.get();
    for (int i = 0; i < 200 && g_progressPage.unpacking; ++i) Sleep(20);
    return g_progressWakeUps.load();
  };
  std::string everyReport, gathered;
  SetReportIntervalForTests(0);
  const int wakeUpsEveryReport = unpack(&everyReport);
  SetReportIntervalForTests(kRedrawIntervalMs);
  const int wakeUpsGathered = unpack(&gathered);
  SetWindowLongPtrA(page_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_pageProcedure));

  char directory[kPathBuffer];
  CompactPath(directory, (target + "\\teil" + std::to_string((entries - 1) % 7)).c_str(),
              FitForDisplay(g_progressPage.fitChars));
  const std::string end = "Der Entpackvorgang wurde erfolgreich abgeschlossen\nund die entpackten Archives im BAS "
                          "eingerichtet!|" + std::to_string(entries) + "/" + std::to_string(entries) + "|" +
                          directory + "|daten" + std::to_string(entries - 1) + ".txt";
  EXPECT_EQ(everyReport, end);
  EXPECT_EQ(gathered, end);
  EXPECT_GT(wakeUpsEveryReport, 3 * entries) << "three reports per entry";
  EXPECT_LT(wakeUpsGathered, entries / 4);
  std::printf("wake-ups: %d with every report, %d gathered, for %d entries\n", wakeUpsEveryReport, wakeUpsGathered,
              entries);
}

TEST(ChangeToNearestDirectory, ClimbsToTheNearestExistingParent) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string base = std::string(temp) + "zui-nearest";
  CreateDirectoryA(base.c_str(), nullptr);
  ASSERT_EQ(ChangeToNearestDirectory((base + "\\fehlt\\auch").c_str()), 1);
  char now[MAX_PATH];
  GetCurrentDirectoryA(sizeof now, now);
  EXPECT_EQ(_stricmp(now, base.c_str()), 0);
  // A lower-case drive letter names the same drive.
  std::string lower = base;
  lower[0] = static_cast<char>(tolower(lower[0]));
  EXPECT_EQ(ChangeToNearestDirectory(lower.c_str()), 1);
  EXPECT_EQ(ChangeToNearestDirectory(""), 0);
  EXPECT_EQ(ChangeToNearestDirectory("Q:\\kein\\laufwerk"), 0);
  RemoveDirectoryA(base.c_str());
}

TEST(VolumePrefix, CutsAfterTheFirstColonRun) {
  char prefix[261];
  VolumePrefix("C:\\zelvar\\archive", prefix, sizeof prefix);
  EXPECT_STREQ(prefix, "C:");
  VolumePrefix("\\\\SRV\\SYS\\zelvar\\archive", prefix, sizeof prefix);
  EXPECT_STREQ(prefix, "SRV\\SYS:");
  VolumePrefix("ohne", prefix, sizeof prefix);
  EXPECT_STREQ(prefix, "ohne");
}

// A program file loaded as a library is neither relocated nor bound to its imports (Wine maps it
// wherever there is room and leaves its import slots empty). Do both, as the loader does for a module
// that a host imports from, so that its functions can run.
bool PrepareLikeAnImportedModule(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  auto writable = [](void* address, size_t size, auto change) {
    DWORD protection;
    if (!VirtualProtect(address, size, PAGE_READWRITE, &protection)) return false;
    change();
    VirtualProtect(address, size, protection, &protection);
    return true;
  };
  // Addresses in the image are 32 bits wide on i686 (HIGHLOW) and 64 on x86_64 (DIR64).
  const ULONG_PTR delta = reinterpret_cast<ULONG_PTR>(base) - static_cast<ULONG_PTR>(nt->OptionalHeader.ImageBase);
#ifdef _WIN64
  const int kAddressRelocation = IMAGE_REL_BASED_DIR64;
#else
  const int kAddressRelocation = IMAGE_REL_BASED_HIGHLOW;
#endif
  const IMAGE_DATA_DIRECTORY& relocations = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
  for (DWORD offset = 0; delta != 0 && offset < relocations.Size;) {
    auto* block = reinterpret_cast<IMAGE_BASE_RELOCATION*>(base + relocations.VirtualAddress + offset);
    if (block->SizeOfBlock == 0) break;
    auto* entries = reinterpret_cast<WORD*>(block + 1);
    for (DWORD i = 0; i < (block->SizeOfBlock - sizeof *block) / sizeof(WORD); ++i) {
      const int type = entries[i] >> 12;
      if (type == IMAGE_REL_BASED_ABSOLUTE) continue;  // padding
      if (type != kAddressRelocation) return false;   // a kind this loader does not apply
      auto* target = reinterpret_cast<ULONG_PTR*>(base + block->VirtualAddress + (entries[i] & 0xFFF));
      if (!writable(target, sizeof *target, [&] { *target += delta; })) return false;
    }
    offset += block->SizeOfBlock;
  }
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0;
       ++entry) {
    HMODULE library = LoadLibraryA(reinterpret_cast<const char*>(base + entry->Name));
    if (library == nullptr) return false;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      const char* name = IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)
                             ? MAKEINTRESOURCEA(IMAGE_ORDINAL(names->u1.Ordinal))
                             : reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      FARPROC function = GetProcAddress(library, name);
      if (function == nullptr) return false;
      if (!writable(slots, sizeof *slots, [&] { slots->u1.Function = reinterpret_cast<DWORD_PTR>(function); })) {
        return false;
      }
    }
  }
  return true;
}

// A host built with the Microsoft compiler imports the overloads under its decorated names: the
// program file exports those as well, each the same function as its GNU-named twin.
TEST(ProgramExports, SetWindowPosOverloadsUnderBothCompilersNames) {
  std::string path = std::string("Z:") + Z_TEST_BINARY_DIR + "/Zarpex32.exe";
  std::replace(path.begin(), path.end(), '/', '\\');
  HMODULE program = LoadLibraryA(path.c_str());
  ASSERT_NE(program, nullptr) << path;
  ASSERT_TRUE(PrepareLikeAnImportedModule(program));
#ifdef _WIN64
  void* byWindowAddress = reinterpret_cast<void*>(GetProcAddress(program, "?SetWindowPos@@YAXPEAUHWND__@@0HH@Z"));
  void* byIdAddress = reinterpret_cast<void*>(GetProcAddress(program, "?SetWindowPos@@YAXPEAUHWND__@@HHH@Z"));
#else
  void* byWindowAddress = reinterpret_cast<void*>(GetProcAddress(program, "?SetWindowPos@@YAXPAUHWND__@@0HH@Z"));
  void* byIdAddress = reinterpret_cast<void*>(GetProcAddress(program, "?SetWindowPos@@YAXPAUHWND__@@HHH@Z"));
#endif
  ASSERT_NE(byWindowAddress, nullptr);
  ASSERT_NE(byIdAddress, nullptr);
  EXPECT_EQ(byWindowAddress, reinterpret_cast<void*>(GetProcAddress(program, "_Z12SetWindowPosP6HWND__S0_ii")));
  EXPECT_EQ(byIdAddress, reinterpret_cast<void*>(GetProcAddress(program, "_Z12SetWindowPosP6HWND__iii")));
  auto byWindow = reinterpret_cast<void (*)(HWND, HWND, int, int)>(byWindowAddress);
  auto byId = reinterpret_cast<void (*)(HWND, int, int, int)>(byIdAddress);

  HWND parent = CreateWindowA("STATIC", "", WS_POPUP | WS_VISIBLE, 100, 80, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  HWND child = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 20, 10, parent,
                             reinterpret_cast<HMENU>(77), nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  auto placeInParent = [&](int x, int y) {
    POINT point = {x, y};
    ClientToScreen(parent, &point);
    return point;
  };
  auto childPosition = [&] {
    RECT rect;
    GetWindowRect(child, &rect);
    POINT point = {rect.left, rect.top};
    ScreenToClient(parent, &point);
    return point;
  };
  POINT screen = placeInParent(30, 40);
  byWindow(parent, child, screen.x, screen.y);
  EXPECT_EQ(childPosition().x, 30);
  EXPECT_EQ(childPosition().y, 40);
  screen = placeInParent(55, 7);
  byId(parent, 77, screen.x, screen.y);
  EXPECT_EQ(childPosition().x, 55);
  EXPECT_EQ(childPosition().y, 7);
  RECT size;
  GetWindowRect(child, &size);
  EXPECT_EQ(size.right - size.left, 20);  // the size is kept
  DestroyWindow(parent);
  FreeLibrary(program);
}

}  // namespace
