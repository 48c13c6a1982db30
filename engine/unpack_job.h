#pragma once
// The unpack job: checks, free space, backup, extraction, and clean-up or roll-back.
#include <cstdint>

#include "engine/delete_tree.h"
#include "engine/free_space.h"
#include "engine/target_backup.h"
#include "platform/platform.h"

int RunUnpackJob();
int PrepareJob();

// ---- helpers of the job, shared by its files ----
// A stop of the job: the question to the progress page (interactive mode, with a pointer to an
// answer that is not read) or the error code (setup-call mode).
void ReportJobStop(int questionType, uint32_t setupError);
// The same for questions 4 and 5, which carry data instead of an answer pointer.
void ReportJobStopWith(int questionType, uint32_t setupError, MessageLParam argument);
