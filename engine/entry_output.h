#pragma once
// The output of one entry: its directories, its file, its times.
#include <cstdint>

#include "platform/platform.h"

enum CreateOutputResult { OutputOpened = 0, OutputSkip = 1, OutputAbort = 2 };

void EnsureDirectory(const char* path, int isFilePath);
// EnsureDirectory remembers the last directory it found or made; a new walk begins without it.
void ForgetKnownDirectory();
int CreateOutputFile(const char* path);
int SetEntryTimes(uint32_t creationTime, FileHandle outputFile, uint32_t accessTime, uint32_t writeTime);
