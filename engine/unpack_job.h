#pragma once
// The unpack job: checks, free space, backup, extraction, and clean-up or roll-back.
int RunUnpackJob();
int PrepareJob();
int CheckFreeSpace();
int BackUpExistingTarget();
void DeleteTree(const char* path);
