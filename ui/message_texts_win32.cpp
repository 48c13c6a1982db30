// The string table of the program's module and its message boxes.
#include <windows.h>

#include <cstdarg>
#include <cstring>

#include "discovery/job_settings.h"
#include "ui/message_texts.h"

namespace {
constexpr int kTitleChars = 256;
constexpr int kTextChars = 1024;  // also the most that wvsprintfA writes
}  // namespace

int LoadText(int id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  const int length = LoadStringA(static_cast<HINSTANCE>(g_jobSettings.instance), static_cast<UINT>(id), buffer, size);
  if (length <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

int ShowMessage(WindowHandle owner, int id, unsigned flags, ...) {
  char title[kTitleChars];
  LoadText(TextTitle, title, kTitleChars);
  char format[kTextChars];
  LoadText(id, format, kTextChars);
  char text[kTextChars];
  va_list arguments;
  va_start(arguments, flags);
  wvsprintfA(text, format, arguments);
  va_end(arguments);
  text[kTextChars - 1] = '\0';
  return MessageBoxA(static_cast<HWND>(owner), text, title, flags);
}

