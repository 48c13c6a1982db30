#pragma once
// Runs tools/setuphost (which plays the setup program and starts Zarpex32.exe) under Wine and
// collects what it printed: percentages, control texts, the done code and the exit code.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zdisc {

// The build folder in Windows form (Wine maps the host's root to Z:).
inline std::string BuildDir() {
  std::string unix = Z_TEST_BINARY_DIR;
  std::string windows = "Z:";
  for (char c : unix) windows += c == '/' ? '\\' : c;
  return windows;
}
inline std::string ProgramPath() { return BuildDir() + "\\Zarpex32.exe"; }
inline std::string SetupHostPath() { return BuildDir() + "\\tools\\setuphost\\setuphost.exe"; }

// One argument as the C runtime's argv parser reads it back.
inline void AppendArgvArgument(std::string* line, const std::string& argument) {
  *line += " \"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      line->append(backslashes * 2 + 1, '\\');
    } else {
      line->append(backslashes, '\\');
    }
    backslashes = 0;
    *line += c;
  }
  line->append(backslashes * 2, '\\');
  *line += '"';
}

struct HostRun {
  std::string output;
  std::vector<std::string> lines;
  long hostExit = -99;

  // The lines beginning with prefix, without it.
  std::vector<std::string> With(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : lines)
      if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line.substr(prefix.size()));
    return found;
  }
  // The percentages the program sent, in order.
  std::vector<long> Percentages() const {
    std::vector<long> values;
    for (const std::string& value : With("progress ")) values.push_back(std::atol(value.c_str()));
    return values;
  }
  bool HasDone() const { return !With("done ").empty(); }
  long Done() const { return HasDone() ? std::atol(With("done ")[0].c_str()) : -1000; }
  long Exit() const { return With("exit ").empty() ? -1000 : std::atol(With("exit ")[0].c_str()); }
};

// A setuphost started and not yet waited for.
struct StartedHost {
  HANDLE process = nullptr;
  std::string outputPath;
};

// Starts setuphost with the arguments; FinishSetupHost waits for it and collects what it printed.
inline StartedHost StartSetupHost(const std::vector<std::string>& arguments) {
  StartedHost started;
  std::string line = "\"" + SetupHostPath() + "\"";
  bool exeGiven = false;
  for (const std::string& argument : arguments) exeGiven = exeGiven || argument == "--exe";
  if (!exeGiven) {
    AppendArgvArgument(&line, "--exe");
    AppendArgvArgument(&line, ProgramPath());
  }
  for (const std::string& argument : arguments) AppendArgvArgument(&line, argument);

  // setuphost writes into a file, not a pipe: under Wine a pipe's write end can stay open in the
  // prefix's background programs, and the read would never see its end.
  char outputPath[MAX_PATH];
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  GetTempFileNameA(folder, "sh", 0, outputPath);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE outputFile = CreateFileA(outputPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (outputFile == INVALID_HANDLE_VALUE) return started;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = outputFile;
  startup.hStdError = outputFile;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  BOOL created = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(outputFile);
  if (!created) {
    DeleteFileA(outputPath);
    return started;
  }
  CloseHandle(process.hThread);
  started.process = process.hProcess;
  started.outputPath = outputPath;
  return started;
}

inline HostRun FinishSetupHost(StartedHost* started) {
  HostRun run;
  if (started->process == nullptr) return run;
  const char* outputPath = started->outputPath.c_str();
  WaitForSingleObject(started->process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(started->process, &code);
  run.hostExit = static_cast<long>(code);
  HANDLE readBack = CreateFileA(outputPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  char block[4096];
  DWORD got = 0;
  while (readBack != INVALID_HANDLE_VALUE && ReadFile(readBack, block, sizeof block, &got, nullptr) && got > 0)
    run.output.append(block, got);
  if (readBack != INVALID_HANDLE_VALUE) CloseHandle(readBack);
  DeleteFileA(outputPath);
  CloseHandle(started->process);
  started->process = nullptr;

  size_t start = 0;
  while (start < run.output.size()) {
    size_t end = run.output.find('\n', start);
    if (end == std::string::npos) end = run.output.size();
    std::string one = run.output.substr(start, end - start);
    if (!one.empty() && one.back() == '\r') one.pop_back();
    run.lines.push_back(one);
    start = end + 1;
  }
  return run;
}

inline HostRun RunSetupHost(const std::vector<std::string>& arguments) {
  StartedHost started = StartSetupHost(arguments);
  return FinishSetupHost(&started);
}

}  // namespace zdisc
