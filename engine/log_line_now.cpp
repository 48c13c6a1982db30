#include "engine/log_line_now.h"

#include <cstdarg>
#include <cstdio>

#include "engine/job_log.h"

void LogLineNow(const char* format, ...) {
  if (!JobLogOpen()) return;
  char line[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  LogLine("%s", line);
  FlushJobLog();
}
