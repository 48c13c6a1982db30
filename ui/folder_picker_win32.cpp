// The folder picker: the system's old-style save dialog on template 106, whose hook takes the path
// from field 1088 so that a directory, not a file, is chosen.
#include <windows.h>
#include <commdlg.h>
#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "ui/locator_calls.h"
#include "ui/path_display.h"
#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"

FolderPickerState g_folderPicker;

void VolumePrefix(const char* path, char* prefix, size_t size) {
  UncToVolumeForm(path, prefix, size);
  char* colon = const_cast<char*>(FindChar(prefix, ':'));
  if (colon == nullptr) return;
  while (*colon == ':') ++colon;
  *colon = '\0';
}

int ChangeToNearestDirectory(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;
  char candidate[kPathBuffer];
  CopyBounded(candidate, kPathChars, path);
  if (candidate[1] == ':') {
    // Drive letters are taken in either case ("c:" is drive 3 like "C:").
    unsigned char letter = static_cast<unsigned char>(candidate[0]);
    if (letter >= 'a' && letter <= 'z') letter = static_cast<unsigned char>(letter - 'a' + 'A');
    const int drive = letter - 64;
    if (drive < 1 || drive > 26) return 0;
    const char root[3] = {static_cast<char>(letter), ':', '\0'};
    if (!SetCurrentDirectoryA(root)) return 0;
  }
  bool lastCandidate = false;
  while (!SetCurrentDirectoryA(candidate)) {
    if (lastCandidate) return 0;
    const size_t before = strlen(candidate);
    DirectoryPart(candidate, candidate);
    if (strlen(candidate) >= before) return 0;
    const char* last = LastChar(candidate);
    if (last != nullptr && *last == ':') {
      EnsureTrailingBackslash(candidate, kPathBuffer);
      lastCandidate = true;
    }
  }
  return 1;
}

UINT_PTR CALLBACK FolderPickerHook(HWND picker, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const OPENFILENAMEA* dialog = reinterpret_cast<const OPENFILENAMEA*>(lParam);
    g_folderPicker.fileBuffer = dialog->lpstrFile;
    g_folderPicker.fileBufferSize = dialog->nMaxFile;
    SetDlgItemTextA(picker, IDC_PICKER_PATH, dialog->lpstrFile);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK && g_folderPicker.fileBuffer != nullptr &&
      g_folderPicker.fileBufferSize > 0) {
    g_folderPicker.fileBuffer[0] = '\0';
    GetDlgItemTextA(picker, IDC_PICKER_PATH, g_folderPicker.fileBuffer, static_cast<int>(g_folderPicker.fileBufferSize));
    EndDialog(picker, 1);
    return TRUE;
  }
  return FALSE;
}

void FolderPicker(HWND page) {
  JobSettings& settings = g_jobSettings;
  char emptyText[2] = {'\0', '\0'};
  OPENFILENAMEA dialog;
  memset(&dialog, 0, sizeof dialog);
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = page;
  dialog.hInstance = static_cast<HINSTANCE>(settings.instance);
  dialog.lpstrFilter = emptyText;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = settings.targetDir;
  dialog.nMaxFile = kPathBuffer;
  dialog.lpstrInitialDir = settings.targetDir;
  dialog.lpstrDefExt = emptyText;
  dialog.lpfnHook = FolderPickerHook;
  dialog.lpTemplateName = MAKEINTRESOURCEA(IDD_FOLDER_PICKER);
  dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_NOTESTFILECREATE | OFN_NONETWORKBUTTON;

  const char* last = LastChar(settings.targetDir);
  if (last != nullptr && *last == ':') EnsureTrailingBackslash(settings.targetDir, kPathBuffer);

  char savedDirectory[kPathBuffer];
  savedDirectory[0] = '\0';
  GetCurrentDirectoryA(kPathBuffer, savedDirectory);
  savedDirectory[kPathChars] = '\0';
  ChangeToNearestDirectory(settings.targetDir);

  char previousTarget[kPathBuffer];
  CopyBounded(previousTarget, kPathChars, settings.targetDir);

  const BOOL chosen = GetSaveFileNameA(&dialog);
  g_folderPicker.fileBuffer = nullptr;
  g_folderPicker.fileBufferSize = 0;
  ChangeToNearestDirectory(savedDirectory);
  if (!chosen) return;

  if (!EqualNoCase(settings.targetDir, previousTarget) && settings.archiveSubdir[0] != '\0') {
    char lastComponent[kNameBuffer];
    FileNamePart(lastComponent, settings.archiveSubdir);
    if (lastComponent[0] == '\\') {
      const size_t used = strlen(settings.targetDir);
      CopyToSize(settings.targetDir + used, kPathBuffer - used, lastComponent);
    } else {
      JoinPath(settings.targetDir, settings.targetDir, lastComponent, kPathBuffer);
    }
  }

  SetDlgItemTextA(page, IDC_TARGET_EDIT, settings.targetDir);
  DeriveInstallRoot();
  ShowFittedPath(page, IDC_HEADER_ROOT, settings.archiveRoot, 0);

  char newPrefix[kPathBuffer];
  char oldPrefix[kPathBuffer];
  VolumePrefix(settings.targetDir, newPrefix, sizeof newPrefix);
  VolumePrefix(previousTarget, oldPrefix, sizeof oldPrefix);
  if (!EqualNoCase(newPrefix, oldPrefix)) RefreshAfterSourceChange(page);
}
