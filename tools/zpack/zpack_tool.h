#pragma once
// The zpack commands (create, list, test, extract, records, --version) as one function, so that tests can run them
// in-process; zpack_main.cpp is the executable around it. The arguments are UTF-8 on every system.
// Returns the exit code: 0 success, 1 a failure of the work (damaged file, I/O error, refused entry),
// 2 a usage error.
#include <string>
#include <vector>

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
// The levels of an entry name below the target, in UTF-8; false with why when the name is not one
// that may be written below a target ("\" and plain names; no "..", colon or control character).
bool EntryLevels(const std::string& name, int codePage, std::vector<std::string>* levels, std::string* why);

struct VerifyOptions {
  int codePage = 1252;
  bool json = false;
  bool allTimes = false;  // creation and access times too
  std::string root;       // --root: the archive root the install used
  bool haveRoot = false;
};
// zpack verify (verify.cpp): 0 the tree matches, 1 findings, 2 the packed file or the tree unreadable.
int Verify(const char* packedPath, const char* treeDir, const VerifyOptions& options);

// zpack list --json (list_json.cpp).
int ListJson(const char* path, int codePage);

}  // namespace zpack
