// The program's message boxes, their texts from the module's string table.
#include <windows.h>

#include <cstdarg>
#include <cstring>

#include "ui/message_texts.h"

namespace {
constexpr int kTitleChars = 256;
constexpr int kTextChars = 1024;  // also the most that wvsprintfA writes
}  // namespace

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

