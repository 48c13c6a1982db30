// zpack: makes, lists, tests and extracts packed files (see zpack_tool.cpp).
#include "tools/zpack/zpack_tool.h"

#ifdef _WIN32
#include "tools/zpack/host_paths.h"

int wmain(int argc, wchar_t** argv) { return zpack::RunWithUtf8Arguments(argc, argv, ZpackMain); }
#else
int main(int argc, char** argv) { return ZpackMain(argc, argv); }
#endif
