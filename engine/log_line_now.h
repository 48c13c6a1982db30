#pragma once
// A log line that is in the log file before the run goes on: what a killed run leaves in its log
// explains what the next run finds.
void LogLineNow(const char* format, ...);
