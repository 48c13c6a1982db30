// Reading packed files for zpack's verbs (see packed_reading.h).
#include "tools/zpack/packed_reading.h"

#include "engine/signed_program.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "tools/zpack/code_pages.h"
#include "tools/zpack/host_paths.h"
#include "tools/zpack/pack_writer.h"
#ifndef _WIN32
#include "platform/test_hooks.h"
#endif

namespace fs = std::filesystem;

namespace zpack {

std::string SeamPath(const std::string& hostPath) {
#ifdef _WIN32
  std::string ansi;
  return NarrowPath(hostPath, &ansi) ? ansi : std::string();
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

namespace {
struct Civil {
  int64_t year, month, day;
  uint32_t hour, minute, second;
};
// Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
Civil CivilOf(uint32_t seconds) {
  int64_t days = seconds / 86400;
  uint32_t rest = seconds % 86400;
  days += 719468;
  int64_t era = days / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  Civil c;
  c.day = dayOfYear - (153 * mp + 2) / 5 + 1;
  c.month = mp < 10 ? mp + 3 : mp - 9;
  c.year = yearOfEra + era * 400 + (c.month <= 2 ? 1 : 0);
  c.hour = rest / 3600;
  c.minute = rest / 60 % 60;
  c.second = rest % 60;
  return c;
}
}  // namespace

void FormatTime(uint32_t seconds, char* out, size_t size) {
  Civil c = CivilOf(seconds);
  std::snprintf(out, size, "%04" PRId64 "-%02" PRId64 "-%02" PRId64 " %02u:%02u:%02u UTC", c.year, c.month, c.day,
                c.hour, c.minute, c.second);
}

std::string IsoTime(uint32_t seconds) {
  Civil c = CivilOf(seconds);
  char text[40];
  std::snprintf(text, sizeof text, "%04" PRId64 "-%02" PRId64 "-%02" PRId64 "T%02u:%02u:%02uZ", c.year, c.month,
                c.day, c.hour, c.minute, c.second);
  return text;
}

bool OpenPacked(const char* path, PackedFile* packed, bool* trailerValid) {
  const std::string seamPath = SeamPath(path);
  if (seamPath.empty() && *path != '\0') {
    std::fprintf(stderr, "zpack: cannot open %s: %s\n", ShowArgument(path).c_str(), NoNarrowPath().c_str());
    return false;
  }
  packed->file = OsOpenFile(seamPath.c_str(), FileOpenRead);
  if (packed->file == kNoFile) {
    // The seam gives no reason; the C library's open of the same file does.
    std::FILE* probe = OpenHostFile(path, "rb");
    const char* reason = probe == nullptr ? std::strerror(errno) : "cannot be opened";
    if (probe != nullptr) std::fclose(probe);
    std::fprintf(stderr, "zpack: cannot open %s: %s\n", ShowArgument(path).c_str(), reason);
    return false;
  }
  packed->length = PackedDataLength(packed->file);  // without a signed program's certificate table
  *trailerValid = ReadTrailer(packed->file) == 1;
  if (!*trailerValid) {
    std::fprintf(stderr, "zpack: %s: not a packed file: no valid trailer (file of %" PRId64
                 " bytes: magic %s, fileSize %" PRIu32 ")\n",
                 ShowArgument(path).c_str(), packed->length, g_trailer.magic == kPackedFileMagic ? "ok" : "wrong",
                 g_trailer.fileSize);
  }
  return true;
}

bool WalkComplete(uint32_t walked) {
  if (walked == g_trailer.entryCount) return true;
  std::fprintf(stderr, "zpack: the entries end after %" PRIu32 " of %" PRIu32 " (bad header or short file)\n",
               walked, g_trailer.entryCount);
  return false;
}

namespace {

struct StreamState {
  uint32_t remaining;
  EntryStream* stream;
};

uint32_t ReadStored(char* buffer, uint32_t* count, void* userParameter) {
  StreamState* state = static_cast<StreamState*>(userParameter);
  uint32_t want = *count < state->remaining ? *count : state->remaining;
  if (want == 0 || state->stream->stopped) return 0;
  int32_t got = ReadSource(buffer, want);
  if (got <= 0) {
    state->remaining = 0;
    return 0;
  }
  state->remaining -= static_cast<uint32_t>(got);
  return static_cast<uint32_t>(got);
}

void WriteToSink(char* buffer, uint32_t* count, void* userParameter) {
  StreamState* state = static_cast<StreamState*>(userParameter);
  EntryStream* stream = state->stream;
  if (stream->stopped) return;
  stream->total += *count;
  if (stream->sink && *count > 0 && !stream->sink(buffer, *count)) stream->stopped = true;
}

ExplodeWorkArea g_workArea;

}  // namespace

ExplodeResult ExplodeEntry(uint32_t storedSize, EntryStream* stream) {
  StreamState state{storedSize, stream};
  return explodeStream(ReadStored, WriteToSink, &g_workArea, &state);
}

const char* ResultName(ExplodeResult result) {
  switch (result) {
    case ExplodeOk: return "ok";
    case ExplodeBadDictionarySize: return "bad dictionary size in the stream header";
    case ExplodeBadLiteralMode: return "bad literal mode in the stream header";
    case ExplodeInputTooShort: return "stream shorter than its header";
    case ExplodeStreamError: return "damaged stream (ends before its end marker)";
    default: return "unknown decompressor result";
  }
}

bool DataFits(const PackedFile& packed, EntryHeaderBuffer& b, int64_t dataStart, int codePage) {
  if (dataStart + b.header.storedSize <= packed.length - static_cast<int64_t>(kTrailerSize)) return true;
  std::fprintf(stderr, "zpack: %s: stored data (%" PRIu32 " bytes) runs into the trailer or past the end\n",
               ShowPacked(StoredName(b), codePage).c_str(), b.header.storedSize);
  return false;
}

}  // namespace zpack
