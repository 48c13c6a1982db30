#pragma once
// The backup of an existing target: moved aside under a numbered name before the job writes.

int BackUpExistingTarget();
// Renames a directory; when that fails, changes the current directory to the parent of `from` (it
// may lie inside) and tries once more. 1 when moved.
int MoveWithRetry(const char* from, const char* to);
