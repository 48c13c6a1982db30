// Paths between zpack's UTF-8 text and the system (see host_paths.h).
#include "tools/zpack/host_paths.h"

#include <cerrno>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "tools/zpack/zpack_tool.h"
#endif

namespace fs = std::filesystem;

namespace zpack {

#ifdef _WIN32

namespace {

// false for text that is not UTF-8: a replacement character would name another file.
bool Utf8ToWide(const std::string& utf8, std::wstring* wide) {
  wide->clear();
  if (utf8.empty()) return true;
  const int size = static_cast<int>(utf8.size());
  const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (count <= 0) return false;
  wide->resize(static_cast<size_t>(count));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &(*wide)[0], count) == count;
}

bool WideToCodePage(const std::wstring& wide, UINT codePage, DWORD flags, BOOL* usedDefault, std::string* out) {
  out->clear();
  if (wide.empty()) return true;
  const int size = static_cast<int>(wide.size());
  const int count = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, usedDefault);
  if (count <= 0) return false;
  out->resize(static_cast<size_t>(count));
  return WideCharToMultiByte(codePage, flags, wide.data(), size, &(*out)[0], count, nullptr, usedDefault) == count;
}

bool IsConsole(DWORD stream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

}  // namespace

bool WideToUtf8(const std::wstring& wide, std::string* utf8) {
  // Checked here: the conversion's own flag for it is missing before Windows Vista.
  for (size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) ++i;
    else if (c >= 0xD800 && c <= 0xDFFF) return false;
  }
  return WideToCodePage(wide, CP_UTF8, 0, nullptr, utf8);
}

fs::path HostPath(const std::string& utf8) {
  std::wstring wide;
  return Utf8ToWide(utf8, &wide) ? fs::path(wide) : fs::path();  // an empty path opens nothing
}

std::string HostText(const fs::path& path) {
  // A lone surrogate in a name becomes U+FFFD, which no code page of a packed file holds.
  std::string utf8;
  WideToCodePage(path.native(), CP_UTF8, 0, nullptr, &utf8);
  return utf8;
}

std::FILE* OpenHostFile(const std::string& utf8, const char* mode) {
  std::wstring path, wideMode;
  if (!Utf8ToWide(utf8, &path) || !Utf8ToWide(mode, &wideMode)) {
    errno = EINVAL;
    return nullptr;
  }
  return _wfopen(path.c_str(), wideMode.c_str());
}

int RemoveHostFile(const std::string& utf8) {
  std::wstring path;
  if (!Utf8ToWide(utf8, &path)) {
    errno = EINVAL;
    return -1;
  }
  return _wremove(path.c_str());
}

bool NarrowPath(const std::string& utf8, std::string* narrow) {
  std::wstring wide;
  if (!Utf8ToWide(utf8, &wide)) return false;
  const UINT ansi = GetACP();
  if (ansi == CP_UTF8) {  // a system set to UTF-8 takes no conversion flags
    *narrow = utf8;
    return true;
  }
  // No best fit: "ĉ" must not become the "c" of another file.
  BOOL usedDefault = FALSE;
  std::string out;
  if (!WideToCodePage(wide, ansi, WC_NO_BEST_FIT_CHARS, &usedDefault, &out) || usedDefault) return false;
  *narrow = out;
  return true;
}

std::string NoNarrowPath() {
  return "its name cannot be written in the ANSI code page " + std::to_string(GetACP());
}

int RunWithUtf8Arguments(int argc, wchar_t** argv, int (*run)(int, char**)) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    std::string utf8;
    if (!WideToUtf8(argv[i], &utf8)) {
      std::fprintf(stderr, "zpack: argument %d is not valid Unicode text\n", i);
      return kExitUsage;
    }
    arguments.push_back(utf8);
  }
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(&argument[0]);
  pointers.push_back(nullptr);
  // The output is UTF-8; a console shows it as text only with its output code page set so.
  const bool console = IsConsole(STD_OUTPUT_HANDLE) || IsConsole(STD_ERROR_HANDLE);
  const UINT previous = GetConsoleOutputCP();
  if (console) SetConsoleOutputCP(CP_UTF8);
  const int status = run(argc, pointers.data());
  std::fflush(stdout);
  std::fflush(stderr);
  if (console) SetConsoleOutputCP(previous);
  return status;
}

#else

fs::path HostPath(const std::string& utf8) { return fs::path(utf8); }

std::string HostText(const fs::path& path) { return path.native(); }

std::FILE* OpenHostFile(const std::string& utf8, const char* mode) { return std::fopen(utf8.c_str(), mode); }

int RemoveHostFile(const std::string& utf8) { return std::remove(utf8.c_str()); }

bool NarrowPath(const std::string& utf8, std::string* narrow) {
  *narrow = utf8;
  return true;
}

std::string NoNarrowPath() { return "its name cannot be given to the system"; }

#endif

}  // namespace zpack
