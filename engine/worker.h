#pragma once
// The worker thread of interactive mode.
#include "platform/platform.h"

int StartWorker(WindowHandle progressWindow);
uint32_t WorkerMain(void* progressWindow);
int SuspendWorker();
int ResumeWorker();
void RequestStop(WindowHandle window);
void ForceEndWorker(WindowHandle window);
