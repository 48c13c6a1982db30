#pragma once
// The record merge at the end of a job: the archive's own record and its registration above it.

void MergeArchiveRecords();
