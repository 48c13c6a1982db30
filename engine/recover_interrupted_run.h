#pragma once
// Putting right a run into the same target that was interrupted (killed, its machine switched off,
// its network lost) before it ended by itself: found by its record (engine/interrupted_run.h).

// Called with the target's claim taken: the run that left a record cannot be alive on any machine.
// Before the record merge it is undone (what it unpacked removed, its backup moved back), after the
// merge finished (its backup deleted where it would have deleted it). 1 when the job may go on;
// 0 when the backup cannot be put back (reported: question type 9, setup-call code 8): the record
// stays for the next attempt.
int RecoverInterruptedRun();
