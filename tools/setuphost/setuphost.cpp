// setuphost: plays the outside setup program of setup-call mode.
//
// Creates a window with an edit control, starts Zarpex32.exe with
//   "<exe>" @@SETUP_CALL -H<window> -I<control id> [options...]
// answers UM_SETUP_PROGRESS with a path width and UM_SETUP_QUERY_STOP with 0 (or non-zero from a chosen
// query on), and prints every percentage, every text the program puts into the control, the code of
// UM_SETUP_DONE and the program's exit code. It runs its message loop until the program has ended.
//
//   setuphost [--exe PATH] [--id N] [--width N] [--stop-after N] [--delay-ms N] [--control TEXT]
//             [--window VALUE] [--no-window] [--timeout SECONDS] [--] [options for the program...]
//
// --delay-ms makes each reply to the stop query wait that long (a program that runs slowly).
//
// Exit code: 0 when the program ended with 0, 1 when it ended with another code, 3 when it could not
// be started or did not end in time (with one line on stderr that says which).
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr UINT kSetupDone = WM_USER + 1;       // posted: wParam = error code
constexpr UINT kSetupProgress = WM_USER + 2;   // sent: wParam = percent, reply = path width
constexpr UINT kSetupQueryStop = WM_USER + 3;  // sent after each entry, reply non-zero stops

struct Options {
  std::string exe;
  int controlId = 1234;
  long width = 40;
  long stopAfter = 0;  // 0: never stop
  DWORD delayMs = 0;   // before each reply to the stop query
  bool haveControlText = false;
  std::string controlText;
  bool passWindow = true;
  bool overrideWindow = false;
  std::string windowValue;
  DWORD timeoutMs = 120000;
  std::string extra;
};

Options g_options;
HWND g_edit = nullptr;
WNDPROC g_editProcedure = nullptr;
long g_queries = 0;
bool g_doneSeen = false;

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fflush(stdout);
}

LRESULT CALLBACK EditProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT) {
    const char* text = reinterpret_cast<const char*>(lParam);
    Print("text %s\n", text != nullptr ? text : "");
  }
  return CallWindowProcA(g_editProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kSetupProgress:
      Print("progress %ld -> %ld\n", static_cast<long>(wParam), g_options.width);
      return g_options.width;
    case kSetupQueryStop: {
      ++g_queries;
      if (g_options.delayMs > 0) Sleep(g_options.delayMs);
      LRESULT reply = g_options.stopAfter > 0 && g_queries >= g_options.stopAfter ? 1 : 0;
      Print("query-stop %ld -> %ld\n", g_queries, static_cast<long>(reply));
      return reply;
    }
    case kSetupDone:
      g_doneSeen = true;
      Print("done %ld\n", static_cast<long>(wParam));
      return 0;
    case WM_SIZE:
      if (g_edit != nullptr) MoveWindow(g_edit, 4, 4, LOWORD(lParam) - 8, 24, TRUE);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// An argument for the program's command line, quoted when it holds blanks.
void AppendArgument(std::string* line, const char* argument) {
  *line += ' ';
  if (argument[0] != '\0' && std::strpbrk(argument, " \t") == nullptr) {
    *line += argument;
    return;
  }
  *line += '"';
  for (const char* p = argument; *p != '\0'; ++p) {
    if (*p == '"') *line += '"';  // a doubled quote stands for one
    *line += *p;
  }
  *line += '"';
}

std::string DefaultExe() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "Zarpex32.exe";
  char* slash = std::strrchr(path, '\\');
  if (slash != nullptr) slash[1] = '\0';
  return std::string(path) + "Zarpex32.exe";
}

bool ParseArguments(int argc, char** argv) {
  g_options.exe = DefaultExe();
  int i = 1;
  for (; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "setuphost: %s needs a value\n", arg.c_str());
        std::exit(3);
      }
      return argv[++i];
    };
    if (arg == "--") {
      ++i;
      break;
    } else if (arg == "--exe") {
      g_options.exe = value();
    } else if (arg == "--id") {
      g_options.controlId = std::atoi(value());
    } else if (arg == "--width") {
      g_options.width = std::atol(value());
    } else if (arg == "--stop-after") {
      g_options.stopAfter = std::atol(value());
    } else if (arg == "--delay-ms") {
      g_options.delayMs = static_cast<DWORD>(std::atol(value()));
    } else if (arg == "--control") {
      g_options.haveControlText = true;
      g_options.controlText = value();
    } else if (arg == "--window") {
      g_options.overrideWindow = true;
      g_options.windowValue = value();
    } else if (arg == "--no-window") {
      g_options.passWindow = false;
    } else if (arg == "--timeout") {
      g_options.timeoutMs = static_cast<DWORD>(std::atol(value())) * 1000;
    } else if (arg.compare(0, 2, "--") == 0) {
      std::fprintf(stderr, "setuphost: unknown option %s\n", arg.c_str());
      return false;
    } else {
      break;
    }
  }
  for (; i < argc; ++i) AppendArgument(&g_options.extra, argv[i]);
  return true;
}

void DispatchPending() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// One line on stderr naming what failed, then the exit code 3.
int Failed(const char* what) {
  std::fprintf(stderr, "setuphost: %s (error %lu)\n", what, static_cast<unsigned long>(GetLastError()));
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (!ParseArguments(argc, argv)) return 3;

  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = HostProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = "ZarpexSetupHost";
  if (!RegisterClassA(&windowClass)) return Failed("cannot register its window class");
  HWND window = CreateWindowA("ZarpexSetupHost", "Setup", WS_OVERLAPPEDWINDOW, 0, 0, 480, 80, nullptr, nullptr,
                              instance, nullptr);
  if (window == nullptr) return Failed("cannot create its window (under Wine: no X display for the prefix?)");
  g_edit = CreateWindowA("EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 4, 4, 460, 24, window,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(g_options.controlId)), instance, nullptr);
  if (g_edit == nullptr) return Failed("cannot create its edit control");
  SendMessageA(g_edit, EM_LIMITTEXT, 0, 0);  // no limit below the system's
  if (g_options.haveControlText) SetWindowTextA(g_edit, g_options.controlText.c_str());
  g_editProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProcedure)));
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);

  std::string line = "\"" + g_options.exe + "\" @@SETUP_CALL";
  if (g_options.passWindow) {
    char handles[64];
    if (g_options.overrideWindow) {
      std::snprintf(handles, sizeof handles, " -H%s -I%d", g_options.windowValue.c_str(), g_options.controlId);
    } else {
      std::snprintf(handles, sizeof handles, " -H%lu -I%d",
                    static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)), g_options.controlId);
    }
    line += handles;
  }
  line += g_options.extra;
  Print("command %s\n", line.c_str());

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string mutableLine = line;
  if (!CreateProcessA(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return Failed("cannot start the program");
  }
  CloseHandle(process.hThread);

  DWORD started = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - started;
    if (elapsed >= g_options.timeoutMs) {
      TerminateProcess(process.hProcess, 99);
      Print("timeout\n");
      CloseHandle(process.hProcess);
      std::fprintf(stderr, "setuphost: the program did not end within %lu seconds\n",
                   static_cast<unsigned long>(g_options.timeoutMs / 1000));
      return 3;
    }
    DWORD wait = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, g_options.timeoutMs - elapsed, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) break;
    DispatchPending();
  }
  // UM_SETUP_DONE was posted before the program ended: it waits in this thread's queue.
  DispatchPending();

  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  Print("exit %ld\n", static_cast<long>(exitCode));
  // The window goes with the process. Destroyed here, a shown window would first be withdrawn from
  // the X display, which without a window manager (Xvfb) means a two-second wait for nothing.
  return exitCode == 0 ? 0 : 1;
}
