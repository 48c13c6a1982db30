// Entry point of Zarpex32.exe: job settings, mode decision, then setup-call mode or the property sheet.
#include <windows.h>

#include "discovery/command_line.h"
#include "discovery/job_settings.h"
#include "engine/job_log.h"
#include "ui/message_texts.h"
#include "ui/property_sheet.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  InitJobSettings(instance);
  int exitCode = 0;
  if (PrepareRun(commandLine != nullptr ? commandLine : "", &exitCode)) {
    // A log that was asked for and cannot be opened: said so, and nothing is done.
    if (!OpenJobLog()) {
      ShowMessage(nullptr, TextLogNotOpened, MB_OK | MB_ICONHAND, JobLogPath());
      return -1;
    }
    LogRunStart("interactive", commandLine);
    ShowPropertySheet(nullptr);
  }
  CloseJobLog();
  return exitCode;
}
