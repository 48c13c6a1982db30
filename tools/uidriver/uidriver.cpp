// uidriver: drives Zarpex32.exe from a script, as a user would, and checks what it shows.
//
//   uidriver.exe --exe <Zarpex32.exe> [--shots <folder>] [--set name=value]... <script>
//
// ${name} in a script word is replaced by the value given with --set; ${COMPUTERNAME} is this computer's name.
// Paths may be given in Unix form (/work/...): they are taken as Z:\work\... . The script is UTF-8;
// texts are compared in the ANSI code page 1252. One command a line, words separated by blanks,
// "quoted words" with \n, \\ and \" escapes (other backslashes stay), # starts a comment. Every check that fails prints
// the script line and makes the exit code 1; the driver goes on unless the failure leaves nothing
// to drive (no sheet, no dialog).
//
// Program:      start [args...]          wait-sheet <s>          wait-exit <s> <code>
// Sheet:        expect-caption <t>       expect-tabs <t>...      expect-page <title>
//               expect-text <id> <t>     expect-contains <id> <t> expect-visible <id> 0|1
//               expect-enabled <id> 0|1  expect-left-of <id> <id> expect-right-edge <id>
//               expect-menu <pos> <t>    expect-progress <min> <high> [max]  wait-text <id> <t> <s>
//               wait-progress <min> <s>  (the bar has reached min)
//               click <id>               command <id>            tab <n>
//               settext <id> <t>         focus <id>              syscommand <n>     shot <name>
// Scale:        expect-dpi <n>           expect-dlu <id> <x> <y> <w> <h>   expect-size <id> <w> <h>
//               expect-layout            expect-fits <id>        expect-path <id> <path>  (on the current
//               page; the same with dexpect-dlu, dexpect-layout, dexpect-fits and dexpect-image-fills <id>
//               on the dialog)
//               Dialog units are those of the templates' font at the screen's scale; expect-size
//               takes pixels at 100 %.
// Dialogs:      box <button> <shot|-> <text>   (a message box: text, title 4000, then the button)
//               wait-box <s>             timed-box <s>  (prints "box after <ms> ms" since the last command)
//               no-dialog <ms>           dialog <s>              dexpect-title <t>
//               dexpect-text <id> <t>    dpress <id>             descape     dclose
//               dshot <name>             dgone <s>
// Files:        mkdir <p>  rmtree <p>  copy <from> <to>  expect-file <p>  expect-no-file <p>
//               reg-set HKLM|HKCU <key> <value> <data>      reg-delete HKLM|HKCU <key> <value>
//               make-tree <dir> <files> <kilobytes each>   run <exe> [args...]  (must end with 0)
//               sleep <ms>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scale_checks.h"
#include "ui_probe.h"

namespace {

const char kBoxTitle[] = "Brannix Archive System (BAS)";

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string result = "Z:" + path;
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

// Scripts are UTF-8; the program takes the system's ANSI code page (1252 on a German system, 932
// on a Japanese one).
std::string Utf8ToAnsi(const std::string& text) {
  if (text.empty()) return text;
  int wide = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> buffer(wide);
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, buffer.data(), wide);
  int narrow = WideCharToMultiByte(CP_ACP, 0, buffer.data(), -1, nullptr, 0, nullptr, nullptr);
  std::vector<char> out(narrow);
  WideCharToMultiByte(CP_ACP, 0, buffer.data(), -1, out.data(), narrow, nullptr, nullptr);
  return out.data();
}

std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c < 32 || c >= 127) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else out += static_cast<char>(c);
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> g_variables;

std::string Substitute(std::string word) {
  for (const auto& variable : g_variables) {
    const std::string mark = "${" + variable.first + "}";
    for (size_t at; (at = word.find(mark)) != std::string::npos;) word.replace(at, mark.size(), variable.second);
  }
  return word;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
    if (i >= line.size() || line[i] == '#') break;
    std::string word;
    if (line[i] == '"') {
      ++i;
      while (i < line.size() && line[i] != '"') {
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (line[i] == '\\' && (next == 'n' || next == '"' || next == '\\')) {
          ++i;
          word += next == 'n' ? '\n' : next;
        } else {
          word += line[i];
        }
        ++i;
      }
      ++i;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n') word += line[i++];
    }
    words.push_back(Utf8ToAnsi(Substitute(word)));
  }
  return words;
}

// A script line's words as a command's handler sees them, with the window it acts on (the sheet,
// its current page or the dialog, as the command's table entry says). A missing word reads as "" or 0.
struct Args {
  const std::vector<std::string>& words;
  HWND window;
  std::string text(size_t i) const { return i < words.size() ? words[i] : std::string(); }
  int number(size_t i) const { return atoi(text(i).c_str()); }
};

struct Driver {
  std::string exe;
  std::string shots;
  PROCESS_INFORMATION process = {};
  HWND sheet = nullptr;
  HWND dialog = nullptr;
  int line = 0;
  int failures = 0;
  std::string lineText;
  DWORD commandTick = 0;  // when the last "command" was sent

  void Fail(const std::string& what) {
    ++failures;
    fprintf(stderr, "line %d: %s\n  %s\n", line, lineText.c_str(), Printable(what).c_str());
    fflush(stderr);
  }
  void Note(const std::string& what) { printf("line %d: %s\n", line, Printable(what).c_str()); fflush(stdout); }

  // Waits until the predicate holds or the time is up; pumps nothing of its own.
  template <typename Predicate>
  bool WaitFor(int milliseconds, Predicate predicate) {
    for (int waited = 0;; waited += 50) {
      if (predicate()) return true;
      if (waited >= milliseconds) return false;
      Sleep(50);
    }
  }

  bool NeedSheet() {
    if (sheet != nullptr && IsWindow(sheet)) return true;
    Fail("no property sheet");
    return false;
  }
  bool NeedDialog() {
    if (dialog != nullptr && IsWindow(dialog)) return true;
    Fail("no dialog");
    return false;
  }
  HWND Control(int id) { return probe::FindControl(sheet, id); }
  std::string ShotPath(const std::string& name) { return WindowsPath(shots) + "\\" + name + ".bmp"; }
  void Shot(HWND window, const std::string& name) {
    Sleep(300);  // let the window finish painting
    if (shots.empty()) return;
    if (!probe::SaveWindowPicture(window, ShotPath(name))) Fail("cannot save picture " + name);
  }

  void Start(const std::vector<std::string>& w) {
    std::string commandLine = "\"" + WindowsPath(exe) + "\"";
    for (size_t i = 1; i < w.size(); ++i) {
      const std::string arg = WindowsPath(w[i]);
      commandLine += arg.find(' ') != std::string::npos || arg.empty() ? " \"" + arg + "\"" : " " + arg;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> text(commandLine.begin(), commandLine.end());
    text.push_back('\0');
    if (!CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      Fail("cannot start " + commandLine);
      return;
    }
    Note("started " + commandLine);
    WaitForInputIdle(process.hProcess, 10000);
  }

  void WaitSheet(int seconds) {
    if (!WaitFor(seconds * 1000, [&] { return (sheet = probe::FindSheet(process.dwProcessId)) != nullptr; })) {
      Fail("no property sheet appeared");
      return;
    }
    Sleep(300);
  }

  void WaitExit(int seconds, int expected) {
    if (process.hProcess == nullptr) return Fail("no program started");
    if (WaitForSingleObject(process.hProcess, seconds * 1000) != WAIT_OBJECT_0) {
      Fail("the program did not end");
      TerminateProcess(process.hProcess, 99);
      return;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (static_cast<int>(code) != expected) Fail("exit code " + std::to_string(static_cast<int>(code)));
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};
    sheet = nullptr;
  }

  void Check(const std::string& problem) {
    if (!problem.empty()) Fail(problem);
  }

  void ExpectEqual(const std::string& what, const std::string& actual, const std::string& expected) {
    if (actual != expected) Fail(what + ": \"" + actual + "\", expected \"" + expected + "\"");
  }

  RECT ScreenRect(HWND window) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    return rect;
  }

  void Box(const std::vector<std::string>& w) {
    // box <button> <shot|-> <text>; the table has made sure of the three words
    HWND box = nullptr;
    if (!WaitFor(30000, [&] {
          box = probe::FindModalDialog(process.dwProcessId, sheet);
          return box != nullptr && !probe::MessageBoxText(box).empty();
        })) {
      return Fail("no message box appeared, expected \"" + w[3] + "\"");
    }
    Sleep(200);
    ExpectEqual("message box text", probe::MessageBoxText(box), w[3]);
    ExpectEqual("message box title", probe::WindowText(box), kBoxTitle);
    if (w[2] != "-") Shot(box, w[2]);
    const std::string& button = w[1];
    const int id = button == "ok"       ? IDOK
                   : button == "cancel" ? IDCANCEL
                   : button == "yes"    ? IDYES
                   : button == "no"     ? IDNO
                   : button == "abort"  ? IDABORT
                   : button == "retry"  ? IDRETRY
                   : button == "ignore" ? IDIGNORE
                                        : atoi(button.c_str());
    if (GetDlgItem(box, id) == nullptr) Fail("the message box has no button " + button);
    probe::PressButton(box, id);
    if (!WaitFor(10000, [&] { return !IsWindow(box) || !IsWindowVisible(box); })) Fail("the message box stayed open");
    Sleep(100);
  }

  void Focus(HWND control) {
    const DWORD target = GetWindowThreadProcessId(control, nullptr);
    const DWORD self = GetCurrentThreadId();
    AttachThreadInput(self, target, TRUE);
    SetFocus(control);
    AttachThreadInput(self, target, FALSE);
    Sleep(200);
  }

  bool SetRegistry(const std::vector<std::string>& w, bool remove) {
    HKEY root = w[1] == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, w[2].c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    LONG status = remove ? RegDeleteValueA(key, w[3].c_str())
                         : RegSetValueExA(key, w[3].c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w[4].c_str()),
                                          static_cast<DWORD>(w[4].size() + 1));
    RegCloseKey(key);
    return remove || status == ERROR_SUCCESS;
  }

  static void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string child = path + "\\" + name;
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
        else DeleteFileA(child.c_str());
      } while (FindNextFileA(find, &found));
      FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
  }

  static void MakeDirectories(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
  }

  // Files of German-looking text lines with numbers: compressible, but not trivially.
  void MakeTree(const std::string& dir, int files, int kilobytes) {
    static const char* const words[] = {"Archiv", "Kunde", "Rechnung", "Vertrag", "Zelvar", "Brannix", "Datum",
                                        "Betrag", "Konto", "Ablage", "Ordner", "Notiz", "Termin", "Projekt"};
    MakeDirectories(dir);
    unsigned seed = 12345;
    for (int f = 0; f < files; ++f) {
      const std::string sub = dir + "\\teil" + std::to_string(f % 4);
      CreateDirectoryA(sub.c_str(), nullptr);
      FILE* out = fopen((sub + "\\daten" + std::to_string(f) + ".txt").c_str(), "wb");
      if (out == nullptr) return Fail("cannot write in " + sub);
      long written = 0;
      while (written < kilobytes * 1024L) {
        seed = seed * 1103515245u + 12345u;
        written += fprintf(out, "%s %u %s;", words[(seed >> 16) % 14], (seed >> 8) % 100000, words[(seed >> 20) % 14]);
        if ((seed >> 12) % 8 == 0) written += fprintf(out, "\r\n");
      }
      fclose(out);
    }
  }

  void RunProgram(const std::vector<std::string>& w) {
    std::string commandLine;
    for (size_t i = 1; i < w.size(); ++i) {
      const std::string a = WindowsPath(w[i]);
      commandLine += (i > 1 ? " " : "") + (a.find(' ') != std::string::npos ? "\"" + a + "\"" : a);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    std::vector<char> text(commandLine.begin(), commandLine.end());
    text.push_back('\0');
    if (!CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
      return Fail("cannot run " + commandLine);
    WaitForSingleObject(child.hProcess, 300000);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    if (code != 0) Fail("exit code " + std::to_string(code) + " of " + commandLine);
  }

  // Program.
  void StartProgram(const Args& a) { Start(a.words); }
  void WaitForSheet(const Args& a) { WaitSheet(a.number(1)); }
  void WaitForExit(const Args& a) { WaitExit(a.number(1), a.number(2)); }

  // Files, registry and helpers.
  void SleepFor(const Args& a) { Sleep(a.number(1)); }
  void MakeDirectory(const Args& a) { MakeDirectories(WindowsPath(a.text(1))); }
  void RemoveDirectoryTree(const Args& a) { RemoveTree(WindowsPath(a.text(1))); }
  void CopyOneFile(const Args& a) {
    const std::string to = WindowsPath(a.text(2));
    const size_t cut = to.find_last_of('\\');
    if (cut != std::string::npos) MakeDirectories(to.substr(0, cut));
    if (!CopyFileA(WindowsPath(a.text(1)).c_str(), to.c_str(), FALSE)) Fail("cannot copy " + a.text(1) + " to " + a.text(2));
  }
  void MakeFileTree(const Args& a) { MakeTree(WindowsPath(a.text(1)), a.number(2), a.number(3)); }
  void RunToSuccess(const Args& a) { RunProgram(a.words); }
  void ExpectFile(const Args& a) {
    if (GetFileAttributesA(WindowsPath(a.text(1)).c_str()) == INVALID_FILE_ATTRIBUTES) Fail("missing " + a.text(1));
  }
  void ExpectNoFile(const Args& a) {
    if (GetFileAttributesA(WindowsPath(a.text(1)).c_str()) != INVALID_FILE_ATTRIBUTES) Fail("present: " + a.text(1));
  }
  void SetRegistryValue(const Args& a) {
    if (!SetRegistry(a.words, false)) Fail("registry");
  }
  void DeleteRegistryValue(const Args& a) {
    if (!SetRegistry(a.words, true)) Fail("registry");
  }

  // Scale, on the current page or on the dialog.
  void ExpectDpi(const Args& a) {
    if (scale::ScreenDpi() != a.number(1)) Fail("the screen has " + std::to_string(scale::ScreenDpi()) + " dpi");
  }
  void ExpectDialogUnits(const Args& a) {
    Check(scale::CheckDialogUnits(a.window, a.number(1), a.number(2), a.number(3), a.number(4), a.number(5)));
  }
  void ExpectSize(const Args& a) {
    RECT rect = ScreenRect(GetDlgItem(a.window, a.number(1)));
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int expectedWidth = scale::Scaled(a.number(2));
    const int expectedHeight = scale::Scaled(a.number(3));
    if (abs(width - expectedWidth) > 1 || abs(height - expectedHeight) > 1)
      Fail("control " + a.text(1) + " is " + std::to_string(width) + "x" + std::to_string(height) + ", expected " +
           std::to_string(expectedWidth) + "x" + std::to_string(expectedHeight));
  }
  void ExpectLayout(const Args& a) { Check(scale::CheckLayout(a.window)); }
  void ExpectFits(const Args& a) { Check(scale::CheckTextFits(GetDlgItem(a.window, a.number(1)))); }
  void ExpectPath(const Args& a) { Check(scale::CheckPathShown(GetDlgItem(a.window, a.number(1)), a.text(2))); }
  void ExpectImageFills(const Args& a) { Check(scale::CheckImageFills(GetDlgItem(a.window, a.number(1)))); }

  // Message boxes and dialogs.
  void AnswerBox(const Args& a) { Box(a.words); }
  bool MessageBoxShown() {
    HWND box = probe::FindModalDialog(process.dwProcessId, sheet);
    return box != nullptr && !probe::MessageBoxText(box).empty();
  }
  void WaitForBox(const Args& a) {
    if (!WaitFor(a.number(1) * 1000, [&] { return MessageBoxShown(); })) Fail("no message box appeared");
    Sleep(300);
  }
  void TimeBox(const Args& a) {
    // Looks often, so that the time is the box's, not the poll's.
    for (DWORD waited = 0; !MessageBoxShown(); waited += 5) {
      if (waited >= static_cast<DWORD>(a.number(1)) * 1000) return Fail("no message box appeared");
      Sleep(5);
    }
    Note("box after " + std::to_string(GetTickCount() - commandTick) + " ms");
  }
  void ExpectNoDialog(const Args& a) {
    if (WaitFor(a.number(1), [&] { return probe::FindModalDialog(process.dwProcessId, sheet) != nullptr; }))
      Fail("a dialog appeared: \"" + probe::MessageBoxText(probe::FindModalDialog(process.dwProcessId, sheet)) + "\"");
  }
  void WaitForDialog(const Args& a) {
    if (!WaitFor(a.number(1) * 1000, [&] { return (dialog = probe::FindModalDialog(process.dwProcessId, sheet)) != nullptr; }))
      Fail("no dialog appeared");
    Sleep(300);
  }
  void ExpectDialogTitle(const Args& a) { ExpectEqual("dialog title", probe::WindowText(dialog), a.text(1)); }
  void ExpectDialogText(const Args& a) {
    ExpectEqual("dialog control " + a.text(1), probe::WindowText(GetDlgItem(dialog, a.number(1))), a.text(2));
  }
  void PressDialogButton(const Args& a) { probe::PressButton(dialog, a.number(1)); }
  void EscapeDialog(const Args&) {
    HWND focus = GetDlgItem(dialog, IDOK);
    PostMessageA(focus != nullptr ? focus : dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(focus != nullptr ? focus : dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  }
  void CloseDialog(const Args&) { PostMessageA(dialog, WM_CLOSE, 0, 0); }
  void ShootDialog(const Args& a) { Shot(dialog, a.text(1)); }
  void WaitDialogGone(const Args& a) {
    if (NeedDialog() && !WaitFor(a.number(1) * 1000, [&] { return !IsWindow(dialog); })) Fail("the dialog stayed open");
    dialog = nullptr;
  }

  // The sheet.
  void ExpectCaption(const Args& a) { ExpectEqual("sheet caption", probe::WindowText(sheet), a.text(1)); }
  void ExpectTabs(const Args& a) {
    std::string actual, expected;
    for (auto& t : probe::TabCaptions(sheet)) actual += "[" + t + "]";
    for (size_t i = 1; i < a.words.size(); ++i) expected += "[" + a.words[i] + "]";
    ExpectEqual("tabs", actual, expected);
  }
  void ExpectPage(const Args& a) { ExpectEqual("current page", probe::WindowText(probe::CurrentPage(sheet)), a.text(1)); }
  void ExpectText(const Args& a) { ExpectEqual("control " + a.text(1), probe::WindowText(Control(a.number(1))), a.text(2)); }
  void ExpectContains(const Args& a) {
    const std::string text = probe::WindowText(Control(a.number(1)));
    if (text.find(a.text(2)) == std::string::npos) Fail("control " + a.text(1) + ": \"" + text + "\" lacks \"" + a.text(2) + "\"");
  }
  void WaitForText(const Args& a) {
    const DWORD start = GetTickCount();
    if (!WaitFor(a.number(3) * 1000, [&] { return probe::WindowText(Control(a.number(1))) == a.text(2); }))
      Fail("control " + a.text(1) + " stayed \"" + probe::WindowText(Control(a.number(1))) + "\"");
    // A long wait is worth knowing about even when it ends well.
    else if (GetTickCount() - start > 500)
      Note("control " + a.text(1) + " showed \"" + a.text(2) + "\" after " + std::to_string(GetTickCount() - start) + " ms");
  }
  void ExpectVisible(const Args& a) {
    HWND control = GetDlgItem(sheet, a.number(1));
    const int actual = control != nullptr && IsWindowVisible(control) ? 1 : 0;
    if (actual != a.number(2)) Fail("expect-visible " + a.text(1) + ": " + std::to_string(actual));
  }
  void ExpectEnabled(const Args& a) {
    HWND control = GetDlgItem(sheet, a.number(1));
    const int actual = control != nullptr && IsWindowEnabled(control) ? 1 : 0;
    if (actual != a.number(2)) Fail("expect-enabled " + a.text(1) + ": " + std::to_string(actual));
  }
  void ExpectLeftOf(const Args& a) {
    RECT left = ScreenRect(GetDlgItem(sheet, a.number(1)));
    RECT right = ScreenRect(GetDlgItem(sheet, a.number(2)));
    if (!(left.right <= right.left && left.top == right.top && left.right - left.left == right.right - right.left))
      Fail("buttons " + a.text(1) + " and " + a.text(2) + " are not side by side");
  }
  void ExpectRightEdge(const Args& a) {
    // The button ends where the tab control ends (the place of the hidden Apply button).
    RECT button = ScreenRect(GetDlgItem(sheet, a.number(1)));
    RECT tab = ScreenRect(FindWindowExA(sheet, nullptr, "SysTabControl32", nullptr));
    if (abs(button.right - tab.right) > 2) Fail("button " + a.text(1) + " does not end at the right edge");
  }
  void ExpectMenuItem(const Args& a) {
    HMENU menu = GetSystemMenu(sheet, FALSE);
    char text[256] = "";
    if (menu == nullptr || GetMenuStringA(menu, a.number(1), text, sizeof text, MF_BYPOSITION) < 0) Fail("no system menu");
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID;
    GetMenuItemInfoA(menu, a.number(1), TRUE, &info);
    if (a.text(2) == "-") {
      if (!(info.fType & MFT_SEPARATOR)) Fail("menu item " + a.text(1) + " is no separator");
    } else {
      ExpectEqual("menu item " + a.text(1), text, a.text(2));
      if (info.wID != 1) Fail("menu item " + a.text(1) + " has command " + std::to_string(info.wID));
    }
  }
  int ProgressPosition() { return static_cast<int>(SendMessageA(Control(1027), PBM_GETPOS, 0, 0)); }
  void ExpectProgress(const Args& a) {
    const int position = ProgressPosition();
    const int high = static_cast<int>(SendMessageA(Control(1027), PBM_GETRANGE, FALSE, 0));
    Note("progress " + std::to_string(position) + " of " + std::to_string(high));
    if (position < a.number(1)) Fail("progress position " + std::to_string(position));
    if (high != a.number(2)) Fail("progress upper bound " + std::to_string(high));
    if (a.words.size() > 3 && position > a.number(3))
      Fail("progress position " + std::to_string(position) + " beyond " + a.text(3));
  }
  void WaitForProgress(const Args& a) {
    // Looks often: what follows (a cancel) is meant for a job that has only just begun.
    for (DWORD waited = 0; ProgressPosition() < a.number(1); waited += 5) {
      if (waited >= static_cast<DWORD>(a.number(2)) * 1000)
        return Fail("progress stayed at " + std::to_string(ProgressPosition()));
      Sleep(5);
    }
  }
  void ClickControl(const Args& a) { PostMessageA(Control(a.number(1)), BM_CLICK, 0, 0); }
  void SendCommand(const Args& a) {
    commandTick = GetTickCount();
    const int id = a.number(1);
    PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(sheet, id)));
  }
  void SelectTab(const Args& a) {
    PostMessageA(sheet, PSM_SETCURSEL, a.number(1), 0);
    Sleep(300);
  }
  void SetControlText(const Args& a) {
    DWORD_PTR result = 0;
    const std::string text = a.text(2);
    SendMessageTimeoutA(Control(a.number(1)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        5000, &result);
  }
  void FocusControl(const Args& a) { Focus(Control(a.number(1))); }
  void SendSysCommand(const Args& a) { PostMessageA(sheet, WM_SYSCOMMAND, a.number(1), 0); }
  void ShootSheet(const Args& a) { Shot(sheet, a.text(1)); }

  void Run(const std::vector<std::string>& w);
};

// What a command acts on; the driver checks it is there before the handler runs.
enum class Target { kNone, kSheet, kPage, kDialog };

// One script command: its name, what it acts on, the fewest words its line must have (with the
// failure when it has fewer; most commands read missing words as "" or 0), and its handler.
struct ScriptCommand {
  const char* name;
  Target target;
  size_t minimumWords;
  const char* tooFewWords;
  void (Driver::*handle)(const Args&);
};

const ScriptCommand kCommands[] = {
    {"start", Target::kNone, 0, nullptr, &Driver::StartProgram},
    {"wait-sheet", Target::kNone, 0, nullptr, &Driver::WaitForSheet},
    {"wait-exit", Target::kNone, 0, nullptr, &Driver::WaitForExit},
    {"sleep", Target::kNone, 0, nullptr, &Driver::SleepFor},
    {"mkdir", Target::kNone, 0, nullptr, &Driver::MakeDirectory},
    {"rmtree", Target::kNone, 0, nullptr, &Driver::RemoveDirectoryTree},
    {"copy", Target::kNone, 0, nullptr, &Driver::CopyOneFile},
    {"make-tree", Target::kNone, 0, nullptr, &Driver::MakeFileTree},
    {"run", Target::kNone, 0, nullptr, &Driver::RunToSuccess},
    {"expect-file", Target::kNone, 0, nullptr, &Driver::ExpectFile},
    {"expect-no-file", Target::kNone, 0, nullptr, &Driver::ExpectNoFile},
    {"reg-set", Target::kNone, 5, "registry", &Driver::SetRegistryValue},
    {"reg-delete", Target::kNone, 4, "registry", &Driver::DeleteRegistryValue},
    {"expect-dpi", Target::kNone, 0, nullptr, &Driver::ExpectDpi},
    {"expect-dlu", Target::kPage, 0, nullptr, &Driver::ExpectDialogUnits},
    {"expect-size", Target::kPage, 0, nullptr, &Driver::ExpectSize},
    {"expect-layout", Target::kPage, 0, nullptr, &Driver::ExpectLayout},
    {"expect-fits", Target::kPage, 0, nullptr, &Driver::ExpectFits},
    {"expect-path", Target::kPage, 0, nullptr, &Driver::ExpectPath},
    {"expect-image-fills", Target::kPage, 0, nullptr, &Driver::ExpectImageFills},
    {"dexpect-dlu", Target::kDialog, 0, nullptr, &Driver::ExpectDialogUnits},
    {"dexpect-size", Target::kDialog, 0, nullptr, &Driver::ExpectSize},
    {"dexpect-layout", Target::kDialog, 0, nullptr, &Driver::ExpectLayout},
    {"dexpect-fits", Target::kDialog, 0, nullptr, &Driver::ExpectFits},
    {"dexpect-path", Target::kDialog, 0, nullptr, &Driver::ExpectPath},
    {"dexpect-image-fills", Target::kDialog, 0, nullptr, &Driver::ExpectImageFills},
    {"box", Target::kNone, 4, "box needs a button, a picture name and a text", &Driver::AnswerBox},
    {"wait-box", Target::kNone, 0, nullptr, &Driver::WaitForBox},
    {"timed-box", Target::kNone, 0, nullptr, &Driver::TimeBox},
    {"no-dialog", Target::kNone, 0, nullptr, &Driver::ExpectNoDialog},
    {"dialog", Target::kNone, 0, nullptr, &Driver::WaitForDialog},
    {"dexpect-title", Target::kDialog, 0, nullptr, &Driver::ExpectDialogTitle},
    {"dexpect-text", Target::kDialog, 0, nullptr, &Driver::ExpectDialogText},
    {"dpress", Target::kDialog, 0, nullptr, &Driver::PressDialogButton},
    {"descape", Target::kDialog, 0, nullptr, &Driver::EscapeDialog},
    {"dclose", Target::kDialog, 0, nullptr, &Driver::CloseDialog},
    {"dshot", Target::kDialog, 0, nullptr, &Driver::ShootDialog},
    // Checks for the dialog itself: it forgets the dialog even when there was none.
    {"dgone", Target::kNone, 0, nullptr, &Driver::WaitDialogGone},
    {"expect-caption", Target::kSheet, 0, nullptr, &Driver::ExpectCaption},
    {"expect-tabs", Target::kSheet, 0, nullptr, &Driver::ExpectTabs},
    {"expect-page", Target::kSheet, 0, nullptr, &Driver::ExpectPage},
    {"expect-text", Target::kSheet, 0, nullptr, &Driver::ExpectText},
    {"expect-contains", Target::kSheet, 0, nullptr, &Driver::ExpectContains},
    {"wait-text", Target::kSheet, 0, nullptr, &Driver::WaitForText},
    {"expect-visible", Target::kSheet, 0, nullptr, &Driver::ExpectVisible},
    {"expect-enabled", Target::kSheet, 0, nullptr, &Driver::ExpectEnabled},
    {"expect-left-of", Target::kSheet, 0, nullptr, &Driver::ExpectLeftOf},
    {"expect-right-edge", Target::kSheet, 0, nullptr, &Driver::ExpectRightEdge},
    {"expect-menu", Target::kSheet, 0, nullptr, &Driver::ExpectMenuItem},
    {"expect-progress", Target::kSheet, 0, nullptr, &Driver::ExpectProgress},
    {"wait-progress", Target::kSheet, 0, nullptr, &Driver::WaitForProgress},
    {"click", Target::kSheet, 0, nullptr, &Driver::ClickControl},
    {"command", Target::kSheet, 0, nullptr, &Driver::SendCommand},
    {"tab", Target::kSheet, 0, nullptr, &Driver::SelectTab},
    {"settext", Target::kSheet, 0, nullptr, &Driver::SetControlText},
    {"focus", Target::kSheet, 0, nullptr, &Driver::FocusControl},
    {"syscommand", Target::kSheet, 0, nullptr, &Driver::SendSysCommand},
    {"shot", Target::kSheet, 0, nullptr, &Driver::ShootSheet},
};

void Driver::Run(const std::vector<std::string>& w) {
  const ScriptCommand* command = nullptr;
  for (const ScriptCommand& candidate : kCommands) {
    if (w[0] == candidate.name) {
      command = &candidate;
      break;
    }
  }
  // Without a sheet there is nothing to try an unknown command on: that is the failure reported.
  if (command == nullptr) {
    if (NeedSheet()) Fail("unknown command " + w[0]);
    return;
  }
  HWND window = nullptr;
  switch (command->target) {
    case Target::kNone: break;
    case Target::kSheet:
      if (!NeedSheet()) return;
      window = sheet;
      break;
    case Target::kPage:
      if (!NeedSheet()) return;
      window = probe::CurrentPage(sheet);
      break;
    case Target::kDialog:
      if (!NeedDialog()) return;
      window = dialog;
      break;
  }
  if (w.size() < command->minimumWords) return Fail(command->tooFewWords);
  (this->*command->handle)(Args{w, window});
}

}  // namespace

int main(int argc, char** argv) {
  scale::BecomeDpiAware();
  Driver driver;
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
  DWORD computerSize = sizeof computer;
  if (GetComputerNameA(computer, &computerSize)) g_variables.push_back({"COMPUTERNAME", computer});
  const char* script = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--exe") == 0 && i + 1 < argc) driver.exe = argv[++i];
    else if (strcmp(argv[i], "--shots") == 0 && i + 1 < argc) driver.shots = argv[++i];
    else if (strcmp(argv[i], "--set") == 0 && i + 1 < argc) {
      const std::string setting = argv[++i];
      const size_t equals = setting.find('=');
      if (equals != std::string::npos) g_variables.push_back({setting.substr(0, equals), setting.substr(equals + 1)});
    }
    else script = argv[i];
  }
  if (script == nullptr) {
    fprintf(stderr, "usage: uidriver --exe <Zarpex32.exe> [--shots <folder>] <script>\n");
    return 2;
  }
  FILE* in = fopen(WindowsPath(script).c_str(), "rb");
  if (in == nullptr) {
    fprintf(stderr, "cannot read %s\n", script);
    return 2;
  }
  if (!driver.shots.empty()) CreateDirectoryA(WindowsPath(driver.shots).c_str(), nullptr);
  char buffer[2048];
  while (fgets(buffer, sizeof buffer, in) != nullptr) {
    ++driver.line;
    driver.lineText = buffer;
    while (!driver.lineText.empty() && (driver.lineText.back() == '\n' || driver.lineText.back() == '\r'))
      driver.lineText.pop_back();
    std::vector<std::string> words = Words(buffer);
    if (words.empty()) continue;
    driver.Run(words);
  }
  fclose(in);
  if (driver.process.hProcess != nullptr) {
    // A script that ends with the program still running has failed to close it.
    if (WaitForSingleObject(driver.process.hProcess, 0) == WAIT_TIMEOUT) {
      driver.Fail("the program is still running at the end of the script");
      TerminateProcess(driver.process.hProcess, 99);
    }
  }
  printf("%s: %d failure(s)\n", script, driver.failures);
  return driver.failures == 0 ? 0 : 1;
}
