// Fuzzer: arbitrary text as the interactive command line, as the setup-call options, and as the
// setup program's control text, read through the tokenizer by the real parsers and by the whole
// start (PrepareRun, which goes on into the locator or the setup-call job; no drive is mapped, so
// every file the text names is out of reach). The tokenizer is checked against a plain model with
// token buffers of any size; after each parse every text field of the job settings must end within
// its buffer and its bound, and a parser must leave every field it does not own as it was.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "discovery/command_line.h"
#include "discovery/job_settings.h"
#include "discovery/setup_call.h"
#include "discovery/tokenizer.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

// The tokenizer as described: plain or quoted tokens, "" inside quotes for one quote character.
size_t ModelToken(const std::string& text, size_t at, std::string* token) {
  token->clear();
  if (at < text.size() && text[at] == '"') {
    ++at;
    while (at < text.size()) {
      if (text[at] == '"') {
        if (at + 1 < text.size() && text[at + 1] == '"') {
          token->push_back('"');
          at += 2;
          continue;
        }
        ++at;
        break;
      }
      token->push_back(text[at++]);
    }
  } else {
    while (at < text.size() && !IsSeparator(text[at])) token->push_back(text[at++]);
  }
  while (at < text.size() && IsSeparator(text[at])) ++at;
  return at;
}

void CheckTokenizer(const std::string& text, size_t dstSize) {
  std::unique_ptr<char[]> dst(new char[dstSize]);
  size_t at = 0;
  for (int n = 0; n < 2000; ++n) {
    std::string expected;
    const size_t next = ModelToken(text, at, &expected);
    const char* got = NextToken(dst.get(), dstSize, text.c_str() + at, kCommandSeparators);
    FUZZ_EXPECT(got == text.c_str() + next);
    FUZZ_EXPECT(expected.substr(0, dstSize - 1) == dst.get());
    if (next == at || next >= text.size()) return;
    at = next;
  }
}

void ExpectBounded(const char* field, size_t bound) { FUZZ_EXPECT(std::memchr(field, '\0', bound + 1) != nullptr); }

void ExpectSettingsBounded() {
  const JobSettings& s = g_jobSettings;
  ExpectBounded(s.modulePath, kPathChars);
  ExpectBounded(s.archiveName, kNameChars);
  ExpectBounded(s.archiveRoot, kPathChars);
  ExpectBounded(s.sourcePath, kPathChars);
  ExpectBounded(s.targetDir, kPathChars);
  ExpectBounded(s.installRoot, kPathChars);
  ExpectBounded(s.backupDir, kPathChars);
  ExpectBounded(s.archiveSubdir, kNameChars);
}

// Settings as a parser may find them: every text field full to its bound, or the owned ones empty.
void FillSettings(bool ownedEmpty) {
  InitJobSettings(nullptr);
  JobSettings& s = g_jobSettings;
  auto fill = [](char* field, size_t bound, char c) {
    std::memset(field, c, bound);
    field[bound] = '\0';
  };
  fill(s.modulePath, kPathChars, 'M');
  fill(s.archiveName, ownedEmpty ? 0 : kNameChars, 'N');
  fill(s.archiveRoot, kPathChars, 'R');
  fill(s.sourcePath, ownedEmpty ? 0 : kPathChars, 'S');
  fill(s.targetDir, ownedEmpty ? 0 : kPathChars, 'T');
  fill(s.installRoot, ownedEmpty ? 0 : kPathChars, 'I');
  fill(s.backupDir, kPathChars, 'B');
  fill(s.archiveSubdir, kNameChars, 'D');
  s.parentPathWidth = 77;
  s.error = 0xE5;
}

MessageResult IgnoreMessages(WindowHandle, uint32_t, MessageWParam, MessageLParam, int) { return 0; }

void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  OsSetMessageHandlerForTests(IgnoreMessages);
  // The controls that the seeds' -H and -I name keep their places in the seam's table of dialog items.
  for (intptr_t window = 1; window <= 8; ++window)
    for (int id = 0; id < 8; ++id) OsGetDialogItem(reinterpret_cast<WindowHandle>(window), id);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  zfuzz::Input input(data, size);
  const uint8_t mode = input.Byte();
  const uint8_t tokenSize = input.Byte();
  const std::string line = input.Text(4096);
  const std::string control = input.Text(4096);

  CheckTokenizer(line, tokenSize == 0 ? kTokenSize : tokenSize);

  switch (mode % 4) {
    case 0: {  // the interactive line
      FillSettings((mode & 0x80) != 0);
      JobSettings expected = g_jobSettings;
      ParseInteractiveCommandLine(line.c_str());
      ExpectSettingsBounded();
      std::memcpy(expected.archiveName, g_jobSettings.archiveName, kNameBuffer);
      std::memcpy(expected.sourcePath, g_jobSettings.sourcePath, kPathBuffer);
      std::memcpy(expected.targetDir, g_jobSettings.targetDir, kPathBuffer);
      expected.targetGiven = g_jobSettings.targetGiven;
      FUZZ_EXPECT(std::memcmp(&expected, &g_jobSettings, sizeof expected) == 0);
      break;
    }
    case 1: {  // setup-call options, then the control text over them as the setup call reads it
      FillSettings((mode & 0x80) != 0);
      JobSettings expected = g_jobSettings;
      ParseSetupCallOptions(line.c_str());
      ExpectSettingsBounded();
      ParseSetupCallOptions(control.substr(0, kControlTextBuffer - 1).c_str());
      ExpectSettingsBounded();
      std::memcpy(expected.installRoot, g_jobSettings.installRoot, kPathBuffer);
      std::memcpy(expected.sourcePath, g_jobSettings.sourcePath, kPathBuffer);
      std::memcpy(expected.targetDir, g_jobSettings.targetDir, kPathBuffer);
      expected.targetGiven = g_jobSettings.targetGiven;
      expected.parentWindow = g_jobSettings.parentWindow;
      expected.parentControlId = g_jobSettings.parentControlId;
      FUZZ_EXPECT(std::memcmp(&expected, &g_jobSettings, sizeof expected) == 0);
      break;
    }
    default: {  // the whole start, setup call (with the control text) or interactive
      const std::string commandLine = (mode % 4 == 2 ? "@@SETUP_CALL " : "") + line;
      InitJobSettings(nullptr);
      const char* options = SetupCallOptionsText(commandLine.c_str());
      if (options != nullptr) {
        ParseSetupCallOptions(options);  // to learn which control the setup call will read
        const WindowHandle window = g_jobSettings.parentWindow;
        const int id = g_jobSettings.parentControlId;
        const intptr_t number = reinterpret_cast<intptr_t>(window);
        if (number >= 1 && number <= 8 && id >= 0 && id < 8) OsSetDialogItemText(window, id, control.c_str());
        InitJobSettings(nullptr);
      }
      int exitCode = 1;
      PrepareRun(commandLine.c_str(), &exitCode);
      ExpectSettingsBounded();
      FUZZ_EXPECT(options == nullptr ? exitCode == 0 : exitCode == 0 || exitCode == -1);
      break;
    }
  }
  return 0;
}
