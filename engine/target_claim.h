#pragma once
// One job per target directory at a time, across the processes of this machine and of others that
// reach the archive tree through a share. The claim is a lock of one byte per target name in the
// parent's "archive.dir" (engine/record_lock.h); the system drops it when the process ends.
#include <cstdint>

// Takes the claim on targetDir before the job touches it, waiting while another run holds it. 1 when
// the job may go on (claimed, or the file system has no locks), 0 when a stop ended the wait or the
// wait ran out (reported: question type 8, setup-call code 8). The claim may make the parent and
// the directories above it, its "archive.dir", and clear that file's read-only attribute; it notes
// what it changed.
int TakeTargetClaim();
// 1 while this run holds the claim (0 where the job goes on without one: no locks, nowhere to claim).
int TargetClaimHeld();
// After a job that succeeded: the claim is let go; what it made stays (the merge registered there).
void ReleaseTargetClaim();
// After a job that failed, was stopped, or did not get its claim: what the claim changed is taken
// back where no other run uses it at that moment, and the claim is let go.
void TakeBackTargetClaim();

// For tests: the bound of the wait in milliseconds (0 restores ten minutes).
void SetTargetClaimBoundForTests(uint32_t milliseconds);
