#pragma once
// Windows side of the property sheet, its pages and dialogs. Only ui/*_win32.cpp and Win32 tests use it.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

// ---- sheet frame ----
struct SheetState {
  HPROPSHEETPAGE pages[2];  // 0 progress page, 1 options page
  PROPSHEETHEADERA header;
  HWND sheetWindow;         // from the sheet's initialisation until the progress page is released
  WNDPROC previousSheetProc;
};
extern SheetState g_sheet;

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);
void InitializeSheet(HWND sheet);
LRESULT CALLBACK SheetWindowProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam);
UINT CALLBACK ProgressPageCallback(HWND window, UINT message, LPPROPSHEETPAGEA page);

// ---- window placement ----
void CenterWindow(HWND window);
// Moves child to the screen point (x, y), in parent's client coordinates; size and Z order kept.
__declspec(dllexport) void SetWindowPos(HWND parent, HWND child, int x, int y);
// The same for the dialog's control with that id.
__declspec(dllexport) void SetWindowPos(HWND dialog, int controlId, int x, int y);

// ---- display scale ----
// Dots per inch of the window's display (96 at 100 %).
int WindowDpi(HWND window);
int ScaleForDpi(int pixels, int dpi);
// The About banner drawn for that scale (the caller deletes it).
HBITMAP LoadBannerForDpi(int dpi);
// The icon at size (pixels at 100 %) for that scale; kept for the process's life, never destroyed.
HICON IconForDpi(int iconId, int size, int dpi);
// The program icon of a page's header at the page's scale.
void ShowHeaderIcon(HWND page);
// Sent to child windows after their top-level window moved to a display of another scale.
constexpr UINT kDpiChangedAfterParent = 0x02E3;
constexpr UINT kDpiChanged = 0x02E0;

// ---- About box ----
INT_PTR CALLBACK AboutBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
extern const char kProgramName[];      // "Zarpex32"
extern const char kProgramVersion[];   // "6.50a"
extern const char kInternalVersion[];  // "0104"
extern const char kCopyrightNotice[];

// ---- options page ----
struct OptionsPageState {
  HICON cabinetIcon;  // icon 103 on button 1002
  HICON folderIcon;   // icon 104 on button 1006
};
extern OptionsPageState g_optionsPage;
INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void SourceFileDialog(HWND page);
// Derives again after a source change and shows the results (headers, name and target fields).
void RefreshAfterSourceChange(HWND page);

// ---- folder picker (old-style file dialog on template 106) ----
// Makes the path, or its nearest existing parent, the current directory. 1 on success.
int ChangeToNearestDirectory(const char* path);
struct FolderPickerState {
  char* fileBuffer;  // the OPENFILENAMEA's file buffer while the picker is open
  DWORD fileBufferSize;
};
extern FolderPickerState g_folderPicker;
void FolderPicker(HWND page);
UINT_PTR CALLBACK FolderPickerHook(HWND picker, UINT message, WPARAM wParam, LPARAM lParam);
// The volume prefix of a path for the "same drive or share" test: volume form cut after its first ":" run.
void VolumePrefix(const char* path, char* prefix, size_t size);

// ---- progress page ----
struct ProgressPageState {
  int fitChars;          // characters that fit in fields 1012 and 1014
  bool firstActivation;  // until the page is first activated
  bool unpacking;        // a job was started and has not reported its end
  bool cancelRequested;  // the user confirmed the cancel question
  HWND page;             // the page window while it exists
};
extern ProgressPageState g_progressPage;
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// State changes of the progress page and the sheet buttons that show them.
void EnterUnpackingState(HWND sheet);
void EnterIdleState(HWND sheet);
// Clamps a measured fit to what CompactPath takes (a signed 8-bit count; 0 shows the text unchanged).
signed char FitForDisplay(int fitChars);
// Waits until no worker runs any more (the sheet has closed during a job). Pumps nothing.
void WaitForWorkerEnd();

// The display of the job's reports: each is kept, and drawn at a human rate.
// Forgets what is kept; the next report is drawn at once.
void ResetProgressDisplay(HWND page);
// The bar's range (0 to high) and position 0, drawn at once.
void SetProgressRange(HWND page, int high);
// Kept and drawn when a redraw is due; the end position draws everything kept at once.
void ShowProgressPosition(HWND page, int position);
void ShowProgressDirectory(HWND page, const char* directory);
void ShowProgressFileName(HWND page, const char* name);
// A gathered report, drawn as one: the parts given (directory or name nullptr, position negative:
// not in the report) are kept, then all of them drawn together when a redraw is due.
void ShowGatheredProgress(HWND page, const char* directory, const char* name, int position);
// The two fields at the start of a display: the directory fitted, the file name as it is.
void ShowProgressFields(HWND page, const char* directory, const char* name);
// A note of the job in the two fields instead of a file (deleting the backup, waiting for another
// run): what is kept is drawn first, the note's path fitted like every other.
void ShowProgressNote(HWND page, const char* note, const char* path);
// The note is over: the fields show again what the reports had drawn before it.
void EndProgressNote(HWND page);
// Draws what is kept at once: before a question, at the job's end.
void ShowKeptProgress(HWND page);
// IDT_REDRAW_TIMER: draws what a pause in the reports has left undrawn.
void RedrawTimerElapsed(HWND page);
