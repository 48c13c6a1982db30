// The German string table in code page 1252, LoadText's bounds, and under Wine real message boxes
// read back from a second thread, and the message pump (OsPumpOneMessage, the one the program calls).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "discovery/job_settings.h"
#include "ui/message_texts.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Expected {
  int id;
  const char* text;
};

// The texts as the program shows them, bytes of code page 1252 (\xE4 a-umlaut, \xF6 o-umlaut,
// \xDC U-umlaut, \xBB and \xAB the guillemets).
const Expected kExpected[] = {
    {4000, "Brannix Archive System (BAS)"},
    {4001, "&\xDC" "ber %s"},
    {4500, "Achtung!\n\nEs ist keine Quelldatei angegeben."},
    {4501, "Achtung!\n\nEs ist kein Zielverzeichnis angegeben."},
    {4502, "Achtung!\n\nDie Quelldatei kann nicht ge\xF6" "ffnet werden."},
    {4503, "Achtung!\n\nDas existierende Zielverzeichnis kann nicht umbennant werden!"},
    {4504, "Achtung!\n\nDer Archive Start-Pfad kann nicht ermittelt werden."},
    {4505, "Achtung!\n\nDie Quelldatei ist entwerder defekt oder\nkeine durch Zarpin32 erstellte Datei."},
    {4506,
     "Achtung!\n\nDie Kapazit\xE4t auf dem ausgew\xE4hlten Laufwerk ist nicht ausreichend.\n"
     "Es werden mindestens %ld.%ld MByte freier Speicherplatz ben\xF6tigt."},
    {4507, "Achtung!\n\nDie folgende Zieldatei kann nicht ge\xF6" "ffnet werden:\n\n%s"},
    {4508, "Achtung!\n\nLaufwerk/Volume \xBB%s\xAB nicht bereit."},
    {4509, "Achtung!\n\nDas Zielverzeichnis wird von einer anderen Installation belegt!\n"
           "Bitte versuchen Sie es sp\xE4ter noch einmal."},
    {4600, "Soll der Entpackvorgang wirklich beendet werden?"},
    {4601, "Achtung!\n\nDas Zielverzeichnis existiert bereits!\nSoll es zur Sicherheit umbenannt werden?"},
    {4700, "Der Entpackvorgang wurde erfolgreich abgeschlossen\nund die entpackten Archives im BAS eingerichtet!"},
    {5000, "&Entpacken"},
    {5001, "Beenden"},
    {5002, "Abbrechen"},
    {5012, "Programme (*.exe)|*.exe|Alle Dateien (*.*)|*.*||"},
    {5013, "Backupverzeichnis l\xF6schen"},
    {5014, "Warten auf andere Installation"},
};

class MessageTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    g_jobSettings.instance = GetModuleHandleA(nullptr);
#endif
  }
};

TEST_F(MessageTextsTest, EveryTextHasItsCodePage1252Bytes) {
  for (const Expected& expected : kExpected) {
    char buffer[1024];
    std::memset(buffer, 'x', sizeof buffer);
    const int length = LoadText(expected.id, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, expected.text) << expected.id;
    EXPECT_EQ(length, static_cast<int>(std::strlen(expected.text))) << expected.id;
  }
  char text[64];
  LoadText(TextSourceNotOpened, text, sizeof text);
  EXPECT_NE(std::strstr(text, "ge\xF6" "ffnet"), nullptr);
}

TEST_F(MessageTextsTest, LoadTextEmptiesTheBufferAndKeepsToItsSize) {
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(LoadText(4999, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "") << "a missing string leaves the buffer empty";

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(LoadText(TextTitle, buffer, 6), 5);
  EXPECT_STREQ(buffer, "Brann");
  EXPECT_EQ(buffer[6], 'x') << "nothing written behind the given size";
  EXPECT_EQ(LoadText(TextTitle, buffer, 0), 0);
  EXPECT_EQ(buffer[0], 'B') << "size 0 writes nothing";
}

#ifdef _WIN32

// Finds the message box from a second thread, reads its title and text, and presses a button.
// (Under Xvfb without a window manager Wine takes about two seconds to close each box.)
class BoxReader {
 public:
  explicit BoxReader(int button) : button_(button), thread_([this] { Run(); }) {}
  ~BoxReader() {
    if (thread_.joinable()) thread_.join();
  }
  void Join() { thread_.join(); }
  std::string title, text;
  bool found = false;
  bool hasButton = false;

 private:
  void Run() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    HWND box = nullptr;
    while (box == nullptr && std::chrono::steady_clock::now() < end) {
      box = FindWindowA("#32770", "Brannix Archive System (BAS)");
      if (box == nullptr) Sleep(10);
    }
    if (box == nullptr) return;
    found = true;
    char buffer[2048] = "";
    GetWindowTextA(box, buffer, sizeof buffer);
    title = buffer;
    buffer[0] = '\0';
    GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
    text = buffer;
    // The button's click as the box receives it (BM_CLICK across threads takes seconds under Wine).
    HWND button = GetDlgItem(box, button_);
    hasButton = button != nullptr;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  int button_;
  std::thread thread_;
};

TEST_F(MessageTextsTest, ShowMessageShowsTheFormattedTextUnderTheTitle) {
  {
    // A path with percent signs is an argument, never a format.
    BoxReader reader(IDRETRY);
    const int result = ShowMessage(nullptr, TextOutputFailed, MB_ABORTRETRYIGNORE | MB_ICONHAND, "C:\\100%s\\x%d.txt");
    reader.Join();
    ASSERT_TRUE(reader.found);
    EXPECT_TRUE(reader.hasButton) << "an Abort, Retry, Ignore box";
    EXPECT_EQ(result, IDRETRY);
    EXPECT_EQ(reader.title, "Brannix Archive System (BAS)");
    EXPECT_EQ(reader.text, "Achtung!\n\nDie folgende Zieldatei kann nicht ge\xF6" "ffnet werden:\n\nC:\\100%s\\x%d.txt");
  }
  {
    BoxReader reader(IDOK);
    const int result = ShowMessage(nullptr, TextNotEnoughSpace, MB_OK | MB_ICONHAND, 12L, 3L);
    reader.Join();
    ASSERT_TRUE(reader.found);
    EXPECT_EQ(result, IDOK);
    EXPECT_NE(reader.text.find("mindestens 12.3 MByte freier Speicherplatz ben\xF6tigt."), std::string::npos)
        << reader.text;
  }
  {
    BoxReader reader(IDCANCEL);
    const int result = ShowMessage(nullptr, TextTargetExists, MB_YESNOCANCEL | MB_ICONQUESTION);
    reader.Join();
    ASSERT_TRUE(reader.found);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(reader.text, "Achtung!\n\nDas Zielverzeichnis existiert bereits!\nSoll es zur Sicherheit umbenannt werden?");
  }
  {
    BoxReader reader(IDOK);
    ShowMessage(nullptr, TextDriveNotReady, MB_OK | MB_ICONHAND, "\\\\SRV\\SYS\\");
    reader.Join();
    EXPECT_EQ(reader.text, "Achtung!\n\nLaufwerk/Volume \xBB\\\\SRV\\SYS\\\xAB nicht bereit.");
  }
}

std::atomic<int> g_dispatched{0};
LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 7) {
    g_dispatched.fetch_add(static_cast<int>(wParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int Waiting(HWND window) {
  // Count by taking them all out (the test is done with them afterwards).
  int n = 0;
  MSG message;
  while (PeekMessageA(&message, window, WM_USER + 7, WM_USER + 7, PM_REMOVE)) ++n;
  return n;
}

TEST_F(MessageTextsTest, OsPumpOneMessageDispatchesAtMostOne) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = CountingProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ZPumpTestWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "ZPumpTestWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  HWND child = CreateWindowExA(0, "ZPumpTestWindow", "", WS_CHILD, 0, 0, 10, 10, window, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  HWND other = CreateWindowExA(0, "ZPumpTestWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  MSG drain;
  while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&drain);
  g_dispatched = 0;

  EXPECT_EQ(OsPumpOneMessage(window), 0) << "nothing waiting";
  EXPECT_EQ(g_dispatched.load(), 0);

  for (int i = 0; i < 3; ++i) PostMessageA(window, WM_USER + 7, 1, 0);
  EXPECT_EQ(OsPumpOneMessage(window), 1);
  EXPECT_EQ(g_dispatched.load(), 1) << "exactly one of three";
  EXPECT_EQ(Waiting(window), 2);

  g_dispatched = 0;
  PostMessageA(other, WM_USER + 7, 100, 0);
  EXPECT_EQ(OsPumpOneMessage(window), 0) << "another window's message stays";
  EXPECT_EQ(g_dispatched.load(), 0);
  EXPECT_EQ(Waiting(other), 1);

  PostMessageA(child, WM_USER + 7, 10, 0);
  EXPECT_EQ(OsPumpOneMessage(window), 1) << "a child's message counts as the window's";
  EXPECT_EQ(g_dispatched.load(), 10);

  DestroyWindow(other);
  DestroyWindow(window);
}

#else

TEST_F(MessageTextsTest, NativeBuildShowsNoBoxes) {
  EXPECT_EQ(ShowMessage(nullptr, TextTitle, 0), 0);
}

#endif

}  // namespace
