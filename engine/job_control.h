#pragma once
// Coordination between the worker's operations (UI thread) and the job (worker thread).
// Internal to engine/progress_messages.cpp, engine/worker.cpp and engine/unpack_job.cpp.
//
// Every StartWorker begins a new "run" with its own number. g_activeRun holds the run whose end
// has not been claimed yet; exactly one side claims it with a compare-exchange: the worker when
// its job returns, or ForceEndWorker. The side that claims it releases the thread handle, clears
// the worker state and sends the one UM_JOB_FINISHED of the run. A worker whose run was claimed
// by ForceEndWorker is abandoned: its job sees a stop at every check, sends nothing, rolls back
// and leaves without touching the worker state.
//
// The hold is a bit of the same word (kRunHeld): the worker claims its end only from the plain run
// number, so a held worker cannot claim it, and SuspendWorker cannot hold a worker that has claimed
// it already.
//
// The commit is a third bit (kRunCommitted): the job sets it when it passes its point of no return
// (the record merge), unless its run has been ended by force already; from then on ForceEndWorker
// leaves the run alone and the job's own end, whatever it is, is the one reported.
//
// g_jobRun says which run owns the job's process-wide state (source file, extraction state,
// backup): a new worker waits until an abandoned job has left RunUnpackJob before it starts its
// own. 0 means no worker job is inside (setup-call mode runs the job without a run number).
#include <atomic>
#include <cstdint>

constexpr uint32_t kRunFinishing = 0x80000000u;  // the worker has claimed its end and is reporting it
constexpr uint32_t kRunHeld = 0x40000000u;       // the worker is held (the cancel question is open)
constexpr uint32_t kRunCommitted = 0x20000000u;  // the job has passed its point of no return
constexpr uint32_t kHoldPollMs = 5;               // how often a held job looks at the hold again

extern std::atomic<uint32_t> g_activeRun;
extern std::atomic<uint32_t> g_jobRun;

// The run number of a g_activeRun value, without its state bits.
inline uint32_t RunNumber(uint32_t value) { return value & ~(kRunFinishing | kRunHeld | kRunCommitted); }
