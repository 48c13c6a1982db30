// The modal property sheet: two pages, the program's own button texts and places, the About item
// in the system menu.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstring>

#include "discovery/job_settings.h"
#include "ui/message_texts.h"
#include "ui/property_sheet.h"
#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"

SheetState g_sheet;

namespace {

// PROPSHEETPAGEA with the header-title fields, PROPSHEETHEADERA with the watermark and header fields:
// the sizes of the version-2 records, without the activation-context field of later versions.
constexpr UINT kPageSizeV2 = offsetof(PROPSHEETPAGEA, pszHeaderSubTitle) + sizeof(LPCSTR);
constexpr UINT kHeaderSizeV2 = offsetof(PROPSHEETHEADERA, hbmHeader) + sizeof(HBITMAP);

char g_caption[256];

HPROPSHEETPAGE CreatePage(int templateId, DLGPROC procedure, DWORD flags, LPFNPSPCALLBACKA callback) {
  PROPSHEETPAGEA page;
  memset(&page, 0, sizeof page);
  page.dwSize = kPageSizeV2;
  page.dwFlags = flags;
  page.hInstance = static_cast<HINSTANCE>(g_jobSettings.instance);
  page.pszTemplate = MAKEINTRESOURCEA(templateId);
  page.pfnDlgProc = procedure;
  page.pfnCallback = callback;
  return CreatePropertySheetPageA(&page);
}

}  // namespace

void ShowPropertySheet(WindowHandle owner) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  g_sheet.pages[0] = CreatePage(IDD_PROGRESS_PAGE, ProgressPageProc, PSP_USECALLBACK, ProgressPageCallback);
  g_sheet.pages[1] = CreatePage(IDD_OPTIONS_PAGE, OptionsPageProc, PSP_DEFAULT, nullptr);

  PROPSHEETHEADERA& header = g_sheet.header;
  memset(&header, 0, sizeof header);
  header.dwSize = kHeaderSizeV2;
  header.dwFlags = PSH_USEICONID | PSH_USECALLBACK;
  header.hwndParent = static_cast<HWND>(owner);
  header.hInstance = static_cast<HINSTANCE>(g_jobSettings.instance);
  header.pszIcon = MAKEINTRESOURCEA(IDI_PROGRAM);
  LoadText(TextTitle, g_caption, sizeof g_caption);
  header.pszCaption = g_caption[0] != '\0' ? g_caption : nullptr;
  header.nPages = 2;
  header.nStartPage = 0;
  header.phpage = g_sheet.pages;
  header.pfnCallback = SheetCallback;

  PropertySheetA(&header);
  g_sheet.sheetWindow = nullptr;
  g_sheet.previousSheetProc = nullptr;
  // The sheet can only be closed while no job runs; should it be torn down all the same, the job
  // is still asked to stop and runs its own roll-back before the program may end.
  WaitForWorkerEnd();
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED) {
    InitializeSheet(sheet);
    return 1;
  }
  return 0;
}

void InitializeSheet(HWND sheet) {
  g_sheet.sheetWindow = sheet;
  g_sheet.previousSheetProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetWindowProc)));

  char text[256];
  LoadText(TextUnpackButton, text, sizeof text);
  SetDlgItemTextA(sheet, IDOK, text);
  LoadText(TextQuitButton, text, sizeof text);
  SetDlgItemTextA(sheet, IDCANCEL, text);

  RECT applyRect = {0, 0, 0, 0};
  RECT cancelRect = {0, 0, 0, 0};
  HWND apply = GetDlgItem(sheet, IDC_SHEET_APPLY);
  HWND cancel = GetDlgItem(sheet, IDCANCEL);
  if (apply != nullptr) GetWindowRect(apply, &applyRect);
  if (cancel != nullptr) GetWindowRect(cancel, &cancelRect);

  const int hidden[] = {IDC_SHEET_APPLY, IDC_SHEET_HELP};
  for (int id : hidden) {
    HWND button = GetDlgItem(sheet, id);
    if (button != nullptr) {
      ShowWindow(button, SW_HIDE);
      EnableWindow(button, FALSE);
    }
  }
  if (apply != nullptr && cancel != nullptr) {
    SetWindowPos(sheet, IDCANCEL, applyRect.left, applyRect.top);
    SetWindowPos(sheet, IDOK, cancelRect.left, cancelRect.top);
  }

  HMENU systemMenu = GetSystemMenu(sheet, FALSE);
  if (systemMenu != nullptr) {
    char format[256];
    char item[300];
    LoadText(TextAboutMenu, format, sizeof format);
    snprintf(item, sizeof item, format, kProgramName);
    InsertMenuA(systemMenu, 0, MF_BYPOSITION | MF_STRING, IDM_ABOUT, item);
    InsertMenuA(systemMenu, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  }
}

LRESULT CALLBACK SheetWindowProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSCOMMAND && wParam == IDM_ABOUT) {
    DialogBoxParamA(static_cast<HINSTANCE>(g_jobSettings.instance), MAKEINTRESOURCEA(IDD_ABOUT_BOX), sheet,
                    AboutBoxProc, 0);
    return 1;
  }
  return CallWindowProcA(g_sheet.previousSheetProc, sheet, message, wParam, lParam);
}

UINT CALLBACK ProgressPageCallback(HWND, UINT message, LPPROPSHEETPAGEA) {
  switch (message) {
    case PSPCB_CREATE:
      if (g_sheet.sheetWindow != nullptr) CenterWindow(g_sheet.sheetWindow);
      return 1;
    case PSPCB_RELEASE:
      g_sheet.sheetWindow = nullptr;
      return 1;
    default:
      return 0;
  }
}
