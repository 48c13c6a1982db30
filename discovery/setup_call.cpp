// Setup-call mode: options from the command line and the setup program's control, the job on the
// main thread, the outcome posted to the setup program's window.
#include "discovery/setup_call.h"

#include <cstdlib>
#include <cstring>

#include "discovery/command_line.h"
#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/path_utils.h"
#include "discovery/tokenizer.h"
#include "engine/job_log.h"
#include "engine/progress_messages.h"
#include "engine/unpack_job.h"

void ParseSetupCallOptions(const char* text) {
  if (text == nullptr) return;
  JobSettings& settings = g_jobSettings;
  char token[kTokenSize];
  char value[kTokenSize];
  const char* p = text;
  while (*p != '\0') {
    const char* next = NextToken(token, sizeof token, p, kCommandSeparators);
    if (next == p) break;  // no progress: nothing more to read
    p = next;
    if (token[0] == '\0' || std::strchr(kOptionPrefixes, token[0]) == nullptr) continue;
    char letter = token[1];
    if (letter != '\0' && token[2] != '\0') {
      CopyToSize(value, sizeof value, token + 2);  // attached: -H4711
    } else {
      p = NextToken(value, sizeof value, p, kCommandSeparators);
      if (value[0] == '\0') continue;
    }
    switch (letter) {
      case 'H': case 'h':
        settings.parentWindow = reinterpret_cast<WindowHandle>(static_cast<intptr_t>(std::strtol(value, nullptr, 10)));
        break;
      case 'I': case 'i':
        settings.parentControlId = static_cast<int32_t>(std::strtol(value, nullptr, 10));
        break;
      case 'P': case 'p':
        CopyBounded(settings.installRoot, kPathChars, value);
        break;
      case 'Q': case 'q':
        CopyBounded(settings.sourcePath, kPathChars, value);
        break;
      case 'Z': case 'z':
        CopyBounded(settings.targetDir, kPathChars, value);
        settings.targetGiven = 1;
        break;
      case 'L': case 'l':
        SetJobLogPath(value);
        break;
      default:  // S (server), V (volume) and unknown letters: the value is consumed and not used
        break;
    }
  }
}

namespace {

// The rest of the options from the setup program's control; 0 when they cannot be had.
int ReadControlOptions() {
  JobSettings& settings = g_jobSettings;
  WindowHandle control = OsGetDialogItem(settings.parentWindow, settings.parentControlId);
  settings.parentControl = control;
  if (control == nullptr) {
    LogRunEnded("The setup program's window has no control with the id given by -I.");
    return 0;
  }
  char text[kControlTextBuffer];
  text[0] = '\0';
  OsGetWindowText(control, text, sizeof text);
  text[sizeof text - 1] = '\0';
  OsSetWindowText(control, "");
  OsShowWindow(control);
  OsUpdateWindow(control);
  OsPumpOneMessage(control);
  if (text[0] == '\0') {
    LogRunEnded("The setup program's control is empty: no packed file (-Q) or target directory (-Z).");
    return 0;
  }
  ParseSetupCallOptions(text);
  if (!OpenJobLog()) return 0;  // the control text named a log that cannot be opened
  LogLine("options from the setup program's control: %s", text);
  if (settings.sourcePath[0] == '\0') {
    // The program's own file, which then has to carry the packed file.
    CopyBounded(settings.sourcePath, kPathChars, settings.modulePath);
    if (settings.sourcePath[0] == '\0') {
      LogRunEnded("No packed file is given (-Q), and the program's own file is unknown.");
      return 0;
    }
  }
  if (settings.targetDir[0] == '\0') {
    LogRunEnded("No target directory is given (-Z).");
    return 0;
  }
  return 1;
}

int RunSetupCallSteps(const char* optionsText) {
  JobSettings& settings = g_jobSettings;
  settings.setupCall = 1;
  ParseSetupCallOptions(optionsText);
  // A log that was asked for and cannot be opened ends the run before anything is changed.
  if (!OpenJobLog()) return -1;
  LogRunStart("setup call", optionsText);
  if (settings.sourcePath[0] == '\0' || settings.targetDir[0] == '\0') {
    if (!ReadControlOptions()) return -1;
  }

  settings.parentPathWidth =
      static_cast<int32_t>(OsSendMessage(settings.parentWindow, UM_SETUP_PROGRESS, 0, 0));
  OsUpdateWindow(settings.parentWindow);

  DeriveTargetDir(0);

  g_workerState.stopRequested = 0;
  g_workerState.progressWindow = nullptr;
  int succeeded = RunUnpackJob();

  OsPostMessage(settings.parentWindow, UM_SETUP_DONE, settings.error, 0);
  // A job stopped by the setup program records no error code but has not succeeded either.
  const int exitCode = succeeded == 1 && settings.error == 0 ? 0 : -1;
  LogSetupOutcome(settings.error, exitCode);
  return exitCode;
}

}  // namespace

int RunSetupCall(const char* optionsText) {
  const int exitCode = RunSetupCallSteps(optionsText);
  CloseJobLog();
  return exitCode;
}
