#pragma once
// One job per target directory at a time, across the processes of this machine and of others that
// reach the archive tree through a share. The claim is a lock of one byte per target name in the
// parent's "archive.dir" (engine/record_lock.h); the system drops it when the process ends.
#include <cstdint>

// Takes the claim on targetDir before the job touches it, waiting while another run holds it. 1 when
// the job may go on (claimed, or the file system has no locks), 0 when a stop ended the wait or the
// wait ran out (reported: question type 8, setup-call code 8). Nothing is changed either way.
int TakeTargetClaim();
void ReleaseTargetClaim();

// For tests: the bound of the wait in milliseconds (0 restores ten minutes).
void SetTargetClaimBoundForTests(uint32_t milliseconds);
