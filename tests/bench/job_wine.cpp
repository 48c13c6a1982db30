// The whole setup-call job under Wine against what the claim, the merge locks and the log add to it,
// in one run: the job (free space, backup of the existing target, extraction of the benchmark tree
// of about 100 MB in 3000 files, merge into a parent "archive.dir" of 1000 records, deletion of the
// backup) without and with its log, then the claim and merge locks alone (the claim taken and
// released, both record files of the merge opened with their merge locks) and the log alone (the
// lines of one job, appended in blocks and closed) and the record of the run in progress alone,
// each repeated; prints the medians and the shares of the job. Run: build/win64/wine-run build/win64/tests/bench/job_wine.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/interrupted_run.h"
#include "engine/job_log.h"
#include "engine/record_lock.h"
#include "engine/records.h"
#include "engine/target_claim.h"
#include "engine/unpack_job.h"
#include "tests/bench/extraction_bench_data.h"

namespace {

const char kPackedFile[] = "C:\\ztest\\bench\\bench.zpk";  // shared with extraction_wine, made once
const char kRoot[] = "C:\\ztest\\jobbench";
const char kParent[] = "C:\\ztest\\jobbench\\zelvar\\ARCHIVE\\SYSTEM";
const char kAncestor[] = "C:\\ztest\\jobbench\\zelvar\\ARCHIVE";
const char kTarget[] = "C:\\ztest\\jobbench\\zelvar\\ARCHIVE\\SYSTEM\\bench";
const char kLog[] = "C:\\ztest\\jobbench\\job.log";

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void SetUpJob() {
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  g_jobSettings.instance = GetModuleHandleA(nullptr);
  CopyBounded(g_jobSettings.sourcePath, kPathChars, kPackedFile);
  CopyBounded(g_jobSettings.targetDir, kPathChars, kTarget);
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, "ZELVAR1\\SYS:zelvar\\ARCHIVE\\SYSTEM\\bench");
  CopyBounded(g_jobSettings.archiveName, kNameChars, "Benchmark");
  g_jobSettings.setupCall = 1;
  g_workerState.progressWindow = nullptr;
  g_workerState.stopRequested = 0;
}

// One whole job; with the log as a setup call writes it.
double TimedJob(int withLog) {
  SetUpJob();
  const double start = Seconds();
  if (withLog) {
    SetJobLogPath(kLog);
    OpenJobLog();
    LogRunStart("setup call", "-QC:\\ztest\\bench\\bench.zpk -ZC:\\ztest\\jobbench\\zelvar\\ARCHIVE\\SYSTEM\\bench");
  }
  const int result = RunUnpackJob();
  if (withLog) {
    LogSetupOutcome(g_jobSettings.error, result ? 0 : -1);
    CloseJobLog();
    SetJobLogPath("");
  }
  const double seconds = Seconds() - start;
  if (!result) {
    std::printf("the job failed\n");
    std::exit(1);
  }
  return seconds;
}

// The claim and the merge locks of one job, as often as given; the time of one.
double TimedLocks(int repeats) {
  const double start = Seconds();
  for (int k = 0; k < repeats; ++k) {
    SetUpJob();
    if (!TakeTargetClaim()) std::exit(1);
    for (const char* dir : {kParent, kAncestor}) {
      const FileHandle file = OpenRecordsForMerge(dir);
      UnlockRecordsForMerge(file);
      OsCloseFile(file);
    }
    ReleaseTargetClaim();
  }
  return (Seconds() - start) / repeats;
}

// The record of a job in progress, as often as given: written and flushed before the backup, its
// phase written and flushed before the merge, deleted at the end; the time of one job's record.
double TimedRecord(int repeats) {
  const std::string backup = std::string(kTarget) + ".001";
  const double start = Seconds();
  for (int k = 0; k < repeats; ++k) {
    if (!BeginRunRecord(RunPhaseBackedUp, kTarget, backup.c_str(), 1)) std::exit(1);
    SetRunRecordPhase(RunPhaseMerging);
    EndRunRecord();
  }
  return (Seconds() - start) / repeats;
}

// The lines a job writes into its log, as often as given; the time of one job's log.
double TimedLog(const std::vector<zbench::TreeFile>& files, int repeats) {
  SetUpJob();
  const double start = Seconds();
  for (int k = 0; k < repeats; ++k) {
    SetJobLogPath(kLog);
    OpenJobLog();
    LogRunStart("setup call", "-QC:\\ztest\\bench\\bench.zpk -ZC:\\ztest\\jobbench\\zelvar\\ARCHIVE\\SYSTEM\\bench");
    LogJobStart();
    LogTrailer();
    LogFreeSpace("C:\\", 1ull << 36, 100000000);
    LogBackup("C:\\ztest\\jobbench\\zelvar\\ARCHIVE\\SYSTEM\\bench.001");
    for (int d = 0; d < zbench::kDirectories; ++d) LogDirectoryEntry(kTarget);
    for (const zbench::TreeFile& file : files) {
      LogFileWritten((std::string(kTarget) + file.name).c_str(), file.data.size());
    }
    LogRecordWritten(kParent, "archive.dir", 1000, 1000);
    LogRecordWritten(kAncestor, "archive.dir", 0, 1);
    LogBackupOutcome("C:\\ztest\\jobbench\\zelvar\\ARCHIVE\\SYSTEM\\bench.001", 1);
    LogSetupOutcome(0, 0);
    CloseJobLog();
    SetJobLogPath("");
  }
  return (Seconds() - start) / repeats;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  OsCreateDirectory("C:\\ztest");
  OsCreateDirectory("C:\\ztest\\bench");
  const std::vector<zbench::TreeFile> files = zbench::MakeTree();
  FileHandle existing = OsOpenFile(kPackedFile, FileOpenRead);
  const int valid = existing != kNoFile && ReadTrailer(existing);
  if (existing != kNoFile) OsCloseFile(existing);
  if (!valid) {
    std::printf("packing the benchmark tree into %s ...\n", kPackedFile);
    const std::vector<uint8_t> packed = zbench::PackTree(files);
    FileHandle out = OsOpenFile(kPackedFile, FileOpenReadWriteTruncate);
    OsWriteFile(out, packed.data(), static_cast<uint32_t>(packed.size()));
    OsCloseFile(out);
  }
  zbench::RemoveTree(kRoot);
  for (const char* dir : {kRoot, "C:\\ztest\\jobbench\\zelvar", kAncestor, kParent}) OsCreateDirectory(dir);
  std::vector<char> records(1000 * kRecordSize, 0);
  for (size_t at = 0; at < records.size(); at += kRecordSize) records[at + 3] = 0x10;
  FileHandle parent = OsOpenFile((std::string(kParent) + "\\archive.dir").c_str(), FileOpenReadWriteTruncate);
  OsWriteFile(parent, records.data(), static_cast<uint32_t>(records.size()));
  OsCloseFile(parent);
  TimedJob(0);  // the target exists from here on: every job moves it aside and deletes it

  std::vector<double> jobs, logged, locks, logs, runRecords;
  for (int round = 0; round < rounds; ++round) {
    // The order turns from round to round.
    if (round % 2 == 0) {
      jobs.push_back(TimedJob(0));
      logged.push_back(TimedJob(1));
    } else {
      logged.push_back(TimedJob(1));
      jobs.push_back(TimedJob(0));
    }
    locks.push_back(TimedLocks(200));
    logs.push_back(TimedLog(files, 5));
    runRecords.push_back(TimedRecord(50));
    std::printf("round %d: job %.3f s, job with log %.3f s, claim and merge locks %.3f ms, log %.2f ms, record %.3f ms\n",
                round + 1, jobs.back(), logged.back(), 1000 * locks.back(), 1000 * logs.back(), 1000 * runRecords.back());
  }
  const double job = Median(jobs), withLog = Median(logged), lock = Median(locks), log = Median(logs),
               record = Median(runRecords);
  std::printf("median: job %.3f s, job with log %.3f s, claim and merge locks %.3f ms, log of one job %.2f ms\n", job,
              withLog, 1000 * lock, 1000 * log);
  std::printf("claim and merge locks / job = %.3f %% (target: at most 1 %%)\n", 100 * lock / job);
  std::printf("log / job = %.3f %% (target: at most 2 %%)\n", 100 * log / job);
  std::printf("record of the run in progress %.3f ms / job = %.3f %%\n", 1000 * record, 100 * record / job);
  std::printf("job with log / job without = %.3f (the log and the noise of two jobs)\n", withLog / job);
  zbench::RemoveTree(kRoot);
  return 0;
}
