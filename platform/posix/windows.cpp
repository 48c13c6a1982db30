// Windows and threads on a POSIX host. Sent and posted messages go to the handler a test installs
// (posted ones at once, flagged as posted; there is no queue, so there is never a message to pump).
// Dialog items are handles made up per dialog and control number; window texts are kept per handle.
// Threads are pthreads; suspending, resuming and ending a thread by force are not offered (-1/0).
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace {

std::atomic<MessageHandler> g_handler{nullptr};

struct DialogItem {
  int used;
  WindowHandle dialog;
  int controlId;
};
DialogItem g_items[128];

struct WindowText {
  int used;
  WindowHandle window;
  char text[1024];  // display texts, cut to this size
};
WindowText g_texts[128];
std::mutex g_windowLock;

WindowText* TextOf(WindowHandle window, int add) {
  for (WindowText& entry : g_texts)
    if (entry.used && entry.window == window) return &entry;
  if (!add) return nullptr;
  for (WindowText& entry : g_texts)
    if (!entry.used) {
      entry.used = 1;
      entry.window = window;
      entry.text[0] = '\0';
      return &entry;
    }
  return nullptr;
}

// Each thread record is held by the handle and by the running thread; the last one frees it.
struct ThreadRecord {
  std::atomic<int> references;
  pthread_t thread;
  ThreadProcedure procedure;
  void* parameter;
};
ThreadRecord g_threads[32];
std::atomic<uint32_t> g_nextThreadId{1};

void Release(ThreadRecord* record) { record->references.fetch_sub(1); }

void* ThreadEntry(void* recordAddress) {
  ThreadRecord* record = static_cast<ThreadRecord*>(recordAddress);
  record->procedure(record->parameter);
  Release(record);
  return nullptr;
}

}  // namespace

void OsSetMessageHandlerForTests(MessageHandler handler) { g_handler.store(handler); }

MessageResult OsSendMessage(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  MessageHandler handler = g_handler.load();
  return handler != nullptr ? handler(window, message, wParam, lParam, 0) : 0;
}

int OsPostMessage(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  MessageHandler handler = g_handler.load();
  if (handler != nullptr) handler(window, message, wParam, lParam, 1);
  return 1;
}

WindowHandle OsGetDialogItem(WindowHandle dialog, int controlId) {
  if (dialog == nullptr) return nullptr;
  std::lock_guard<std::mutex> hold(g_windowLock);
  for (DialogItem& item : g_items)
    if (item.used && item.dialog == dialog && item.controlId == controlId) return &item;
  for (DialogItem& item : g_items)
    if (!item.used) {
      item.used = 1;
      item.dialog = dialog;
      item.controlId = controlId;
      return &item;
    }
  return nullptr;
}

int OsSetWindowText(WindowHandle window, const char* text) {
  if (window == nullptr) return 0;
  std::lock_guard<std::mutex> hold(g_windowLock);
  WindowText* entry = TextOf(window, 1);
  if (entry == nullptr) return 0;
  const char* source = text != nullptr ? text : "";
  size_t length = strnlen(source, sizeof entry->text - 1);
  memcpy(entry->text, source, length);
  entry->text[length] = '\0';
  return 1;
}

int OsSetDialogItemText(WindowHandle dialog, int controlId, const char* text) {
  WindowHandle item = OsGetDialogItem(dialog, controlId);
  return item != nullptr ? OsSetWindowText(item, text) : 0;
}

int OsGetWindowText(WindowHandle window, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  std::lock_guard<std::mutex> hold(g_windowLock);
  WindowText* entry = TextOf(window, 0);
  if (entry == nullptr) return 0;
  size_t length = strnlen(entry->text, static_cast<size_t>(size) - 1);
  memcpy(buffer, entry->text, length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}

void OsShowWindow(WindowHandle) {}
void OsRepaintWindow(WindowHandle) {}
void OsUpdateWindow(WindowHandle) {}

int OsPumpOneMessage(WindowHandle) { return 0; }

ThreadHandle OsCreateThread(ThreadProcedure procedure, void* parameter, uint32_t* threadId) {
  for (ThreadRecord& record : g_threads) {
    int expected = 0;
    if (!record.references.compare_exchange_strong(expected, 2)) continue;
    record.procedure = procedure;
    record.parameter = parameter;
    if (pthread_create(&record.thread, nullptr, ThreadEntry, &record) != 0) {
      record.references.store(0);
      return nullptr;
    }
    if (threadId != nullptr) *threadId = g_nextThreadId.fetch_add(1);
    return &record;
  }
  return nullptr;
}

int32_t OsSuspendThread(ThreadHandle) { return -1; }
int32_t OsResumeThread(ThreadHandle) { return -1; }
int OsTerminateThread(ThreadHandle, uint32_t) { return 0; }

void OsCloseThreadHandle(ThreadHandle thread) {
  if (thread == nullptr) return;
  ThreadRecord* record = static_cast<ThreadRecord*>(thread);
  pthread_detach(record->thread);
  Release(record);
}

namespace {
std::atomic<uint32_t> g_sleepGranularity{0};
}  // namespace

void OsSetSleepGranularityForTests(uint32_t milliseconds) { g_sleepGranularity = milliseconds; }

void OsSleep(uint32_t milliseconds) {
  // A test may make every sleep last whole ticks of a coarser clock, as Windows' 15.6 ms timer does.
  const uint32_t granularity = g_sleepGranularity.load();
  if (granularity > 0 && milliseconds > 0) milliseconds = (milliseconds + granularity - 1) / granularity * granularity;
  struct timespec delay;
  delay.tv_sec = milliseconds / 1000;
  delay.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000;
  while (nanosleep(&delay, &delay) != 0) {
  }
}

uint32_t OsTickCount() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}
