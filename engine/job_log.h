#pragma once
// The run's log, on request (-L<file> in setup-call mode, -l <file> interactively): appended to,
// one line per event with the local time and the run (computer and process id) in front, UTF-8
// with CRLF line ends. Lines are gathered in a buffer and appended in blocks of whole lines, each
// at the end the file has at that moment, so that many runs can share one log. Nothing here ever
// fails the job: a write that fails is noted once, at the end, if the file takes that line. Without
// a log file every call does nothing.
#include <cstdint>

#include "platform/platform.h"

void SetJobLogPath(const char* path);  // from the command line or the setup program's control
// Opens the named log for appending (again only when the name has changed); 1 when it is open or
// none is asked for, 0 when it cannot be opened (the run must then end before it changes anything).
int OpenJobLog();
const char* JobLogPath();
int JobLogOpen();
void FlushJobLog();  // writes what is gathered
void CloseJobLog();  // flushes, notes a failed write, closes

// One line of ANSI text (printf form; line breaks in it become blanks). Gathered lines reach the
// file at the latest with the first line added a second after the oldest of them.
void LogLine(const char* format, ...);
// The same, written to the file before the call returns: for the lines that must survive a run
// killed right after them (a wait, a question, a recovery, a stop, the backup, a change of phase).
void LogLineNow(const char* format, ...);
// The sentence that the outcome line gives as the reason; the first failure's stays.
void SetLogReason(const char* format, ...);

// ---- the run's events ----
void LogRunStart(const char* mode, const char* commandLine);
void LogRunEnded(const char* reason);  // a run that ends before the job: exit code -1 and why
void LogJobStart();                    // source, target, archive root and name
void LogTrailer();                     // what the valid packed file says
void LogFreeSpace(const char* root, uint64_t freeBytes, uint64_t required);
void LogBackup(const char* backup);
void LogTargetExistsAnswer(int32_t answer);
// A stop of the job by question type (the program's own message text is the reason).
void LogJobStop(int questionType, MessageLParam argument);
void LogDirectoryEntry(const char* path);
void LogFileWritten(const char* path, uint64_t size);
void LogEntrySkipped(const char* path);
void LogOutputNotCreated(const char* path);
void LogRefusedEntry(const char* name, const char* targetDir);
void LogEntryNotWritten(const char* path, uint32_t explodeResult, int writeFailed);
void LogUnreadableHeader(uint32_t index, uint32_t count);
void LogStopAfterEntry(uint32_t index, uint32_t count, const char* path);  // index counts from 1
void LogStopSeen(uint32_t entriesDone, uint32_t count);
void LogRollBack(const char* target, const char* backup);
void LogBackupOutcome(const char* backup, int deleteBackup);
// A record written into dir\fileName at slot (counting from 0) of a file that had recordsBefore.
void LogRecordWritten(const char* dir, const char* fileName, uint32_t slot, uint32_t recordsBefore);
void LogSetupOutcome(uint32_t doneCode, int exitCode);
void LogJobResult(int result);  // interactive mode: the worker's result
