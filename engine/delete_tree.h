#pragma once
// Deletion of a directory tree (the backup after a successful job, what a failed one unpacked).

void DeleteTree(const char* path);
