// Window messages and threads.
#include <windows.h>

#include <atomic>

#include "platform/platform_internal.h"

namespace {

HWND AsWindow(WindowHandle window) { return static_cast<HWND>(window); }

// A thread procedure of this system is cdecl; the system calls stdcall. A start slot carries the
// procedure and its parameter to the new thread, which frees the slot at once.
struct ThreadStart {
  std::atomic<int> busy;
  ThreadProcedure procedure;
  void* parameter;
};
ThreadStart g_starts[16];

DWORD WINAPI ThreadEntry(LPVOID slotAddress) {
  ThreadStart* slot = static_cast<ThreadStart*>(slotAddress);
  ThreadProcedure procedure = slot->procedure;
  void* parameter = slot->parameter;
  slot->busy.store(0);
  return procedure(parameter);
}

}  // namespace

MessageResult OsSendMessage(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  return SendMessageA(AsWindow(window), message, wParam, lParam);
}

int OsPostMessage(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  return PostMessageA(AsWindow(window), message, wParam, lParam) ? 1 : 0;
}

WindowHandle OsGetDialogItem(WindowHandle dialog, int controlId) { return GetDlgItem(AsWindow(dialog), controlId); }

int OsSetWindowText(WindowHandle window, const char* text) { return SetWindowTextA(AsWindow(window), text) ? 1 : 0; }

int OsSetDialogItemText(WindowHandle dialog, int controlId, const char* text) {
  return SetDlgItemTextA(AsWindow(dialog), controlId, text) ? 1 : 0;
}

int OsGetWindowText(WindowHandle window, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  // WM_GETTEXT, not GetWindowTextA: for a control of another process (the setup program's) the
  // latter gives only the caption stored at creation, never the text the control holds now.
  LRESULT length = SendMessageA(AsWindow(window), WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer));
  buffer[size - 1] = '\0';
  return static_cast<int>(length);
}

void OsShowWindow(WindowHandle window) { ShowWindow(AsWindow(window), SW_SHOW); }

void OsRepaintWindow(WindowHandle window) {
  InvalidateRect(AsWindow(window), nullptr, TRUE);
  UpdateWindow(AsWindow(window));
}

void OsUpdateWindow(WindowHandle window) { UpdateWindow(AsWindow(window)); }

int OsPumpOneMessage(WindowHandle window) {
  MSG message;
  if (!PeekMessageA(&message, AsWindow(window), 0, 0, PM_REMOVE)) return 0;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return 1;
}

ThreadHandle OsCreateThread(ThreadProcedure procedure, void* parameter, uint32_t* threadId) {
  for (ThreadStart& slot : g_starts) {
    int expected = 0;
    if (!slot.busy.compare_exchange_strong(expected, 1)) continue;
    slot.procedure = procedure;
    slot.parameter = parameter;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ThreadEntry, &slot, 0, &id);
    if (thread == nullptr) {
      slot.busy.store(0);
      return nullptr;
    }
    if (threadId != nullptr) *threadId = id;
    return thread;
  }
  return nullptr;  // more threads starting at once than slots
}

int32_t OsSuspendThread(ThreadHandle thread) { return static_cast<int32_t>(SuspendThread(thread)); }
int32_t OsResumeThread(ThreadHandle thread) { return static_cast<int32_t>(ResumeThread(thread)); }
int OsTerminateThread(ThreadHandle thread, uint32_t exitCode) { return TerminateThread(thread, exitCode) ? 1 : 0; }

void OsCloseThreadHandle(ThreadHandle thread) {
  if (thread != nullptr) CloseHandle(thread);
}

void OsSleep(uint32_t milliseconds) { Sleep(milliseconds); }

uint32_t OsTickCount() { return GetTickCount(); }
