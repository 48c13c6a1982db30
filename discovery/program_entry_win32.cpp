// Entry point of Zarpex32.exe: job settings, mode decision, then setup-call mode or the property sheet.
#include <windows.h>

#include "discovery/command_line.h"
#include "discovery/job_settings.h"
#include "ui/property_sheet.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  InitJobSettings(instance);
  int exitCode = 0;
  if (PrepareRun(commandLine != nullptr ? commandLine : "", &exitCode)) ShowPropertySheet(nullptr);
  return exitCode;
}
