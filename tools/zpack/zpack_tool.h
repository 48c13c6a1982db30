#pragma once
// The zpack commands (create, list, test, extract, records, --version) as one function, so that tests can run them
// in-process; zpack_main.cpp is the executable around it. Returns the exit code: 0 success, 1 a failure
// of the work (damaged file, I/O error, refused entry), 2 a usage error.
#include <string>

int ZpackMain(int argc, char** argv);
// zpack records FILE: the records of one archive directory file (record_listing.cpp).
int ListRecords(const char* path);

namespace zpack {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct ExtractOptions {
  int codePage = 1252;
  bool overwrite = false;
};
// zpack extract (extract.cpp).
int Extract(const char* path, const char* targetDir, const ExtractOptions& options);

}  // namespace zpack
