#pragma once
// Reading the run's log back in tests: each line "YYYY-MM-DD hh:mm:ss  COMPUTER:PID  text" with CRLF.
#include <cctype>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace logtest {

struct LogLine {
  std::string run;   // COMPUTER:PID
  std::string text;  // behind the run
};

// The run tag this process writes.
inline std::string ThisRun() {
  char computer[32] = "?";
  OsGetComputerName(computer, sizeof computer);
  return std::string(computer) + ":" + std::to_string(OsProcessId());
}

// One line without its CRLF; false when it is not a whole line of the log.
inline bool ParseLogLine(const std::string& line, LogLine* parsed) {
  if (line.size() < 21 || line[4] != '-' || line[7] != '-' || line[10] != ' ' || line[13] != ':' || line[16] != ':' ||
      line.compare(19, 2, "  ") != 0) {
    return false;
  }
  for (int at : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
    if (!std::isdigit(static_cast<unsigned char>(line[at]))) return false;
  }
  const size_t end = line.find("  ", 21);
  const size_t colon = line.rfind(':', end);
  if (end == std::string::npos || colon == std::string::npos || colon < 21 || colon + 1 >= end) return false;
  for (size_t at = colon + 1; at < end; ++at) {
    if (!std::isdigit(static_cast<unsigned char>(line[at]))) return false;
  }
  if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) return false;
  parsed->run = line.substr(21, end - 21);
  parsed->text = line.substr(end + 2);
  return true;
}

// Every line of a log. A line that is not whole (a torn or broken one) is returned in *bad, and the
// lines before it only.
inline std::vector<LogLine> ParseLog(const std::string& text, std::string* bad) {
  std::vector<LogLine> lines;
  bad->clear();
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    LogLine parsed;
    if (end == std::string::npos || !ParseLogLine(line, &parsed)) {
      *bad = line;
      return lines;
    }
    lines.push_back(parsed);
    start = end + 2;
  }
  return lines;
}

}  // namespace logtest
