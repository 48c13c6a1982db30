#pragma once
// Checks of a dialog (a sheet page, the About box) at the display scale: where its controls lie,
// whether their texts fit and whether an image fills its control. Each returns an empty text when
// the check holds, else what is wrong.
#include <windows.h>

#include <string>

namespace scale {

// Makes this process see real pixels at any scale (else Windows would scale what it reads).
void BecomeDpiAware();
// Dots per inch of the screen (96 at 100 %).
int ScreenDpi();
// Pixels at the screen's scale for a size given at 100 %.
int Scaled(int pixels);
// The control lies where its dialog units put it with the templates' font ("MS Sans Serif", 8 points)
// at the screen's scale: position in the dialog's client area and size, each within a pixel.
std::string CheckDialogUnits(HWND dialog, int id, int x, int y, int width, int height);
// No two visible controls of the dialog overlap, and each lies inside its client area.
std::string CheckLayout(HWND dialog);
// The control's text, drawn with the templates' font at the screen's scale, fits its width (an edit
// control's without its margins).
std::string CheckTextFits(HWND control);
// The control shows the path whole, or shortened to a head, "\...\" and a tail of it, and fits:
// never cut at the control's edge or wrapped at a blank. An edit control that shows lower case
// is compared in lower case.
std::string CheckPathShown(HWND control, const std::string& path);
// The image of a static control reaches 4 pixels from every edge: an image drawn for a smaller
// scale leaves bands of one colour around it.
std::string CheckImageFills(HWND control);

}  // namespace scale
