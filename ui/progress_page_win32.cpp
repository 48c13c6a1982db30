// The progress page (template 101): shows what is unpacked, starts the job on "&Entpacken", follows
// it, answers its questions and lets the user cancel it.
#include <windows.h>
#include <commctrl.h>
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/progress_messages.h"
#include "engine/worker.h"
#include "ui/message_texts.h"
#include "ui/path_display.h"
#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"

namespace {

INT_PTR Answer(HWND page, LONG_PTR result) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
  return TRUE;
}

// PSN_SETACTIVE: shows the settings afresh; the first activation without source or target goes on
// to the options page. Returns the notification's result.
LONG_PTR RefreshDisplay(HWND page) {
  const JobSettings& settings = g_jobSettings;
  SetDlgItemTextA(page, IDC_HEADER_NAME, settings.archiveName);
  ShowFittedPath(page, IDC_HEADER_ROOT, settings.archiveRoot, 0);
  ShowFittedPath(page, IDC_SOURCE_TEXT, settings.sourcePath, FitForDisplay(g_progressPage.fitChars));
  ResetProgressDisplay(page);
  ShowProgressFields(page, settings.targetDir, "");
  SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  if (g_progressPage.firstActivation) {
    g_progressPage.firstActivation = false;
    if (settings.sourcePath[0] == '\0' || settings.targetDir[0] == '\0') {
      SendMessageA(GetParent(page), PSM_SETCURSEL, 1, 0);
      return -1;
    }
  }
  return 0;
}

// PSN_APPLY with a non-zero lParam ("&Entpacken"): starts the job, or says what is missing.
void StartJob(HWND page) {
  HWND sheet = GetParent(page);
  const JobSettings& settings = g_jobSettings;
  if (settings.sourcePath[0] != '\0' && settings.targetDir[0] != '\0') {
    EnterUnpackingState(sheet);
    ResetProgressDisplay(page);
    StartWorker(page);
    return;
  }
  HWND owner = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  ShowMessage(owner, settings.sourcePath[0] == '\0' ? TextNoSource : TextNoTarget, MB_OK | MB_ICONHAND);
  SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
}

// PSN_QUERYCANCEL: while a job runs, asks once whether to stop it. Returns whether the sheet stays open.
LONG_PTR QueryCancel(HWND page) {
  if (g_progressPage.unpacking && !g_progressPage.cancelRequested) {
    SuspendWorker();
    ShowKeptProgress(page);
    const bool stop = ShowMessage(page, TextCancelQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (stop) {
      g_progressPage.cancelRequested = true;
      RequestStop(page);
      // RequestStop without a worker has already finished the job; no timer is needed then.
      if (g_progressPage.unpacking) SetTimer(page, IDT_STOP_TIMER, STOP_TIMER_MS, nullptr);
    }
    ResumeWorker();
    // "No" means go on: the sheet stays open, also when a worker that had already claimed its end
    // (and so could not be held) reported it while the question was open.
    if (!stop) return 1;
  }
  return g_progressPage.unpacking ? 1 : 0;
}

void JobFinished(HWND page, WPARAM result) {
  KillTimer(page, IDT_STOP_TIMER);
  ShowKeptProgress(page);
  // One end per job: a late report after the job has been ended already changes nothing.
  if (!g_progressPage.unpacking) return;
  if (result != 0) ShowMessage(page, TextJobSucceeded, MB_OK | MB_ICONINFORMATION);
  EnterIdleState(GetParent(page));
}

void WriteAnswer(LPARAM address, int value) {
  int* answer = reinterpret_cast<int*>(address);
  if (answer != nullptr) *answer = value;
}

void Question(HWND page, WPARAM type, LPARAM lParam) {
  ShowKeptProgress(page);
  const unsigned flags = MB_OK | MB_ICONHAND;
  switch (type) {
    case QuestionNoArchiveRoot:
      WriteAnswer(lParam, ShowMessage(page, TextNoArchiveRoot, flags) == IDOK ? 1 : 0);
      break;
    case QuestionSourceNotOpened:
      WriteAnswer(lParam, ShowMessage(page, TextSourceNotOpened, flags) == IDOK ? 1 : 0);
      break;
    case QuestionNotPackedFile:
      WriteAnswer(lParam, ShowMessage(page, TextNotPackedFile, flags) == IDOK ? 1 : 0);
      break;
    case QuestionDriveNotReady: {
      const char* root = reinterpret_cast<const char*>(lParam);
      ShowMessage(page, TextDriveNotReady, flags, root != nullptr ? root : "");
      break;
    }
    case QuestionNotEnoughSpace: {
      const long megabytes = static_cast<long>(static_cast<uint32_t>(lParam) & 0xFFFFu);
      const long fraction = static_cast<long>((static_cast<uint32_t>(lParam) >> 16) & 0xFFFFu);
      ShowMessage(page, TextNotEnoughSpace, flags, megabytes, fraction);
      break;
    }
    case QuestionTargetExists: {
      const int box = ShowMessage(page, TextTargetExists, MB_YESNOCANCEL | MB_ICONQUESTION);
      WriteAnswer(lParam, box == IDYES ? 2 : box == IDNO ? 1 : 0);
      break;
    }
    case QuestionTargetNotRenamed:
      WriteAnswer(lParam, ShowMessage(page, TextTargetNotRenamed, flags) == IDOK ? 1 : 0);
      break;
    case QuestionTargetClaimed:
      WriteAnswer(lParam, ShowMessage(page, TextTargetClaimed, flags) == IDOK ? 1 : 0);
      break;
    case QuestionRecoveryFailed: {
      const char* backup = reinterpret_cast<const char*>(lParam);
      ShowMessage(page, TextRecoveryFailed, flags, backup != nullptr ? backup : "");
      break;
    }
    default:
      WriteAnswer(lParam, 1);
      break;
  }
}

void ShowDirectoryReport(HWND page, const char* directory) {
  ShowProgressDirectory(page, directory != nullptr ? directory : "");
}

// The file name as the page shows it: without its directory, in lower case (kPathBuffer bytes).
void ShownFileName(char* name, const char* text) {
  name[0] = '\0';
  if (text != nullptr) {
    if (FindChar(text, '\\') != nullptr) {
      char whole[kPathBuffer];
      CopyBounded(whole, kPathChars, text);
      FileNamePart(name, whole);
    } else {
      CopyBounded(name, kPathChars, text);
    }
  }
  CharLowerA(name);
}

void ShowFileNameReport(HWND page, const char* text) {
  char name[kPathBuffer];
  ShownFileName(name, text);
  ShowProgressFileName(page, name);
}

// A note of the job in the two fields: its text from the string table, its path fitted.
void ShowNote(HWND page, int textId, const char* path) {
  char note[kPathBuffer];
  LoadText(textId, note, sizeof note);
  ShowProgressNote(page, note, path != nullptr ? path : "");
}

void Progress(HWND page, WPARAM subCode, LPARAM lParam) {
  switch (subCode) {
    case ProgressDirectory:
      ShowDirectoryReport(page, reinterpret_cast<const char*>(lParam));
      break;
    case ProgressFileName:
      ShowFileNameReport(page, reinterpret_cast<const char*>(lParam));
      break;
    case ProgressEntryCount:
      SetProgressRange(page, static_cast<int>(static_cast<uint32_t>(lParam) & 0xFFFFu));
      break;
    case ProgressPosition:
      ShowProgressPosition(page, static_cast<int>(lParam));
      break;
    case ProgressGathered: {
      // One report, drawn as one: never a new directory beside the previous entry's name.
      const GatheredProgress* gathered = reinterpret_cast<const GatheredProgress*>(lParam);
      if (gathered == nullptr) break;
      char name[kPathBuffer];
      ShownFileName(name, gathered->fileName);
      ShowGatheredProgress(page, gathered->hasDirectory ? gathered->directory : nullptr,
                           gathered->hasFileName ? name : nullptr,
                           gathered->hasPosition ? static_cast<int>(gathered->position) : -1);
      break;
    }
    case ProgressDeletingBackup:
      ShowNote(page, TextDeletingBackup, reinterpret_cast<const char*>(lParam));
      break;
    case ProgressWaiting:
      ShowNote(page, TextWaitingForTarget, reinterpret_cast<const char*>(lParam));
      break;
    case ProgressUndoingInterrupted:
      ShowNote(page, TextUndoingInterrupted, reinterpret_cast<const char*>(lParam));
      break;
    case ProgressFinishingInterrupted:
      ShowNote(page, TextFinishingInterrupted, reinterpret_cast<const char*>(lParam));
      break;
    case ProgressWaitOver:
    case ProgressRecoveryOver:
      EndProgressNote(page);
      break;
    default:
      break;
  }
}

void OutputFailed(HWND page, WPARAM answerAddress, LPARAM path) {
  ShowKeptProgress(page);
  const char* text = reinterpret_cast<const char*>(path);
  const int box = ShowMessage(page, TextOutputFailed, MB_ABORTRETRYIGNORE | MB_ICONHAND, text != nullptr ? text : "");
  WriteAnswer(static_cast<LPARAM>(answerAddress), box);
}

INT_PTR Notify(HWND page, const NMHDR* header, LPARAM lParam) {
  switch (header->code) {
    case static_cast<UINT>(PSN_SETACTIVE):
      return Answer(page, RefreshDisplay(page));
    case static_cast<UINT>(PSN_KILLACTIVE):
      return Answer(page, g_progressPage.unpacking ? 1 : 0);
    case static_cast<UINT>(PSN_APPLY):
      if (reinterpret_cast<const PSHNOTIFY*>(lParam)->lParam == 0) return Answer(page, PSNRET_NOERROR);
      StartJob(page);
      return Answer(page, PSNRET_INVALID_NOCHANGEPAGE);
    case static_cast<UINT>(PSN_QUERYCANCEL):
      return Answer(page, QueryCancel(page));
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      g_progressPage.page = page;
      SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      g_progressPage.fitChars = CountFittingChars(page, IDC_SOURCE_TEXT);
      g_progressPage.firstActivation = true;
      ShowHeaderIcon(page);
      return TRUE;
    case kDpiChangedAfterParent:
      // Another display scale: the system rescales the page and its font, not its icon.
      ShowHeaderIcon(page);
      g_progressPage.fitChars = CountFittingChars(page, IDC_SOURCE_TEXT);
      return FALSE;
    case WM_DESTROY:
      // Torn down while a job runs (the sheet cannot be closed then, but windows can be destroyed
      // from outside): the job is asked to stop and rolls back; ShowPropertySheet waits for it.
      if (g_progressPage.unpacking && g_workerState.workerThread != nullptr) g_workerState.stopRequested = 1;
      KillTimer(page, IDT_STOP_TIMER);
      ResetProgressDisplay(page);
      g_progressPage.page = nullptr;
      return FALSE;
    case WM_NOTIFY:
      return Notify(page, reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_TIMER:
      if (wParam == IDT_STOP_TIMER) {
        KillTimer(page, IDT_STOP_TIMER);
        ForceEndWorker(page);
      }
      if (wParam == IDT_REDRAW_TIMER) RedrawTimerElapsed(page);
      return FALSE;
    case UM_JOB_FINISHED:
      JobFinished(page, wParam);
      return TRUE;
    case UM_QUESTION:
      Question(page, wParam, lParam);
      return TRUE;
    case UM_PROGRESS:
      Progress(page, wParam, lParam);
      return TRUE;
    case UM_OUTPUT_FAILED:
      OutputFailed(page, wParam, lParam);
      return TRUE;
    default:
      return FALSE;
  }
}
