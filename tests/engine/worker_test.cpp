// The job on the worker thread against a page that records every private message and answers the
// questions: under Wine a real window of the test thread, which pumps its messages while the worker
// sends; natively the seam's handler. Start, protocol, output-file answers, cancel inside a large
// entry, the hold, the forced end and the jobs after it.
#include <gtest/gtest.h>

#include "engine/record_lock.h"
#include "engine/redraw_rate.h"
#include "engine/unpack_job.h"
#include "engine/worker.h"
#include "tests/engine/job_support.h"

using namespace jobtest;

namespace {

std::string CurrentTestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

std::atomic<int> g_stopChecks{0};
std::atomic<int> g_slowChecksMs{0};
void CountStopCheck() {
  g_stopChecks.fetch_add(1);
  if (int ms = g_slowChecksMs.load()) OsSleep(static_cast<uint32_t>(ms));
}

class WorkerTest : public ::testing::Test {
 protected:
  Scratch scratch{CurrentTestName()};
  Page page;
  std::string source = scratch / "input.zpk";
  std::string target = scratch / "connect";

  void SetUp() override {
    SetUpJob(source, target);
    g_stopChecks = 0;
    g_slowChecksMs = 0;
    SetStopCheckObserverForTests(CountStopCheck);
    // These tests follow the protocol report by report: every report is sent as the job makes it.
    SetReportIntervalForTests(0);
  }
  void TearDown() override {
    // Whatever a test left running ends before the next one starts.
    if (g_workerState.workerThread != nullptr) {
      ResumeWorker();
      RequestStop(page.window());
      page.PumpUntil([] { return g_workerState.workerThread == nullptr; }, 20000);
    }
    EXPECT_TRUE(WaitForWorkerJobs(20000));
    SetStopCheckObserverForTests(nullptr);
    SetReportIntervalForTests(kRedrawIntervalMs);
    g_slowChecksMs = 0;
  }

  static std::vector<zpack::PackEntry> Entries() {
    return {DirectoryEntry("\\config"), FileEntry("\\config\\settings.txt", MixedData(3000, 1)),
            FileEntry("\\readme.txt", Text("new readme\r\n")), FileEntry("\\data.bin", MixedData(20000, 2))};
  }
  void MakeOldTarget() {
    ASSERT_TRUE(OsCreateDirectory(target.c_str()));
    ASSERT_TRUE(WriteBytes(target + "\\readme.txt", Text("old readme")));
    ASSERT_TRUE(WriteBytes(target + "\\old_only.txt", MixedData(5000, 9)));
  }
  Tree ReferenceNewTree() {
    const std::string reference = scratch / "reference";
    SetUpJob(source, reference, true);
    EXPECT_EQ(RunUnpackJob(), 1);
    Tree tree = Snapshot(reference);
    RemoveTree(reference);
    SetUpJob(source, target);
    return tree;
  }
  bool WaitFinished(size_t count, int timeoutMs = 30000) {
    return page.PumpUntil([&] { return page.Count(UM_JOB_FINISHED) >= count; }, timeoutMs);
  }
  std::vector<std::string> Backups() { return BackupsOf(scratch.path(), "connect"); }
};

TEST_F(WorkerTest, JobRunsOnTheWorkerAndReportsInOrder) {
  ASSERT_TRUE(WritePackedFile(source, Entries()));
  const Tree fresh = ReferenceNewTree();
  MakeOldTarget();
  page.targetExistsAnswer = 1;
  g_workerState.stopRequested = 1;  // left over from an earlier job: must not stop this one

  std::atomic<int> held{0};
  page.onMessage = [&](const Record& record) {
    if (record.message == UM_PROGRESS && held == 0) held = SuspendWorker();
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(page.PumpUntil([&] { return held == 1; }, 30000));
  page.onMessage = nullptr;
  EXPECT_NE(g_workerState.workerThread, nullptr);
  EXPECT_NE(g_workerState.workerThreadId, 0u);
  EXPECT_EQ(StartWorker(page.window()), 0) << "never a second worker";
  ResumeWorker();
  ASSERT_TRUE(WaitFinished(1));
  page.PumpFor(100);

  const std::vector<Record> records = page.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().message, UM_JOB_FINISHED);
  EXPECT_EQ(records.back().wParam, 1u);
  EXPECT_EQ(page.Count(UM_JOB_FINISHED), 1u);
  EXPECT_EQ(g_workerState.workerThread, nullptr);
  EXPECT_EQ(g_workerState.workerThreadId, 0u);
  EXPECT_EQ(g_workerState.stopRequested, 0);

  // Question 6, then the entry count, the target directory, per entry its index, directory and name,
  // the end position and the backup's deletion.
  std::vector<Record> progress;
  size_t questionAt = records.size();
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].message == UM_QUESTION) questionAt = i;
    if (records[i].message == UM_PROGRESS) progress.push_back(records[i]);
  }
  ASSERT_LT(questionAt, records.size());
  EXPECT_EQ(records[questionAt].wParam, static_cast<MessageWParam>(QuestionTargetExists));
  ASSERT_EQ(progress.size(), 3u + 3u * 4u + 1u + 1u);  // and the backup's deletion
  EXPECT_EQ(progress[0].wParam, static_cast<MessageWParam>(ProgressEntryCount));
  EXPECT_EQ(progress[0].lParam, 4);
  EXPECT_EQ(progress[1].wParam, static_cast<MessageWParam>(ProgressDirectory));
  EXPECT_EQ(progress[1].text, target);
  EXPECT_EQ(progress[2].wParam, static_cast<MessageWParam>(ProgressFileName));
  EXPECT_EQ(progress[2].text, "");
  for (int entry = 0; entry < 4; ++entry) {
    EXPECT_EQ(progress[3 + entry * 3].wParam, static_cast<MessageWParam>(ProgressPosition));
    EXPECT_EQ(progress[3 + entry * 3].lParam, entry);
  }
  EXPECT_EQ(progress[4 + 3].text, target + "\\config");
  EXPECT_EQ(progress[5 + 3].text, "settings.txt");
  EXPECT_EQ(progress[progress.size() - 2].wParam, static_cast<MessageWParam>(ProgressPosition));
  EXPECT_EQ(progress[progress.size() - 2].lParam, 4);
  EXPECT_EQ(progress.back().wParam, static_cast<MessageWParam>(ProgressDeletingBackup));
  EXPECT_EQ(progress.back().text.rfind(target + ".", 0), 0u) << progress.back().text;
  EXPECT_EQ(Snapshot(target), fresh);
  EXPECT_TRUE(Backups().empty());
}

TEST_F(WorkerTest, OutputFileAnswersAbortRetryIgnore) {
  // "\sub" is written as a file, so "\sub\x.txt" cannot be created until the page makes room.
  const std::vector<zpack::PackEntry> entries = {FileEntry("\\sub", Text("a file in the way")),
                                                 FileEntry("\\sub\\x.txt", Text("behind the file")),
                                                 FileEntry("\\after.txt", Text("after"))};
  ASSERT_TRUE(WritePackedFile(source, entries));

  page.outputFailedAnswer = 3;  // abort
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(WaitFinished(1));
  EXPECT_EQ(page.Of(UM_JOB_FINISHED).back().wParam, 0u);
  ASSERT_EQ(page.Count(UM_OUTPUT_FAILED), 1u);
  EXPECT_EQ(page.Of(UM_OUTPUT_FAILED)[0].text, target + "\\sub\\x.txt");
  EXPECT_FALSE(OsPathExists(target.c_str())) << "an aborted job removes the new target";

  page.Clear();
  page.outputFailedAnswer = 5;  // ignore: that entry is skipped, the job goes on
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(WaitFinished(1));
  EXPECT_EQ(page.Of(UM_JOB_FINISHED).back().wParam, 1u);
  EXPECT_EQ(page.Count(UM_OUTPUT_FAILED), 1u);
  Bytes after;
  EXPECT_TRUE(ReadBytes(target + "\\after.txt", &after));
  EXPECT_EQ(after, Text("after"));
  RemoveTree(target);

  page.Clear();
  page.outputFailedAnswer = 4;  // retry, after the page has turned the file into a directory
  page.onMessage = [&](const Record& record) {
    if (record.message != UM_OUTPUT_FAILED) return;
    OsDeleteFile((target + "\\sub").c_str());
    OsCreateDirectory((target + "\\sub").c_str());
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(WaitFinished(1));
  page.onMessage = nullptr;
  EXPECT_EQ(page.Of(UM_JOB_FINISHED).back().wParam, 1u);
  EXPECT_EQ(page.Count(UM_OUTPUT_FAILED), 1u);
  Bytes behind;
  EXPECT_TRUE(ReadBytes(target + "\\sub\\x.txt", &behind));
  EXPECT_EQ(behind, Text("behind the file"));
}

TEST_F(WorkerTest, CancelInsideALargeEntryStopsAtTheNextRead) {
  std::vector<zpack::PackEntry> entries = Entries();
  entries.push_back(FileEntry("\\large.bin", MixedData(3000000, 5)));
  entries.push_back(FileEntry("\\last.txt", Text("never reached")));
  ASSERT_TRUE(WritePackedFile(source, entries));
  ASSERT_GT(entries[4].stored.size(), 100u * 2048u) << "an entry of many input blocks";
  MakeOldTarget();
  const Tree old = Snapshot(target);

  std::atomic<int> checksAtName{-1};
  page.onMessage = [&](const Record& record) {
    // The name of the large entry arrives before its data; from here each check takes a little
    // while, so that the entry is surely under way when the page cancels.
    if (record.message == UM_PROGRESS && record.wParam == ProgressFileName && record.text == "large.bin") {
      checksAtName = g_stopChecks.load();
      g_slowChecksMs = 3;
    }
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(page.PumpUntil([&] { return checksAtName.load() >= 0 && g_stopChecks.load() > checksAtName.load() + 20; },
                             30000));
  // Cancel from the page's thread as the page does: hold, ask, stop, release.
  ASSERT_EQ(SuspendWorker(), 1);
  page.PumpFor(30);
  const int checksAtRequest = g_stopChecks.load();
  RequestStop(page.window());
  g_slowChecksMs = 0;
  EXPECT_EQ(ResumeWorker(), 1);
  ASSERT_TRUE(WaitFinished(1));
  page.onMessage = nullptr;

  EXPECT_EQ(page.Of(UM_JOB_FINISHED).back().wParam, 0u);
  EXPECT_EQ(page.Count(UM_JOB_FINISHED), 1u);
  // The read that sees the stop, the check before the next entry, the end of the walk, the job's own.
  EXPECT_LE(g_stopChecks.load() - checksAtRequest, 5) << "the job stops within one input block";
  for (const Record& record : page.Of(UM_PROGRESS)) EXPECT_NE(record.text, "last.txt");
  EXPECT_EQ(Snapshot(target), old) << "a cancelled job puts the old target back";
  EXPECT_TRUE(Backups().empty());
}

TEST_F(WorkerTest, HeldWorkerSendsNothingUntilResumed) {
  std::vector<zpack::PackEntry> entries = Entries();
  entries.push_back(FileEntry("\\large.bin", MixedData(400000, 6)));
  ASSERT_TRUE(WritePackedFile(source, entries));
  EXPECT_EQ(SuspendWorker(), 0) << "no worker";
  EXPECT_EQ(ResumeWorker(), 0) << "no worker";

  std::atomic<int> held{0};
  page.onMessage = [&](const Record& record) {
    // Held twice while the page handles the second position report, as a nested question would.
    if (record.message == UM_PROGRESS && record.wParam == ProgressPosition && record.lParam == 1 && held == 0) {
      EXPECT_EQ(SuspendWorker(), 1);
      EXPECT_EQ(SuspendWorker(), 1);
      held = 1;
    }
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(page.PumpUntil([&] { return held == 1; }, 30000));
  const size_t countWhenHeld = page.Records().size();
  page.PumpFor(400);
  EXPECT_EQ(page.Records().size(), countWhenHeld) << "no message while the worker is held";
  const int checks = g_stopChecks.load();
  page.PumpFor(100);
  EXPECT_EQ(g_stopChecks.load(), checks) << "and no progress";
  EXPECT_NE(g_workerState.workerThread, nullptr);

  EXPECT_EQ(ResumeWorker(), 1);  // one resume releases both holds
  ASSERT_TRUE(WaitFinished(1));
  EXPECT_EQ(page.Of(UM_JOB_FINISHED).back().wParam, 1u);
  EXPECT_GT(page.Records().size(), countWhenHeld + 5);
  page.onMessage = nullptr;
}

// Held after its last stop check (here while the page handles the output-file question that
// aborts the job), the worker neither rolls back nor reports its end until it is released.
TEST_F(WorkerTest, HeldWorkerNeitherRollsBackNorReportsItsEnd) {
  const std::vector<zpack::PackEntry> entries = {FileEntry("\\new.txt", Text("new")),
                                                 FileEntry("\\sub", Text("a file in the way")),
                                                 FileEntry("\\sub\\x.txt", Text("behind the file"))};
  ASSERT_TRUE(WritePackedFile(source, entries));
  MakeOldTarget();
  const Tree old = Snapshot(target);
  page.targetExistsAnswer = 1;
  page.outputFailedAnswer = 3;  // abort

  std::atomic<int> held{0};
  Tree atHold;
  page.onMessage = [&](const Record& record) {
    if (record.message != UM_OUTPUT_FAILED) return;
    held = SuspendWorker();
    atHold = Snapshot(scratch.path());
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(page.PumpUntil([&] { return held == 1; }, 30000));
  page.PumpFor(400);
  EXPECT_EQ(page.Count(UM_JOB_FINISHED), 0u) << "no end reported while held";
  EXPECT_EQ(Snapshot(scratch.path()), atHold) << "no roll-back while held";
  page.onMessage = nullptr;

  EXPECT_EQ(ResumeWorker(), 1);
  ASSERT_TRUE(WaitFinished(1));
  EXPECT_EQ(page.Of(UM_JOB_FINISHED).back().wParam, 0u);
  EXPECT_EQ(Snapshot(target), old);
  EXPECT_TRUE(Backups().empty());
}

TEST_F(WorkerTest, RequestStopWithoutWorkerReportsTheEndAtOnce) {
  RequestStop(page.window());
  EXPECT_EQ(page.Count(UM_JOB_FINISHED, 0), 1u) << "sent before RequestStop returns";
  EXPECT_EQ(page.Records().size(), 1u);
}

// The forced end while the job is held: one UM_JOB_FINISHED(0) at once; the abandoned job rolls
// back by itself and sends nothing more; the next job waits for it and then runs normally.
TEST_F(WorkerTest, ForcedEndReportsOnceAndALaterJobRunsNormally) {
  std::vector<zpack::PackEntry> entries = Entries();
  entries.push_back(FileEntry("\\large.bin", MixedData(400000, 6)));
  ASSERT_TRUE(WritePackedFile(source, entries));
  const Tree fresh = ReferenceNewTree();
  MakeOldTarget();
  const Tree old = Snapshot(target);
  page.targetExistsAnswer = 1;

  std::atomic<int> held{0};
  page.onMessage = [&](const Record& record) {
    if (record.message == UM_PROGRESS && record.wParam == ProgressPosition && record.lParam == 2 && held == 0) {
      SuspendWorker();
      held = 1;
    }
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(page.PumpUntil([&] { return held == 1; }, 30000));
  page.onMessage = nullptr;
  RequestStop(page.window());
  page.PumpFor(50);
  // The abandoned job is slowed down so that it is still rolling back when the next job starts.
  g_slowChecksMs = 100;
  const size_t before = page.Records().size();
  ForceEndWorker(page.window());
  EXPECT_EQ(page.Count(UM_JOB_FINISHED), 1u) << "reported before ForceEndWorker returns";
  EXPECT_EQ(page.Of(UM_JOB_FINISHED)[0].wParam, 0u);
  EXPECT_EQ(g_workerState.workerThread, nullptr);
  EXPECT_EQ(g_workerState.workerThreadId, 0u);
  EXPECT_EQ(g_workerState.stopRequested, 0);

  // At once a new job, as the user may start it; it must not meet the old one: when it asks about
  // the existing target, the roll-back of the abandoned job has put the old tree back completely.
  page.Clear();
  Tree seenAtQuestion;
  page.onMessage = [&](const Record& record) {
    if (record.message == UM_QUESTION && record.wParam == QuestionTargetExists) seenAtQuestion = Snapshot(target);
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  g_slowChecksMs = 0;
  ASSERT_TRUE(WaitFinished(1));
  page.PumpFor(200);
  EXPECT_EQ(page.Count(UM_JOB_FINISHED), 1u) << "the abandoned job never reports";
  EXPECT_EQ(page.Of(UM_JOB_FINISHED)[0].wParam, 1u);
  EXPECT_EQ(page.Count(UM_QUESTION, QuestionTargetExists), 1u) << "the old target was back in place when it started";
  page.onMessage = nullptr;
  EXPECT_EQ(seenAtQuestion, old);
  EXPECT_EQ(Snapshot(target), fresh);
  EXPECT_TRUE(Backups().empty());
  for (const Record& record : page.Records()) EXPECT_LT(record.message, UM_OUTPUT_FAILED + 1);
  EXPECT_GT(before, 0u);
}

// Past the record merge the job can no longer be undone: a confirmed cancel whose forced end comes
// then ends nothing; the job's own end, a success, is the one reported.
TEST_F(WorkerTest, ForcedEndAfterTheRecordMergeWaitsForTheJobsOwnEnd) {
  ASSERT_TRUE(WritePackedFile(source, Entries()));
  const Tree fresh = ReferenceNewTree();
  page.onMessage = [&](const Record& record) {
    // The bar's end position is reported after the merge.
    if (record.message == UM_PROGRESS && record.wParam == ProgressPosition && record.lParam == 4) {
      RequestStop(page.window());
      ForceEndWorker(page.window());
    }
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(WaitFinished(1));
  page.PumpFor(200);
  page.onMessage = nullptr;
  EXPECT_EQ(page.Count(UM_JOB_FINISHED), 1u);
  EXPECT_EQ(page.Of(UM_JOB_FINISHED)[0].wParam, 1u) << "the job succeeded";
  EXPECT_EQ(g_workerState.workerThread, nullptr);
  EXPECT_EQ(Snapshot(target), fresh);
}

// While the record merge waits for another run, the page shows the last entry, not one that the
// gathering of the reports had left unsent.
TEST_F(WorkerTest, ThePageShowsTheLastEntryWhileTheMergeWaits) {
  std::vector<zpack::PackEntry> entries;
  for (int i = 0; i < 60; ++i) entries.push_back(FileEntry("\\f" + std::to_string(i) + ".txt", Text("x")));
  ASSERT_TRUE(WritePackedFile(source, entries));
  SetReportIntervalForTests(kRedrawIntervalMs);
  // An archive below the root's first level is registered in its target's parent, whose merge lock
  // another run holds.
  const std::string parent = scratch / "ARCHIVE";
  ASSERT_TRUE(OsCreateDirectory(parent.c_str()));
  SetUpJob(source, parent + "\\connect", false, "C:\\TESTROOT\\ARCHIVE\\connect");
  const FileHandle records = OpenArchiveDirFile(parent.c_str());
  ASSERT_NE(records, kNoFile);
  ASSERT_EQ(OsTryLockFileByte(records, kRecordMergeLockOffset), LockTaken);

  std::atomic<int64_t> shown{-1};
  page.onMessage = [&](const Record& record) {
    if (record.message != UM_PROGRESS) return;
    if (record.wParam == ProgressPosition) shown = record.lParam;
    const GatheredProgress* gathered = reinterpret_cast<const GatheredProgress*>(record.lParam);
    if (record.wParam == ProgressGathered && gathered->hasPosition) shown = gathered->position;
  };
  ASSERT_EQ(StartWorker(page.window()), 1);
  const bool lastEntryShown = page.PumpUntil([&] { return shown == 59; }, 5000);
  const size_t finishedMeanwhile = page.Count(UM_JOB_FINISHED);
  OsUnlockFileByte(records, kRecordMergeLockOffset);
  OsCloseFile(records);
  ASSERT_TRUE(WaitFinished(1));
  page.onMessage = nullptr;
  EXPECT_TRUE(lastEntryShown) << "shown: " << shown << " of 60";
  EXPECT_EQ(finishedMeanwhile, 0u);
  EXPECT_EQ(shown, 60);
}

TEST_F(WorkerTest, ForcedEndWithoutWorkerStillReportsOnce) {
  ForceEndWorker(page.window());
  EXPECT_EQ(page.Count(UM_JOB_FINISHED, 0), 1u);
  ASSERT_TRUE(WritePackedFile(source, Entries()));
  ASSERT_EQ(StartWorker(page.window()), 1);
  ASSERT_TRUE(WaitFinished(2));
  EXPECT_EQ(page.Of(UM_JOB_FINISHED).back().wParam, 1u);
}

}  // namespace
