#pragma once
// The record merge at the end of a job: the archive's own record and its registration above it.

// 0 when the parent's records could not be locked: nothing above the target was written.
int MergeArchiveRecords();
// The merge's stamp on the archive's own record (the first of its "archive.add"): in use, the
// archive root (OEM) as its path, the root's last component as its name, the archive's name (OEM)
// or else that component as its title. `zpack verify` expects the installed record so.
void StampOwnRecord(char* record, const char* root, const char* nameOem);
// The same for the job's settings: archiveRoot and archiveName.
void StampOwnRecord(char* record);
