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

  // The scale commands, on the current page of the sheet or on the dialog ("d" commands).
  bool RunScaleCheck(const std::string& c, const std::vector<std::string>& w) {
    auto num = [&](size_t i) { return i < w.size() ? atoi(w[i].c_str()) : 0; };
    const bool onDialog = c[0] == 'd';
    const std::string check = onDialog ? c.substr(1) : c;
    if (check != "expect-dlu" && check != "expect-size" && check != "expect-layout" && check != "expect-fits" &&
        check != "expect-path" && check != "expect-image-fills")
      return false;
    if (onDialog ? !NeedDialog() : !NeedSheet()) return true;
    HWND window = onDialog ? dialog : probe::CurrentPage(sheet);
    if (check == "expect-dlu") {
      Check(scale::CheckDialogUnits(window, num(1), num(2), num(3), num(4), num(5)));
    } else if (check == "expect-size") {
      RECT rect = ScreenRect(GetDlgItem(window, num(1)));
      const int width = rect.right - rect.left;
      const int height = rect.bottom - rect.top;
      if (abs(width - scale::Scaled(num(2))) > 1 || abs(height - scale::Scaled(num(3))) > 1)
        Fail("control " + w[1] + " is " + std::to_string(width) + "x" + std::to_string(height) + ", expected " +
             std::to_string(scale::Scaled(num(2))) + "x" + std::to_string(scale::Scaled(num(3))));
    } else if (check == "expect-layout") {
      Check(scale::CheckLayout(window));
    } else if (check == "expect-fits") {
      Check(scale::CheckTextFits(GetDlgItem(window, num(1))));
    } else if (check == "expect-path") {
      Check(scale::CheckPathShown(GetDlgItem(window, num(1)), w.size() > 2 ? w[2] : std::string()));
    } else {
      Check(scale::CheckImageFills(GetDlgItem(window, num(1))));
    }
    return true;
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
    // box <button> <shot|-> <text>
    if (w.size() < 4) return Fail("box needs a button, a picture name and a text");
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

  void Run(const std::vector<std::string>& w) {
    const std::string& c = w[0];
    auto arg = [&](size_t i) -> std::string { return i < w.size() ? w[i] : std::string(); };
    auto num = [&](size_t i) { return atoi(arg(i).c_str()); };
    if (c == "start") return Start(w);
    if (c == "wait-sheet") return WaitSheet(num(1));
    if (c == "wait-exit") return WaitExit(num(1), num(2));
    if (c == "sleep") return Sleep(num(1));
    if (c == "mkdir") return MakeDirectories(WindowsPath(arg(1)));
    if (c == "rmtree") return RemoveTree(WindowsPath(arg(1)));
    if (c == "copy") {
      const std::string to = WindowsPath(arg(2));
      const size_t cut = to.find_last_of('\\');
      if (cut != std::string::npos) MakeDirectories(to.substr(0, cut));
      if (!CopyFileA(WindowsPath(arg(1)).c_str(), to.c_str(), FALSE)) Fail("cannot copy " + arg(1) + " to " + arg(2));
      return;
    }
    if (c == "make-tree") return MakeTree(WindowsPath(arg(1)), num(2), num(3));
    if (c == "run") return RunProgram(w);
    if (c == "expect-file") {
      if (GetFileAttributesA(WindowsPath(arg(1)).c_str()) == INVALID_FILE_ATTRIBUTES) Fail("missing " + arg(1));
      return;
    }
    if (c == "expect-no-file") {
      if (GetFileAttributesA(WindowsPath(arg(1)).c_str()) != INVALID_FILE_ATTRIBUTES) Fail("present: " + arg(1));
      return;
    }
    if (c == "reg-set" || c == "reg-delete") {
      if (w.size() < (c == "reg-set" ? 5u : 4u) || !SetRegistry(w, c == "reg-delete")) Fail("registry");
      return;
    }
    if (c == "expect-dpi") {
      if (scale::ScreenDpi() != num(1)) Fail("the screen has " + std::to_string(scale::ScreenDpi()) + " dpi");
      return;
    }
    if (RunScaleCheck(c, w)) return;
    if (c == "box") return Box(w);
    if (c == "wait-box") {
      if (!WaitFor(num(1) * 1000, [&] {
            HWND box = probe::FindModalDialog(process.dwProcessId, sheet);
            return box != nullptr && !probe::MessageBoxText(box).empty();
          }))
        Fail("no message box appeared");
      Sleep(300);
      return;
    }
    if (c == "timed-box") {
      // Looks often, so that the time is the box's, not the poll's.
      HWND box = nullptr;
      for (DWORD waited = 0;; waited += 5) {
        box = probe::FindModalDialog(process.dwProcessId, sheet);
        if (box != nullptr && !probe::MessageBoxText(box).empty()) break;
        if (waited >= static_cast<DWORD>(num(1)) * 1000) return Fail("no message box appeared");
        Sleep(5);
      }
      Note("box after " + std::to_string(GetTickCount() - commandTick) + " ms");
      return;
    }
    if (c == "no-dialog") {
      if (WaitFor(num(1), [&] { return probe::FindModalDialog(process.dwProcessId, sheet) != nullptr; }))
        Fail("a dialog appeared: \"" + probe::MessageBoxText(probe::FindModalDialog(process.dwProcessId, sheet)) + "\"");
      return;
    }
    if (c == "dialog") {
      if (!WaitFor(num(1) * 1000, [&] { return (dialog = probe::FindModalDialog(process.dwProcessId, sheet)) != nullptr; }))
        Fail("no dialog appeared");
      Sleep(300);
      return;
    }
    if (c == "dexpect-title") {
      if (NeedDialog()) ExpectEqual("dialog title", probe::WindowText(dialog), arg(1));
      return;
    }
    if (c == "dexpect-text") {
      if (NeedDialog()) ExpectEqual("dialog control " + arg(1), probe::WindowText(GetDlgItem(dialog, num(1))), arg(2));
      return;
    }
    if (c == "dpress") {
      if (NeedDialog()) probe::PressButton(dialog, num(1));
      return;
    }
    if (c == "descape") {
      if (NeedDialog()) {
        HWND focus = GetDlgItem(dialog, IDOK);
        PostMessageA(focus != nullptr ? focus : dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageA(focus != nullptr ? focus : dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
      }
      return;
    }
    if (c == "dclose") {
      if (NeedDialog()) PostMessageA(dialog, WM_CLOSE, 0, 0);
      return;
    }
    if (c == "dshot") {
      if (NeedDialog()) Shot(dialog, arg(1));
      return;
    }
    if (c == "dgone") {
      if (NeedDialog() && !WaitFor(num(1) * 1000, [&] { return !IsWindow(dialog); })) Fail("the dialog stayed open");
      dialog = nullptr;
      return;
    }

    if (!NeedSheet()) return;
    if (c == "expect-caption") return ExpectEqual("sheet caption", probe::WindowText(sheet), arg(1));
    if (c == "expect-tabs") {
      std::vector<std::string> tabs = probe::TabCaptions(sheet);
      std::string actual, expected;
      for (auto& t : tabs) actual += "[" + t + "]";
      for (size_t i = 1; i < w.size(); ++i) expected += "[" + w[i] + "]";
      return ExpectEqual("tabs", actual, expected);
    }
    if (c == "expect-page") return ExpectEqual("current page", probe::WindowText(probe::CurrentPage(sheet)), arg(1));
    if (c == "expect-text") return ExpectEqual("control " + arg(1), probe::WindowText(Control(num(1))), arg(2));
    if (c == "expect-contains") {
      const std::string text = probe::WindowText(Control(num(1)));
      if (text.find(arg(2)) == std::string::npos) Fail("control " + arg(1) + ": \"" + text + "\" lacks \"" + arg(2) + "\"");
      return;
    }
    if (c == "wait-text") {
      const DWORD start = GetTickCount();
      if (!WaitFor(num(3) * 1000, [&] { return probe::WindowText(Control(num(1))) == arg(2); }))
        Fail("control " + arg(1) + " stayed \"" + probe::WindowText(Control(num(1))) + "\"");
      // A long wait is worth knowing about even when it ends well.
      else if (GetTickCount() - start > 500)
        Note("control " + arg(1) + " showed \"" + arg(2) + "\" after " + std::to_string(GetTickCount() - start) + " ms");
      return;
    }
    if (c == "expect-visible" || c == "expect-enabled") {
      HWND control = GetDlgItem(sheet, num(1));
      const int actual = control == nullptr ? 0 : c == "expect-visible" ? IsWindowVisible(control) != 0 : IsWindowEnabled(control) != 0;
      if (actual != num(2)) Fail(c + " " + arg(1) + ": " + std::to_string(actual));
      return;
    }
    if (c == "expect-left-of") {
      RECT a = ScreenRect(GetDlgItem(sheet, num(1)));
      RECT b = ScreenRect(GetDlgItem(sheet, num(2)));
      if (!(a.right <= b.left && a.top == b.top && a.right - a.left == b.right - b.left))
        Fail("buttons " + arg(1) + " and " + arg(2) + " are not side by side");
      return;
    }
    if (c == "expect-right-edge") {
      // The button ends where the tab control ends (the place of the hidden Apply button).
      RECT button = ScreenRect(GetDlgItem(sheet, num(1)));
      HWND tabs = FindWindowExA(sheet, nullptr, "SysTabControl32", nullptr);
      RECT tab = ScreenRect(tabs);
      if (abs(button.right - tab.right) > 2) Fail("button " + arg(1) + " does not end at the right edge");
      return;
    }
    if (c == "expect-menu") {
      HMENU menu = GetSystemMenu(sheet, FALSE);
      char text[256] = "";
      if (menu == nullptr || GetMenuStringA(menu, num(1), text, sizeof text, MF_BYPOSITION) < 0) Fail("no system menu");
      MENUITEMINFOA info = {};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_ID;
      GetMenuItemInfoA(menu, num(1), TRUE, &info);
      if (arg(2) == "-") {
        if (!(info.fType & MFT_SEPARATOR)) Fail("menu item " + arg(1) + " is no separator");
      } else {
        ExpectEqual("menu item " + arg(1), text, arg(2));
        if (info.wID != 1) Fail("menu item " + arg(1) + " has command " + std::to_string(info.wID));
      }
      return;
    }
    if (c == "expect-progress") {
      HWND bar = Control(1027);
      const int position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
      const int high = static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
      Note("progress " + std::to_string(position) + " of " + std::to_string(high));
      if (position < num(1)) Fail("progress position " + std::to_string(position));
      if (high != num(2)) Fail("progress upper bound " + std::to_string(high));
      if (w.size() > 3 && position > num(3)) Fail("progress position " + std::to_string(position) + " beyond " + arg(3));
      return;
    }
    if (c == "click") return (void)PostMessageA(Control(num(1)), BM_CLICK, 0, 0);
    if (c == "wait-progress") {
      // Looks often: what follows (a cancel) is meant for a job that has only just begun.
      HWND bar = Control(1027);
      for (DWORD waited = 0; static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)) < num(1); waited += 5) {
        if (waited >= static_cast<DWORD>(num(2)) * 1000) {
          return Fail("progress stayed at " + std::to_string(static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0))));
        }
        Sleep(5);
      }
      return;
    }
    if (c == "command") commandTick = GetTickCount();
    if (c == "command") return (void)PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(num(1), BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(sheet, num(1))));
    if (c == "tab") {
      PostMessageA(sheet, PSM_SETCURSEL, num(1), 0);
      return Sleep(300);
    }
    if (c == "settext") {
      DWORD_PTR result = 0;
      SendMessageTimeoutA(Control(num(1)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(2).c_str()), SMTO_ABORTIFHUNG, 5000, &result);
      return;
    }
    if (c == "focus") return Focus(Control(num(1)));
    if (c == "syscommand") return (void)PostMessageA(sheet, WM_SYSCOMMAND, num(1), 0);
    if (c == "shot") return Shot(sheet, arg(1));
    Fail("unknown command " + c);
  }
};

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
