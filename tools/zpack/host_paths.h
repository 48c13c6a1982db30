#pragma once
// Paths in zpack are UTF-8 text on every system (natively the file system's own bytes). These hand
// them to the system: on Windows through its wide functions, or, where only a narrow function takes
// them (the program's seam), as the same name in the ANSI code page.
#include <cstdio>
#include <filesystem>
#include <string>

namespace zpack {

std::filesystem::path HostPath(const std::string& utf8);
// A path's text as UTF-8 (natively the file system's bytes, which should be UTF-8).
std::string HostText(const std::filesystem::path& path);

std::FILE* OpenHostFile(const std::string& utf8, const char* mode);
int RemoveHostFile(const std::string& utf8);

// The path as the narrow functions take it: natively itself; on Windows its name in the ANSI code
// page. false when that code page cannot hold it: a substitute character would name another file.
bool NarrowPath(const std::string& utf8, std::string* narrow);
// Why NarrowPath refused, for a message that names the file.
std::string NoNarrowPath();

#ifdef _WIN32
// UTF-16 -> UTF-8; false for text that is not valid UTF-16 (a lone surrogate).
bool WideToUtf8(const std::wstring& wide, std::string* utf8);
// zpack.exe's start: runs run with the wide command line as UTF-8 arguments, with a console that it
// writes to switched to UTF-8 meanwhile.
int RunWithUtf8Arguments(int argc, wchar_t** argv, int (*run)(int, char**));
#endif

}  // namespace zpack
