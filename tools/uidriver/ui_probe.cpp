// Window probing for the UI driver and the user-interface tests.
#include "ui_probe.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace probe {

namespace {

struct DialogSearch {
  DWORD processId;
  std::vector<HWND>* found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->processId != 0 && owner != search->processId) return TRUE;
  if (!IsWindowVisible(window) || ClassName(window) != "#32770") return TRUE;
  search->found->push_back(window);
  return TRUE;
}

HWND DirectChildOfClass(HWND parent, const char* className) {
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == className) return child;
  }
  return nullptr;
}

}  // namespace

std::string ClassName(HWND window) {
  char name[128] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string WindowText(HWND window) {
  if (window == nullptr) return "";
  char text[4096] = "";
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                      &result);
  text[sizeof text - 1] = '\0';
  return text;
}

std::vector<HWND> ProcessDialogs(DWORD processId) {
  std::vector<HWND> found;
  DialogSearch search = {processId, &found};
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
  return found;
}

HWND FindSheet(DWORD processId) {
  for (HWND dialog : ProcessDialogs(processId)) {
    if (DirectChildOfClass(dialog, "SysTabControl32") != nullptr) return dialog;
  }
  return nullptr;
}

HWND FindModalDialog(DWORD processId, HWND sheet) {
  for (HWND dialog : ProcessDialogs(processId)) {
    if (dialog != sheet && IsWindowEnabled(dialog)) return dialog;
  }
  return nullptr;
}

std::string MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  if (text == nullptr || ClassName(text) != "Static") return "";
  if ((GetWindowLongA(text, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) return "";
  return WindowText(text);
}

HWND CurrentPage(HWND sheet) {
  DWORD_PTR page = 0;
  SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &page);
  return reinterpret_cast<HWND>(page);
}

HWND FindControl(HWND sheet, int id) {
  HWND page = CurrentPage(sheet);
  HWND control = page != nullptr ? GetDlgItem(page, id) : nullptr;
  return control != nullptr ? control : GetDlgItem(sheet, id);
}

std::vector<std::string> TabCaptions(HWND sheet) {
  std::vector<std::string> captions;
  HWND tabs = DirectChildOfClass(sheet, "SysTabControl32");
  if (tabs == nullptr) return captions;
  DWORD processId = 0;
  GetWindowThreadProcessId(tabs, &processId);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (process == nullptr) return captions;
  const SIZE_T bytes = sizeof(TCITEMA) + 256;
  char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
  if (remote != nullptr) {
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      TCITEMA item;
      memset(&item, 0, sizeof item);
      item.mask = TCIF_TEXT;
      item.pszText = remote + sizeof(TCITEMA);
      item.cchTextMax = 255;
      char text[256] = "";
      WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
      WriteProcessMemory(process, remote + sizeof(TCITEMA), text, sizeof text, nullptr);
      SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(remote));
      ReadProcessMemory(process, remote + sizeof(TCITEMA), text, 255, nullptr);
      text[255] = '\0';
      captions.push_back(text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return captions;
}

void PressButton(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool SaveWindowPicture(HWND window, const std::string& path) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool saved = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * height;
    BITMAPFILEHEADER file;
    memset(&file, 0, sizeof file);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    FILE* out = fopen(path.c_str(), "wb");
    if (out != nullptr) {
      saved = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              fwrite(bits, 1, imageSize, out) == imageSize;
      fclose(out);
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

}  // namespace probe
