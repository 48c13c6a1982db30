// zpack: makes, lists, tests and extracts packed files (see zpack_tool.cpp).
#include "tools/zpack/zpack_tool.h"

int main(int argc, char** argv) { return ZpackMain(argc, argv); }
