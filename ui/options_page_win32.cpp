// The options page (template 102): archive name, source file and target directory, with a file
// dialog for the source and the folder picker for the target. Every change of source or target
// lets the installation locator derive the dependent settings again.
#include <windows.h>
#include <commdlg.h>
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "ui/locator_calls.h"
#include "ui/message_texts.h"
#include "ui/path_display.h"
#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"

OptionsPageState g_optionsPage;

namespace {

void ShowHeader(HWND page) {
  SetDlgItemTextA(page, IDC_HEADER_NAME, g_jobSettings.archiveName);
  ShowFittedPath(page, IDC_HEADER_ROOT, g_jobSettings.archiveRoot, 0);
}

// Reads a field into a bounded buffer of maxChars characters plus the terminator.
void ReadField(HWND page, int controlId, char* buffer, int maxChars) {
  buffer[0] = '\0';
  GetDlgItemTextA(page, controlId, buffer, maxChars + 1);
}

void StoreFields(HWND page) {
  ReadField(page, IDC_NAME_EDIT, g_jobSettings.archiveName, kNameChars);
  ReadField(page, IDC_SOURCE_EDIT, g_jobSettings.sourcePath, kPathChars);
  ReadField(page, IDC_TARGET_EDIT, g_jobSettings.targetDir, kPathChars);
}

void DestroyIcons() {
  if (g_optionsPage.cabinetIcon != nullptr) DestroyIcon(g_optionsPage.cabinetIcon);
  if (g_optionsPage.folderIcon != nullptr) DestroyIcon(g_optionsPage.folderIcon);
  g_optionsPage.cabinetIcon = nullptr;
  g_optionsPage.folderIcon = nullptr;
}

// The page's icons at its display scale: the header's and the browse buttons' (16 pixels at 100 %).
void ShowIcons(HWND page) {
  const HINSTANCE instance = static_cast<HINSTANCE>(g_jobSettings.instance);
  const int size = ScaleForDpi(16, WindowDpi(page));
  ShowHeaderIcon(page);
  const OptionsPageState shown = g_optionsPage;  // destroyed once the buttons hold the new ones
  g_optionsPage.folderIcon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_FOLDER_OPEN), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  g_optionsPage.cabinetIcon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_CABINET_SMALL), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  SendDlgItemMessageA(page, IDC_SOURCE_BROWSE, BM_SETIMAGE, IMAGE_ICON,
                      reinterpret_cast<LPARAM>(g_optionsPage.cabinetIcon));
  SendDlgItemMessageA(page, IDC_TARGET_BROWSE, BM_SETIMAGE, IMAGE_ICON,
                      reinterpret_cast<LPARAM>(g_optionsPage.folderIcon));
  if (shown.cabinetIcon != nullptr) DestroyIcon(shown.cabinetIcon);
  if (shown.folderIcon != nullptr) DestroyIcon(shown.folderIcon);
}

void FillPage(HWND page) {
  ShowIcons(page);
  ShowHeader(page);
  SetDlgItemTextA(page, IDC_NAME_EDIT, g_jobSettings.archiveName);
  SetDlgItemTextA(page, IDC_SOURCE_EDIT, g_jobSettings.sourcePath);
  SetDlgItemTextA(page, IDC_TARGET_EDIT, g_jobSettings.targetDir);
  CheckDlgButton(page, IDC_ADJUST_TARGET, g_jobSettings.targetGiven == 0 ? BST_CHECKED : BST_UNCHECKED);
}

void NameEdited(HWND page) {
  ReadField(page, IDC_NAME_EDIT, g_jobSettings.archiveName, kNameChars);
  SetDlgItemTextA(page, IDC_HEADER_NAME, g_jobSettings.archiveName);
}

void SourceEdited(HWND page) {
  char field[kPathBuffer];
  ReadField(page, IDC_SOURCE_EDIT, field, kPathChars);
  if (EqualNoCase(field, g_jobSettings.sourcePath)) return;
  CopyBounded(g_jobSettings.sourcePath, kPathChars, field);
  RefreshAfterSourceChange(page);
}

void TargetEdited(HWND page) {
  char field[kPathBuffer];
  ReadField(page, IDC_TARGET_EDIT, field, kPathChars);
  if (EqualNoCase(field, g_jobSettings.targetDir)) return;
  CopyBounded(g_jobSettings.targetDir, kPathChars, field);
  DeriveInstallRoot();
  ShowFittedPath(page, IDC_HEADER_ROOT, g_jobSettings.archiveRoot, 0);
}

}  // namespace

void RefreshAfterSourceChange(HWND page) {
  DeriveTargetDir(0);
  ShowHeader(page);
  SetDlgItemTextA(page, IDC_NAME_EDIT, g_jobSettings.archiveName);
  SetDlgItemTextA(page, IDC_TARGET_EDIT, g_jobSettings.targetDir);
}

void SourceFileDialog(HWND page) {
  // One byte more than the loaded text can use, so the list always ends with two terminators.
  char filter[257];
  LoadText(TextSourceFilter, filter, 256);
  if (filter[0] == '\0') {
    memcpy(filter, "*.*\0", 5);
  } else {
    const size_t length = strlen(filter);
    for (size_t i = 0; i < length; ++i) {
      if (filter[i] == '|') filter[i] = '\0';
    }
    filter[length + 1] = '\0';
  }

  char defaultExtension[1] = {'\0'};
  OPENFILENAMEA dialog;
  memset(&dialog, 0, sizeof dialog);
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = page;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 2;
  dialog.lpstrFile = g_jobSettings.sourcePath;
  dialog.nMaxFile = kPathBuffer;
  dialog.lpstrDefExt = defaultExtension;
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOTESTFILECREATE | OFN_NONETWORKBUTTON;
  if (!GetOpenFileNameA(&dialog)) return;

  DefaultExtension(g_jobSettings.sourcePath, g_jobSettings.sourcePath, "EXE", kPathBuffer);
  SetDlgItemTextA(page, IDC_SOURCE_EDIT, g_jobSettings.sourcePath);
  RefreshAfterSourceChange(page);
}

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      FillPage(page);
      return TRUE;
    case WM_DESTROY:
      DestroyIcons();
      return TRUE;
    case kDpiChangedAfterParent:
      ShowIcons(page);
      return FALSE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code == static_cast<UINT>(PSN_KILLACTIVE)) {
        StoreFields(page);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (code == EN_KILLFOCUS) {
        if (id == IDC_NAME_EDIT) NameEdited(page);
        else if (id == IDC_SOURCE_EDIT) SourceEdited(page);
        else if (id == IDC_TARGET_EDIT) TargetEdited(page);
        else return FALSE;
        return TRUE;
      }
      if (code == BN_CLICKED) {
        if (id == IDC_SOURCE_BROWSE) SourceFileDialog(page);
        else if (id == IDC_TARGET_BROWSE) FolderPicker(page);
        else if (id == IDC_ADJUST_TARGET)
          g_jobSettings.targetGiven = IsDlgButtonChecked(page, IDC_ADJUST_TARGET) == BST_CHECKED ? 0 : 1;
        else return FALSE;
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}
