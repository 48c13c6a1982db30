#pragma once
// Looking into the windows of another process (or of this one): finding the property sheet and the
// modal dialog on top of it, reading texts, pressing buttons, taking pictures of windows.
#include <windows.h>

#include <string>
#include <vector>

namespace probe {

// Top-level, visible "#32770" windows of the process (0: any process).
std::vector<HWND> ProcessDialogs(DWORD processId);
// The property sheet of the process: the dialog with a tab control of its own.
HWND FindSheet(DWORD processId);
// The enabled top-level dialog of the process other than the sheet (a message box, the About box,
// a file dialog), or nullptr.
HWND FindModalDialog(DWORD processId, HWND sheet);
// A message box's text (its static 0xFFFF), empty when the window has none.
std::string MessageBoxText(HWND box);
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// A control of the sheet's current page, else of the sheet itself.
HWND FindControl(HWND sheet, int id);
HWND CurrentPage(HWND sheet);
// Tab captions of the sheet's tab control, read through memory in the sheet's process.
std::vector<std::string> TabCaptions(HWND sheet);
// Presses a dialog button as a click would: WM_COMMAND with BN_CLICKED, posted.
void PressButton(HWND dialog, int id);
// Saves the screen area of the window as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::string& path);

}  // namespace probe
