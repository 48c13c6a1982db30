#pragma once
// zpack's verbs called in the test's own process, as from a command line.
#include <string>
#include <vector>

#include "tools/zpack/zpack_tool.h"

inline int Zpack(std::vector<std::string> args) {
  args.insert(args.begin(), "zpack");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  return ZpackMain(static_cast<int>(args.size()), argv.data());
}
