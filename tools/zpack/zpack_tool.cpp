// zpack: makes, lists, tests and extracts packed files; the usage text below is the reference.
// Reading goes through the program's own trailer check, entry header reading and decompressor, so
// the tool exercises them on every packed file it looks at.
#include <sys/stat.h>
#include <sys/types.h>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "engine/explode.h"
#include "engine/packed_file.h"
#include "engine/signed_program.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tools/zpack/code_pages.h"
#include "tools/zpack/host_paths.h"
#include "tools/zpack/pack_writer.h"
#include "tools/zpack/packed_reading.h"
#include "tools/zpack/zpack_tool.h"
#include "z_version.h"

namespace fs = std::filesystem;
using namespace zpack;

namespace {

const char kHelp[] =
    "usage:\n"
    "  zpack create OUT --title TEXT --subdir \\ARCHIVE\\X [--ascii|--binary] [--dict 1024|2048|4096]\n"
    "               [--append-to FILE] [--time UNIXSECONDS] [--unpacked-size BYTES] [--codepage N] DIR\n"
    "      packs the tree DIR; OUT is written under a temporary name and renamed when complete\n"
    "  zpack list [--json] [--codepage N] FILE\n"
    "      the trailer and every entry (--json: as one JSON document, names in UTF-8)\n"
    "  zpack test [--codepage N] FILE\n"
    "      proves that every entry's stream decompresses to its end marker within its stored bytes and\n"
    "      that the entry walk ends at the trailer; the format has no checksum, so changed data that\n"
    "      still decompresses is not found here\n"
    "  zpack extract [--overwrite] [--codepage N] FILE DIR\n"
    "      recreates the entries below DIR; refuses (before writing anything) when files exist, unless\n"
    "      --overwrite; never writes through a symbolic link or reparse point already in DIR\n"
    "  zpack verify [--root ARCHIVEROOT] [--all-times] [--json] [--codepage N] FILE DIR\n"
    "      compares the installed tree DIR with the packed file; one line per finding: missing,\n"
    "      changed (content), type (file/directory), time (written; --all-times: created and accessed\n"
    "      too), attribute (read-only, hidden, system), extra (in DIR only), record (a record the\n"
    "      install's merge or the server changed later); archive.dat/.dir/.add are compared record by\n"
    "      record with the install's path rewriting applied for ARCHIVEROOT (default: the root in the\n"
    "      installed archive.add); names match ignoring case as on Windows. Exit 0 the tree matches,\n"
    "      1 findings, 2 the packed file or the tree cannot be read\n"
    "  zpack records RECORDFILE...\n"
    "      the records of archive.dat, archive.dir or archive.add files\n"
    "  zpack --version | --help\n"
    "\n"
    "Names in packed files are in a Windows code page: --codepage N (1250-1258, 932 or 936) names it;\n"
    "the default is 1252 (zpack.exe on Windows: the system's ANSI code page).\n"
    "\n"
    "exit codes (every command; verify as said above):\n"
    "  0  success\n"
    "  1  the work failed: a damaged or unreadable file, an I/O error, a refused entry\n"
    "  2  usage: the command line was not understood\n";

int Help() {
  std::fputs(kHelp, stdout);
  return kExitOk;
}

// "zpack: " and the message on standard error, with its own line end.
void PrintMessage(const char* format, va_list arguments) {
  std::fprintf(stderr, "zpack: ");
  std::vfprintf(stderr, format, arguments);
  std::fprintf(stderr, "\n");
}

int UsageError(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  PrintMessage(format, arguments);
  va_end(arguments);
  std::fprintf(stderr, "Try 'zpack --help'.\n");
  return kExitUsage;
}

int Failure(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  PrintMessage(format, arguments);
  va_end(arguments);
  return kExitFailed;
}

bool ParseNumber(const char* text, uint64_t limit, uint64_t* value) {
  if (*text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || text[0] == '-' || v > limit) return false;
  *value = v;
  return true;
}

// --codepage N: a usage error unless N is a known code page. Natively a double-byte one also makes the
// program's own path and record operations (the seam's model of the packing system) step by its
// characters, as they would on that system.
bool ParseCodePage(const char* text, int* codePage) {
  uint64_t number = 0;
  if (!ParseNumber(text, 65535, &number) || !IsKnownCodePage(static_cast<int>(number))) return false;
  *codePage = static_cast<int>(number);
#ifndef _WIN32
  OsSetDoubleByteCodePageForTests(IsDoubleByteCodePage(*codePage) ? static_cast<uint32_t>(*codePage) : 0);
#endif
  return true;
}

// The options and operands of list, test, extract and verify.
struct Arguments {
  std::vector<const char*> operands;
  int codePage = DefaultCodePage();
  bool overwrite = false;
  bool json = false;
  bool allTimes = false;
  std::string root;
  bool haveRoot = false;
};

// Reads argv[2..] for verb; allowed lists the options it takes. false after a usage message.
bool ParseArguments(const char* verb, int argc, char** argv, const std::set<std::string>& allowed,
                    size_t minOperands, size_t maxOperands, Arguments* args, int* status) {
  *status = kExitUsage;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
      args->operands.push_back(argv[i]);
      continue;
    }
    if (arg == "--help") {
      *status = Help();
      return false;
    }
    if (allowed.count(arg) == 0) {
      UsageError("%s: unknown option %s", verb, ShowArgument(argv[i]).c_str());
      return false;
    }
    const bool takesValue = arg == "--codepage" || arg == "--root";
    if (takesValue && i + 1 >= argc) {
      UsageError("%s: %s needs a value", verb, arg.c_str());
      return false;
    }
    if (arg == "--codepage") {
      if (!ParseCodePage(argv[++i], &args->codePage)) {
        UsageError("%s: --codepage must be a Windows code page 1250-1258, 932 or 936, not %s", verb,
                   ShowArgument(argv[i]).c_str());
        return false;
      }
    } else if (arg == "--root") {
      args->root = argv[++i];
      args->haveRoot = true;
    } else if (arg == "--overwrite") {
      args->overwrite = true;
    } else if (arg == "--json") {
      args->json = true;
    } else if (arg == "--all-times") {
      args->allTimes = true;
    }
  }
  if (args->operands.size() < minOperands) {
    UsageError("%s: %s missing", verb, minOperands - args->operands.size() > 1 ? "operands" : "an operand");
    return false;
  }
  if (args->operands.size() > maxOperands) {
    UsageError("%s: unexpected operand %s", verb, ShowArgument(args->operands[maxOperands]).c_str());
    return false;
  }
  return true;
}

// ---- create ----

// Read through the seam, as the program reads it; false when the seam cannot name the file.
bool IsSignedProgram(const std::string& path, bool* isSigned) {
  const std::string seamPath = SeamPath(path);
  if (seamPath.empty()) return false;
  const FileHandle file = OsOpenFile(seamPath.c_str(), FileOpenRead);
  *isSigned = file != kNoFile && HasCertificateTable(file) == 1;  // unopened: reported by the read that follows
  if (file != kNoFile) OsCloseFile(file);
  return true;
}

// Where create writes before the rename: beside the output, so that the rename stays on one file system.
std::string TemporaryBeside(const std::string& out) {
  fs::path path = HostPath(out);
#ifdef _WIN32
  const int pid = _getpid();
#else
  const int pid = static_cast<int>(getpid());
#endif
  fs::path name = HostPath("." + HostText(path.filename()) + ".zpack-" + std::to_string(pid));
  return HostText(path.parent_path() / name);
}

// Writes the whole packed file to an open temporary file; false with the system's reason.
bool WriteAll(std::FILE* file, const std::vector<uint8_t>& data, std::string* why) {
  bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), file) == data.size();
  ok = ok && std::fflush(file) == 0;
#ifndef _WIN32
  ok = ok && fsync(fileno(file)) == 0;
#endif
  if (!ok) *why = std::strerror(errno);
  return ok;
}

// What `zpack create` is asked to make.
struct CreateRequest {
  std::string dir, appendTo;
  TrailerInfo info;
  CollectOptions options;
  bool haveTitle = false, haveSubdir = false;
};

// One option of `zpack create`: its name, whether a value follows it, and what it sets. `take`
// gives kExitOk when it has taken the value, else the exit code of its usage error.
struct CreateOption {
  const char* name;
  bool takesValue;
  int (*take)(const char* value, CreateRequest* request);
};

const CreateOption kCreateOptions[] = {
    {"--title", true,
     [](const char* v, CreateRequest* r) {
       r->info.title = v;
       r->haveTitle = true;
       return kExitOk;
     }},
    {"--subdir", true,
     [](const char* v, CreateRequest* r) {
       r->info.subdirectory = v;
       r->haveSubdir = true;
       return kExitOk;
     }},
    {"--ascii", false,
     [](const char*, CreateRequest* r) {
       r->options.mode = ImplodeAscii;
       return kExitOk;
     }},
    {"--binary", false,
     [](const char*, CreateRequest* r) {
       r->options.mode = ImplodeBinary;
       return kExitOk;
     }},
    {"--dict", true,
     [](const char* v, CreateRequest* r) {
       uint64_t number = 0;
       if (!ParseNumber(v, 4096, &number) || (number != 1024 && number != 2048 && number != 4096))
         return UsageError("create: --dict must be 1024, 2048 or 4096, not %s", ShowArgument(v).c_str());
       r->options.dictionarySize = static_cast<unsigned>(number);
       return kExitOk;
     }},
    {"--append-to", true,
     [](const char* v, CreateRequest* r) {
       r->appendTo = v;
       return kExitOk;
     }},
    {"--time", true,
     [](const char* v, CreateRequest* r) {
       uint64_t number = 0;
       if (!ParseNumber(v, 0xFFFFFFFFull, &number))
         return UsageError("create: --time needs Unix seconds, not %s", ShowArgument(v).c_str());
       r->options.fixedTime = static_cast<int64_t>(number);
       return kExitOk;
     }},
    {"--unpacked-size", true,
     [](const char* v, CreateRequest* r) {
       uint64_t number = 0;
       if (!ParseNumber(v, 0xFFFFFFFFull, &number))
         return UsageError("create: --unpacked-size needs a byte count, not %s", ShowArgument(v).c_str());
       r->info.unpackedSizeOverride = static_cast<int64_t>(number);
       return kExitOk;
     }},
    {"--codepage", true,
     [](const char* v, CreateRequest* r) {
       if (!ParseCodePage(v, &r->options.codePage))
         return UsageError("create: --codepage must be a Windows code page 1250-1258, 932 or 936, not %s",
                           ShowArgument(v).c_str());
       return kExitOk;
     }},
};

// Reads the options and the directory after OUT. False with the exit code when the command ends
// here (a usage error, or --help).
bool ParseCreateArguments(int argc, char** argv, CreateRequest* request, int* exitCode) {
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      *exitCode = Help();
      return false;
    }
    const CreateOption* option = nullptr;
    for (const CreateOption& candidate : kCreateOptions)
      if (arg == candidate.name) option = &candidate;
    if (option != nullptr) {
      const char* value = nullptr;
      if (option->takesValue) {
        if (i + 1 >= argc) {
          *exitCode = UsageError("create: %s needs a value", option->name);
          return false;
        }
        value = argv[++i];
      }
      *exitCode = option->take(value, request);
      if (*exitCode != kExitOk) return false;
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      *exitCode = UsageError("create: unknown option %s", ShowArgument(arg.c_str()).c_str());
      return false;
    } else if (request->dir.empty()) {
      request->dir = arg;
    } else {
      *exitCode = UsageError("create: more than one directory given: %s", ShowArgument(arg.c_str()).c_str());
      return false;
    }
  }
  return true;
}

int Create(int argc, char** argv) {
  if (argc < 4) return UsageError("create: OUT, --title, --subdir and DIR are needed");
  std::string out = argv[2];
  CreateRequest request;
  request.options.codePage = DefaultCodePage();
  int exitCode = kExitOk;
  if (!ParseCreateArguments(argc, argv, &request, &exitCode)) return exitCode;
  const std::string& dir = request.dir;
  const std::string& appendTo = request.appendTo;
  TrailerInfo& info = request.info;
  const CollectOptions& options = request.options;
  const bool haveTitle = request.haveTitle, haveSubdir = request.haveSubdir;
  if (!haveTitle) return UsageError("create: --title missing");
  if (!haveSubdir) return UsageError("create: --subdir missing");
  if (dir.empty()) return UsageError("create: DIR missing");
  // The trailer's texts are stored in the packed file's code page like the names.
  if (!Utf8ToPacked(info.title, options.codePage, &info.title))
    return UsageError("create: the title cannot be written in code page %d: %s", options.codePage,
                      ShowArgument(info.title.c_str()).c_str());
  if (!Utf8ToPacked(info.subdirectory, options.codePage, &info.subdirectory))
    return UsageError("create: the subdirectory cannot be written in code page %d: %s", options.codePage,
                      ShowArgument(info.subdirectory.c_str()).c_str());
  if (info.title.size() > kMaxTitleLength)
    return UsageError("create: title longer than 80 characters: %s", ShowArgument(info.title.c_str()).c_str());
  if (info.subdirectory.size() > kMaxTitleLength || info.subdirectory.empty() || info.subdirectory[0] != '\\')
    return UsageError("create: subdirectory must begin with a backslash and have at most 80 characters: %s",
                      ShowArgument(info.subdirectory.c_str()).c_str());

  // The output must be writable before the tree is read; it appears only when complete.
  const std::string temporary = TemporaryBeside(out);
  std::FILE* file = OpenHostFile(temporary, "wb");
  if (file == nullptr) return Failure("cannot write %s: %s", ShowArgument(out.c_str()).c_str(), std::strerror(errno));
  auto abandon = [&](int status) {
    std::fclose(file);
    RemoveHostFile(temporary);
    return status;
  };

  std::vector<uint8_t> leading;
  bool appendToSigned = false;
  if (!appendTo.empty() && !IsSignedProgram(appendTo, &appendToSigned))
    return abandon(Failure("cannot read %s: %s", ShowArgument(appendTo.c_str()).c_str(), NoNarrowPath().c_str()));
  if (appendToSigned)
    return abandon(Failure("%s is signed: a packed file appended behind its signature breaks it; append to the "
                           "unsigned program, then sign the result", ShowArgument(appendTo.c_str()).c_str()));
  if (!appendTo.empty() && !ReadWholeFile(appendTo, &leading))
    return abandon(Failure("cannot read %s: %s", ShowArgument(appendTo.c_str()).c_str(), std::strerror(errno)));
  std::vector<PackEntry> entries;
  std::string error;
  if (!CollectTree(dir, options, &entries, &error)) return abandon(Failure("%s", error.c_str()));
  std::vector<uint8_t> packed = BuildPackedFile(entries, info, leading);
  const uint64_t packedSize = packed.size();
  if (packedSize > 0xFFFFFFFFull) return abandon(Failure("%s", "packed file would reach 4 GiB"));
  if (!WriteAll(file, packed, &error))
    return abandon(Failure("cannot write %s: %s", ShowArgument(out.c_str()).c_str(), error.c_str()));
  if (std::fclose(file) != 0) {
    error = std::strerror(errno);
    RemoveHostFile(temporary);
    return Failure("cannot write %s: %s", ShowArgument(out.c_str()).c_str(), error.c_str());
  }
  std::error_code ec;
  fs::rename(HostPath(temporary), HostPath(out), ec);
  if (ec) {
    RemoveHostFile(temporary);
    return Failure("cannot write %s: %s", ShowArgument(out.c_str()).c_str(), ec.message().c_str());
  }
  std::printf("%s: %zu entries, %zu bytes (first entry at %zu)\n", ShowArgument(out.c_str()).c_str(), entries.size(),
              packed.size(), leading.size());
  return kExitOk;
}

// ---- list, test ----

int List(const char* path, const Arguments& args) {
  if (args.json) return ListJson(path, args.codePage);
  PackedFile packed;
  bool valid = false;
  if (!OpenPacked(path, &packed, &valid)) return kExitFailed;
  const PackedFileTrailer& t = g_trailer;
  char magic[5] = {0};
  std::memcpy(magic, &t.magic, 4);
  for (int k = 0; k < 4; ++k) {
    if (magic[k] < 32 || magic[k] > 126) magic[k] = '?';
  }
  std::printf("file              %s (%" PRId64 " bytes)\n", ShowArgument(path).c_str(), packed.length);
  std::printf("trailer           %s\n", valid ? "valid" : "INVALID");
  std::printf("magic             \"%s\" (0x%08" PRIX32 ")\n", magic, t.magic);
  std::printf("reserved          %" PRIu32 "\n", t.reserved);
  std::printf("firstEntryOffset  %" PRIu32 " (0x%" PRIX32 ")\n", t.firstEntryOffset, t.firstEntryOffset);
  std::printf("entryCount        %" PRIu32 "\n", t.entryCount);
  std::printf("fileSize          %" PRIu32 "\n", t.fileSize);
  std::printf("unpackedSize      %" PRIu32 "\n", t.unpackedSize);
  std::printf("title             \"%s\"\n", ShowPacked(t.title, args.codePage).c_str());
  std::printf("subdirectory      \"%s\"\n", ShowPacked(t.subdirectory, args.codePage).c_str());
  if (!valid) return kExitFailed;
  std::printf("%-3s %-5s %8s %-10s %-35s %-35s %-35s %s\n", "#", "flags", "stored", "attributes", "created",
              "accessed", "written", "name");
  uint32_t index = 0;
  uint32_t walked = WalkEntries(packed.file, [&](EntryHeaderBuffer& b, int64_t) {
    const EntryHeader& h = b.header;
    char times[3][64];
    uint32_t values[3] = {h.creationTime, h.accessTime, h.writeTime};
    for (int k = 0; k < 3; ++k) {
      char date[40];
      FormatTime(values[k], date, sizeof date);
      std::snprintf(times[k], sizeof times[k], "%" PRIu32 " %s", values[k], date);
    }
    std::printf("%-3" PRIu32 " %-5u %8" PRIu32 " 0x%08" PRIX32 " %-35s %-35s %-35s %s\n", index++,
                static_cast<unsigned>(h.entryFlags), h.storedSize, h.attributes, times[0], times[1], times[2],
                ShowPacked(StoredName(b), args.codePage).c_str());
    return true;
  });
  return WalkComplete(walked) ? kExitOk : kExitFailed;
}

// What the format allows to prove without the installed tree: each stream decodes to its end
// marker within its stored bytes, and the entries end where the trailer begins.
int Test(const char* path, const Arguments& args) {
  PackedFile packed;
  bool valid = false;
  if (!OpenPacked(path, &packed, &valid) || !valid) return kExitFailed;
  int status = kExitOk;
  int64_t end = g_trailer.firstEntryOffset;
  uint32_t walked = WalkEntries(packed.file, [&](EntryHeaderBuffer& b, int64_t dataStart) {
    const EntryHeader& h = b.header;
    const std::string shown = ShowPacked(StoredName(b), args.codePage);
    end = dataStart + h.storedSize;
    if (!DataFits(packed, b, dataStart, args.codePage)) {
      status = kExitFailed;
      return false;
    }
    if (h.storedSize == 0) {
      std::printf("%-40s %s\n", shown.c_str(), (h.entryFlags & EntryIsDirectory) ? "directory" : "empty file");
      return true;
    }
    EntryStream stream;
    ExplodeResult result = ExplodeEntry(h.storedSize, &stream);
    std::printf("%-40s %8" PRIu32 " -> %8" PRIu64 " bytes  %s\n", shown.c_str(), h.storedSize, stream.total,
                ResultName(result));
    if (result != ExplodeOk) status = kExitFailed;
    return true;
  });
  if (!WalkComplete(walked)) status = kExitFailed;
  if (status == kExitOk && end != packed.length - static_cast<int64_t>(kTrailerSize)) {
    std::fprintf(stderr, "zpack: the last entry ends at %" PRId64 ", the trailer begins at %" PRId64 "\n", end,
                 packed.length - static_cast<int64_t>(kTrailerSize));
    status = kExitFailed;
  }
  if (status == kExitOk) {
    std::printf("%s: every entry decompresses to its end marker within its stored size, and the entries end at "
                "the trailer.\nNot checked: the content (the format has no checksum; 'zpack verify' compares "
                "with an installed tree).\n",
                ShowArgument(path).c_str());
  } else {
    std::printf("%s: ERRORS\n", ShowArgument(path).c_str());
  }
  return status;
}

}  // namespace

int ZpackMain(int argc, char** argv) {
  if (argc < 2) return UsageError("no command given");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") return Help();
  if (command == "--version") {
    if (argc != 2) return UsageError("--version: unexpected operand %s", ShowArgument(argv[2]).c_str());
    std::printf("zpack %s (%s)\n", Z_VERSION, Z_VERSION_INTERNAL);
    return kExitOk;
  }
  if (command == "create") return Create(argc, argv);
  Arguments args;
  int status = kExitUsage;
  if (command == "list") {
    if (!ParseArguments("list", argc, argv, {"--codepage", "--json"}, 1, 1, &args, &status)) return status;
    return List(args.operands[0], args);
  }
  if (command == "test") {
    if (!ParseArguments("test", argc, argv, {"--codepage"}, 1, 1, &args, &status)) return status;
    return Test(args.operands[0], args);
  }
  if (command == "extract") {
    if (!ParseArguments("extract", argc, argv, {"--codepage", "--overwrite"}, 2, 2, &args, &status)) return status;
    ExtractOptions options;
    options.codePage = args.codePage;
    options.overwrite = args.overwrite;
    return Extract(args.operands[0], args.operands[1], options);
  }
  if (command == "verify") {
    if (!ParseArguments("verify", argc, argv, {"--codepage", "--root", "--json", "--all-times"}, 2, 2, &args, &status))
      return status;
    VerifyOptions options;
    options.codePage = args.codePage;
    options.json = args.json;
    options.allTimes = args.allTimes;
    options.root = args.root;
    options.haveRoot = args.haveRoot;
    return Verify(args.operands[0], args.operands[1], options);
  }
  if (command == "records") {
    if (!ParseArguments("records", argc, argv, {}, 1, static_cast<size_t>(argc), &args, &status)) return status;
    status = kExitOk;
    for (const char* file : args.operands) {
      if (ListRecords(file) != 0) status = kExitFailed;
    }
    return status;
  }
  return UsageError("unknown command %s", ShowArgument(argv[1]).c_str());
}
