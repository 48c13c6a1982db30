// Mode decision and the interactive command line.
#include "discovery/command_line.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/locator.h"
#include "discovery/path_utils.h"
#include "discovery/setup_call.h"
#include "discovery/tokenizer.h"
#include "engine/job_log.h"

const char* SetupCallOptionsText(const char* commandLine) {
  if (commandLine == nullptr) return nullptr;
  size_t markerLength = std::strlen(kSetupCallMarker);
  if (std::strncmp(commandLine, kSetupCallMarker, markerLength) != 0) return nullptr;
  // The rest of the word, whatever it is, then every blank (tabs stay).
  const char* p = std::strchr(commandLine, ' ');
  if (p == nullptr) return commandLine + std::strlen(commandLine);
  while (*p == ' ') ++p;
  return p;
}

void ParseInteractiveCommandLine(const char* text) {
  if (text == nullptr || text[0] == '\0') return;
  JobSettings& settings = g_jobSettings;
  char token[kTokenSize];
  char value[kTokenSize];
  const char* p = SkipChars(text, kCommandSeparators);
  while (*p != '\0') {
    const char* next = NextToken(token, sizeof token, p, kCommandSeparators);
    if (next == p) break;  // no progress: nothing more to read
    p = next;
    if (token[0] == '\0') continue;
    if (std::strchr(kOptionPrefixes, token[0]) != nullptr) {
      char letter = token[1];
      p = NextToken(value, sizeof value, p, kCommandSeparators);
      if (value[0] == '\0') continue;
      if (letter == 'a') {
        CopyBounded(settings.archiveName, kNameChars, value);
      } else if (letter == 'd') {
        CopyBounded(settings.targetDir, kPathChars, value);
        settings.targetGiven = 1;
      } else if (letter == 'l') {
        SetJobLogPath(value);
      }
      continue;
    }
    if (settings.sourcePath[0] == '\0') CopyBounded(settings.sourcePath, kPathChars, token);
  }
}

int PrepareRun(const char* commandLine, int* exitCode) {
  const char* options = SetupCallOptionsText(commandLine);
  if (options != nullptr) {
    *exitCode = RunSetupCall(options);
    return 0;
  }
  ParseInteractiveCommandLine(commandLine);
  DeriveTargetDir(1);
  *exitCode = 0;
  return 1;
}
