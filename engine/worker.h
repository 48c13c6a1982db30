#pragma once
// The worker thread of interactive mode.
#include "platform/platform.h"

int StartWorker(WindowHandle progressWindow);
// The thread procedure; it begins only when StartWorker has handed it its run (not for direct calls).
uint32_t WorkerMain(void* progressWindow);
int SuspendWorker();
int ResumeWorker();
void RequestStop(WindowHandle window);
void ForceEndWorker(WindowHandle window);

// Waits up to timeoutMs until no worker's job is running any more, also one that ForceEndWorker
// has abandoned and that is still rolling back. 1 when none is left. For the end of the program,
// so that a roll-back is not cut off by the process ending.
int WaitForWorkerJobs(uint32_t timeoutMs);
