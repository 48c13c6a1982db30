// zpack: makes, lists, tests and extracts packed files.
//   zpack create OUT --title TEXT --subdir \ARCHIVE\X [--ascii|--binary] [--dict 1024|2048|4096]
//                [--append-to FILE] [--time UNIXSECONDS] [--unpacked-size BYTES] DIR
//   zpack list FILE
//   zpack test FILE
//   zpack extract FILE DIR
//   zpack records RECORDFILE...   (archive.dat, archive.dir, archive.add)
//   zpack --version
// Reading goes through the program's own trailer check, entry header reading and decompressor, so
// the tool exercises them on every packed file it looks at.
#include <sys/stat.h>
#include <sys/types.h>
#ifdef _WIN32
#include <sys/utime.h>
#else
#include <utime.h>
#endif

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "engine/explode.h"
#include "engine/packed_file.h"
#include "engine/signed_program.h"
#include "platform/platform.h"
#include "tools/zpack/pack_writer.h"
#include "tools/zpack/zpack_tool.h"
#include "z_version.h"
#ifndef _WIN32
#include "platform/test_hooks.h"
#endif

namespace fs = std::filesystem;

namespace {

std::string SeamPath(const std::string& hostPath);

int Usage() {
  std::fprintf(stderr,
               "usage:\n"
               "  zpack create OUT --title TEXT --subdir \\ARCHIVE\\X [--ascii|--binary] [--dict 1024|2048|4096]\n"
               "               [--append-to FILE] [--time UNIXSECONDS] [--unpacked-size BYTES] DIR\n"
               "  zpack list FILE\n"
               "  zpack test FILE\n"
               "  zpack extract FILE DIR\n"
               "  zpack records RECORDFILE...\n"
               "  zpack --version\n");
  return 2;
}

int Fail(const char* format, const char* text) {
  std::fprintf(stderr, "zpack: ");
  std::fprintf(stderr, format, text);
  std::fprintf(stderr, "\n");
  return 1;
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

// ---- create ----

bool IsSignedProgram(const std::string& path) {
  const FileHandle file = OsOpenFile(SeamPath(path).c_str(), FileOpenRead);
  if (file == kNoFile) return false;  // reported by the read that follows
  const bool isSigned = HasCertificateTable(file) == 1;
  OsCloseFile(file);
  return isSigned;
}

int Create(int argc, char** argv) {
  if (argc < 4) return Usage();
  std::string out = argv[2];
  std::string dir, appendTo;
  zpack::TrailerInfo info;
  zpack::CollectOptions options;
  bool haveTitle = false, haveSubdir = false;
  for (int i = 3; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        Fail("%s needs a value", name);
        return nullptr;
      }
      return argv[++i];
    };
    uint64_t number = 0;
    if (arg == "--title") {
      const char* v = value("--title");
      if (v == nullptr) return 2;
      info.title = v;
      haveTitle = true;
    } else if (arg == "--subdir") {
      const char* v = value("--subdir");
      if (v == nullptr) return 2;
      info.subdirectory = v;
      haveSubdir = true;
    } else if (arg == "--ascii") {
      options.mode = ImplodeAscii;
    } else if (arg == "--binary") {
      options.mode = ImplodeBinary;
    } else if (arg == "--dict") {
      const char* v = value("--dict");
      if (v == nullptr) return 2;
      if (!ParseNumber(v, 4096, &number) || (number != 1024 && number != 2048 && number != 4096))
        return Fail("--dict must be 1024, 2048 or 4096, not %s", v);
      options.dictionarySize = static_cast<unsigned>(number);
    } else if (arg == "--append-to") {
      const char* v = value("--append-to");
      if (v == nullptr) return 2;
      appendTo = v;
    } else if (arg == "--time") {
      const char* v = value("--time");
      if (v == nullptr) return 2;
      if (!ParseNumber(v, 0xFFFFFFFFull, &number)) return Fail("--time needs Unix seconds, not %s", v);
      options.fixedTime = static_cast<int64_t>(number);
    } else if (arg == "--unpacked-size") {
      const char* v = value("--unpacked-size");
      if (v == nullptr) return 2;
      if (!ParseNumber(v, 0xFFFFFFFFull, &number)) return Fail("--unpacked-size needs a byte count, not %s", v);
      info.unpackedSizeOverride = static_cast<int64_t>(number);
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      return Fail("unknown option %s", arg.c_str());
    } else if (dir.empty()) {
      dir = arg;
    } else {
      return Fail("more than one directory given: %s", arg.c_str());
    }
  }
  if (!haveTitle || !haveSubdir || dir.empty()) return Usage();
  if (info.title.size() > zpack::kMaxTitleLength) return Fail("title longer than 80 characters: %s", info.title.c_str());
  if (info.subdirectory.size() > zpack::kMaxTitleLength || info.subdirectory.empty() || info.subdirectory[0] != '\\')
    return Fail("subdirectory must begin with a backslash and have at most 80 characters: %s",
                info.subdirectory.c_str());

  std::vector<uint8_t> leading;
  if (!appendTo.empty() && IsSignedProgram(appendTo))
    return Fail("%s is signed: a packed file appended behind its signature breaks it; append to the unsigned "
                "program, then sign the result", appendTo.c_str());
  if (!appendTo.empty() && !zpack::ReadWholeFile(appendTo, &leading)) return Fail("cannot read %s", appendTo.c_str());
  std::vector<zpack::PackEntry> entries;
  std::string error;
  if (!zpack::CollectTree(dir, options, &entries, &error)) return Fail("%s", error.c_str());
  std::vector<uint8_t> packed = zpack::BuildPackedFile(entries, info, leading);
  uint64_t packedSize = packed.size();
  if (packedSize > 0xFFFFFFFFull) return Fail("%s", "packed file would reach 4 GiB");
  if (!zpack::WriteWholeFile(out, packed)) return Fail("cannot write %s", out.c_str());
  std::printf("%s: %zu entries, %zu bytes (first entry at %zu)\n", out.c_str(), entries.size(), packed.size(),
              leading.size());
  return 0;
}

// ---- reading through the program's own code ----

// The seam takes Windows paths. On the Windows side a path is used as it is; natively the host's
// root is mapped as drive Z:, so /a/b is read as Z:\a\b.
std::string SeamPath(const std::string& hostPath) {
#ifdef _WIN32
  return hostPath;
#else
  static bool mapped = false;
  if (!mapped) {
    OsMapDriveForTests('Z', "/");
    mapped = true;
  }
  std::error_code ec;
  std::string absolute = fs::absolute(fs::path(hostPath), ec).string();
  if (ec) absolute = hostPath;
  std::string windows = "Z:";
  for (char c : absolute) windows += c == '/' ? '\\' : c;
  return windows;
#endif
}

void FormatTime(uint32_t seconds, char* out, size_t size) {
  // Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
  int64_t days = seconds / 86400;
  uint32_t rest = seconds % 86400;
  days += 719468;
  int64_t era = days / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  std::snprintf(out, size, "%04" PRId64 "-%02" PRId64 "-%02" PRId64 " %02u:%02u:%02u UTC", year, month, day,
                rest / 3600, rest / 60 % 60, rest % 60);
}

struct PackedFile {
  FileHandle file = kNoFile;
  int64_t length = -1;
  ~PackedFile() {
    if (file != kNoFile) OsCloseFile(file);
  }
};

// Opens the file and checks its trailer; prints why when it is not a packed file.
bool OpenPacked(const char* path, PackedFile* packed, bool* trailerValid) {
  packed->file = OsOpenFile(SeamPath(path).c_str(), FileOpenRead);
  if (packed->file == kNoFile) {
    Fail("cannot open %s", path);
    return false;
  }
  packed->length = PackedDataLength(packed->file);  // without a signed program's certificate table
  *trailerValid = ReadTrailer(packed->file) == 1;
  if (!*trailerValid) {
    std::fprintf(stderr, "zpack: %s: no valid trailer (file of %" PRId64 " bytes: magic %s, fileSize %" PRIu32 ")\n",
                 path, packed->length, g_trailer.magic == kPackedFileMagic ? "ok" : "wrong", g_trailer.fileSize);
  }
  return true;
}

// Walks the entries as the program does: each header at the previous entry's data start plus its
// storedSize. visit gets the header and the data start; false from it stops the walk.
template <typename Visit>
uint32_t WalkEntries(FileHandle file, Visit visit) {
  uint32_t walked = 0;
  if (OsSeekFile(file, g_trailer.firstEntryOffset, SeekFromStart) < 0) return 0;
  for (uint32_t i = 0; i < g_trailer.entryCount; ++i) {
    EntryHeaderBuffer buffer;
    if (ReadEntryHeader(file, &buffer) != EntryRead) break;
    int64_t dataStart = OsSeekFile(file, 0, SeekFromCurrent);
    ++walked;
    if (!visit(buffer, dataStart)) break;
    if (OsSeekFile(file, dataStart + buffer.header.storedSize, SeekFromStart) < 0) break;
  }
  return walked;
}

// One entry's stream: readBlock delivers exactly the stored bytes, then 0; writeBlock counts,
// checksums and (when extracting) writes the output.
struct StreamContext {
  FileHandle file = kNoFile;
  uint32_t remaining = 0;
  FILE* out = nullptr;
  uint64_t total = 0;
  uint32_t crc = 0;
  bool writeFailed = false;
};

uint32_t ReadStored(char* buffer, uint32_t* count, void* userParameter) {
  StreamContext* context = static_cast<StreamContext*>(userParameter);
  uint32_t want = *count < context->remaining ? *count : context->remaining;
  if (want == 0) return 0;
  int32_t got = OsReadFile(context->file, buffer, want);
  if (got <= 0) {
    context->remaining = 0;
    return 0;
  }
  context->remaining -= static_cast<uint32_t>(got);
  return static_cast<uint32_t>(got);
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void WriteOutput(char* buffer, uint32_t* count, void* userParameter) {
  StreamContext* context = static_cast<StreamContext*>(userParameter);
  context->total += *count;
  context->crc = Crc32(context->crc, reinterpret_cast<const uint8_t*>(buffer), *count);
  if (context->out != nullptr && *count > 0 && std::fwrite(buffer, 1, *count, context->out) != *count)
    context->writeFailed = true;
}

const char* ResultName(ExplodeResult result) {
  switch (result) {
    case ExplodeOk: return "ExplodeOk";
    case ExplodeBadDictionarySize: return "ExplodeBadDictionarySize";
    case ExplodeBadLiteralMode: return "ExplodeBadLiteralMode";
    case ExplodeInputTooShort: return "ExplodeInputTooShort";
    case ExplodeStreamError: return "ExplodeStreamError";
    default: return "unknown result";
  }
}

ExplodeWorkArea g_workArea;

// The file stands at the entry's data.
ExplodeResult ExplodeEntry(FileHandle file, uint32_t storedSize, StreamContext* context) {
  context->file = file;
  context->remaining = storedSize;
  return explodeStream(ReadStored, WriteOutput, &g_workArea, context);
}

// ---- list, test, extract ----

int List(const char* path) {
  PackedFile packed;
  bool valid = false;
  if (!OpenPacked(path, &packed, &valid)) return 1;
  const PackedFileTrailer& t = g_trailer;
  char magic[5] = {0};
  std::memcpy(magic, &t.magic, 4);
  for (int k = 0; k < 4; ++k) {
    if (magic[k] < 32 || magic[k] > 126) magic[k] = '?';
  }
  std::printf("file              %s (%" PRId64 " bytes)\n", path, packed.length);
  std::printf("trailer           %s\n", valid ? "valid" : "INVALID");
  std::printf("magic             \"%s\" (0x%08" PRIX32 ")\n", magic, t.magic);
  std::printf("reserved          %" PRIu32 "\n", t.reserved);
  std::printf("firstEntryOffset  %" PRIu32 " (0x%" PRIX32 ")\n", t.firstEntryOffset, t.firstEntryOffset);
  std::printf("entryCount        %" PRIu32 "\n", t.entryCount);
  std::printf("fileSize          %" PRIu32 "\n", t.fileSize);
  std::printf("unpackedSize      %" PRIu32 "\n", t.unpackedSize);
  std::printf("title             \"%s\"\n", t.title);
  std::printf("subdirectory      \"%s\"\n", t.subdirectory);
  if (!valid) return 1;
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
                EntryName(b));
    return true;
  });
  if (walked != t.entryCount) {
    std::fprintf(stderr, "zpack: the entries end after %" PRIu32 " of %" PRIu32 " (bad header or short file)\n",
                 walked, t.entryCount);
    return 1;
  }
  return 0;
}

// Checks that entry data stays in front of the trailer.
bool DataFits(const PackedFile& packed, const EntryHeaderBuffer& b, int64_t dataStart) {
  if (dataStart + b.header.storedSize <= packed.length - static_cast<int64_t>(zpack::kTrailerSize)) return true;
  std::fprintf(stderr, "zpack: %s: stored data (%" PRIu32 " bytes) runs into the trailer or past the end\n",
               EntryName(const_cast<EntryHeaderBuffer&>(b)), b.header.storedSize);
  return false;
}

int Test(const char* path) {
  PackedFile packed;
  bool valid = false;
  if (!OpenPacked(path, &packed, &valid)) return 1;
  if (!valid) return 1;
  int status = 0;
  uint32_t walked = WalkEntries(packed.file, [&](EntryHeaderBuffer& b, int64_t dataStart) {
    const EntryHeader& h = b.header;
    if (!DataFits(packed, b, dataStart)) {
      status = 1;
      return false;
    }
    if (h.storedSize == 0) {
      std::printf("%-40s %s\n", EntryName(b), (h.entryFlags & EntryIsDirectory) ? "directory" : "empty");
      return true;
    }
    StreamContext context;
    ExplodeResult result = ExplodeEntry(packed.file, h.storedSize, &context);
    std::printf("%-40s %-24s %8" PRIu32 " -> %8" PRIu64 " bytes  crc32 %08" PRIx32 "\n", EntryName(b),
                ResultName(result), h.storedSize, context.total, context.crc);
    if (result != ExplodeOk) status = 1;
    return true;
  });
  if (walked != g_trailer.entryCount) {
    std::fprintf(stderr, "zpack: the entries end after %" PRIu32 " of %" PRIu32 " (bad header or short file)\n",
                 walked, g_trailer.entryCount);
    status = 1;
  }
  std::printf("%s: %s\n", path, status == 0 ? "all entries ok" : "ERRORS");
  return status;
}

// An entry name is used below the target only when it is "\" followed by one or more plain names:
// no empty, "." or ".." level, no drive or other colon, no control characters.
bool SafeRelativePath(const char* name, fs::path* relative, std::string* why) {
  if (name[0] != '\\') {
    *why = "does not begin with a backslash";
    return false;
  }
  fs::path result;
  std::string component;
  for (const char* p = name + 1;; ++p) {
    if (*p == '\\' || *p == '/' || *p == '\0') {
      if (component.empty()) {
        *why = "has an empty level";
        return false;
      }
      if (component.find_first_not_of('.') == std::string::npos) {
        *why = "has a \".\" or \"..\" level";
        return false;
      }
      result /= component;
      component.clear();
      if (*p == '\0') break;
      continue;
    }
    if (*p == ':') {
      *why = "holds a colon (drive or stream name)";
      return false;
    }
    if (static_cast<unsigned char>(*p) < 32) {
      *why = "holds a control character";
      return false;
    }
    component += *p;
  }
  *relative = result;
  return true;
}

void SetHostTimes(const fs::path& path, const EntryHeader& h) {
#ifdef _WIN32
  struct _utimbuf times;
  times.actime = h.accessTime;
  times.modtime = h.writeTime;
  _wutime(path.c_str(), &times);
#else
  struct utimbuf times;
  times.actime = h.accessTime;
  times.modtime = h.writeTime;
  utime(path.c_str(), &times);
#endif
}

int Extract(const char* path, const char* targetDir) {
  PackedFile packed;
  bool valid = false;
  if (!OpenPacked(path, &packed, &valid)) return 1;
  if (!valid) return 1;
  std::error_code ec;
  fs::path target(targetDir);
  fs::create_directories(target, ec);
  if (!fs::is_directory(target, ec)) return Fail("cannot create %s", targetDir);
  int status = 0;
  std::vector<std::pair<fs::path, EntryHeader>> directories;
  uint32_t walked = WalkEntries(packed.file, [&](EntryHeaderBuffer& b, int64_t dataStart) {
    const EntryHeader& h = b.header;
    const char* name = EntryName(b);
    fs::path relative;
    std::string why;
    if (!SafeRelativePath(name, &relative, &why)) {
      std::fprintf(stderr, "zpack: entry \"%s\" skipped: its name %s\n", name, why.c_str());
      status = 1;
      return true;
    }
    fs::path out = target / relative;
    std::error_code error;
    if (h.entryFlags & EntryIsDirectory) {
      fs::create_directories(out, error);
      if (!fs::is_directory(out, error)) {
        std::fprintf(stderr, "zpack: cannot create directory %s\n", out.string().c_str());
        status = 1;
      } else {
        directories.emplace_back(out, h);
      }
      return true;
    }
    if (!DataFits(packed, b, dataStart)) {
      status = 1;
      return false;
    }
    fs::create_directories(out.parent_path(), error);
#ifdef _WIN32
    FILE* file = _wfopen(out.c_str(), L"wb");
#else
    FILE* file = std::fopen(out.c_str(), "wb");
#endif
    if (file == nullptr) {
      std::fprintf(stderr, "zpack: cannot create %s\n", out.string().c_str());
      status = 1;
      return true;
    }
    StreamContext context;
    context.out = file;
    ExplodeResult result = h.storedSize == 0 ? ExplodeOk : ExplodeEntry(packed.file, h.storedSize, &context);
    bool closed = std::fclose(file) == 0;
    if (result != ExplodeOk || context.writeFailed || !closed) {
      std::fprintf(stderr, "zpack: %s: %s%s\n", name, ResultName(result),
                   context.writeFailed || !closed ? ", write failed" : "");
      status = 1;
    }
    SetHostTimes(out, h);
    std::printf("%s (%" PRIu64 " bytes)\n", out.string().c_str(), context.total);
    return true;
  });
  // Directory times last: writing their contents has changed them.
  for (auto it = directories.rbegin(); it != directories.rend(); ++it) SetHostTimes(it->first, it->second);
  if (walked != g_trailer.entryCount) {
    std::fprintf(stderr, "zpack: the entries end after %" PRIu32 " of %" PRIu32 " (bad header or short file)\n",
                 walked, g_trailer.entryCount);
    status = 1;
  }
  return status;
}

}  // namespace

int ZpackMain(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "create") return Create(argc, argv);
  if (command == "list" && argc == 3) return List(argv[2]);
  if (command == "test" && argc == 3) return Test(argv[2]);
  if (command == "extract" && argc == 4) return Extract(argv[2], argv[3]);
  if (command == "records" && argc >= 3) {
    int status = 0;
    for (int i = 2; i < argc; ++i) status |= ListRecords(argv[i]);
    return status;
  }
  if (command == "--version" && argc == 2) {
    std::printf("zpack %s (%s)\n", Z_VERSION, Z_VERSION_INTERNAL);
    return 0;
  }
  return Usage();
}
