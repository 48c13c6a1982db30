// Writing packed files (see pack_writer.h).
#include "tools/zpack/pack_writer.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "tools/zpack/code_pages.h"
#include "tools/zpack/host_paths.h"

namespace fs = std::filesystem;

namespace zpack {

namespace {

constexpr uint32_t kMagic = 0x3233505Au;  // "ZP32"
constexpr uint16_t kEntryIsDirectory = 0x0001;
constexpr uint16_t kEntryHasRecords = 0x0002;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const std::string& text, size_t fieldSize) {
  size_t length = std::min(text.size(), fieldSize - 1);
  out.insert(out.end(), text.begin(), text.begin() + static_cast<long>(length));
  out.insert(out.end(), fieldSize - length, 0);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

struct FileTimes {
  uint32_t creation = 0, access = 0, write = 0;
};

// Creation, access and write times as Unix seconds. The host keeps no creation time that stat
// reports outside Windows: there the write time stands in for it.
bool ReadTimes(const fs::path& path, FileTimes* times) {
#ifdef _WIN32
  struct _stat64 st;
  if (_wstat64(path.c_str(), &st) != 0) return false;
  times->creation = static_cast<uint32_t>(st.st_ctime);
#else
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  times->creation = static_cast<uint32_t>(st.st_mtime);
#endif
  times->access = static_cast<uint32_t>(st.st_atime);
  times->write = static_cast<uint32_t>(st.st_mtime);
  return true;
}

std::string Shown(const fs::path& path) { return ShowHost(HostText(path)); }

// A directory's identity, to find a link that leads back to a directory being packed.
std::string DirectoryIdentity(const fs::path& dir) {
#ifdef _WIN32
  std::error_code ec;
  fs::path canonical = fs::canonical(dir, ec);
  return ec ? HostText(dir) : HostText(canonical);
#else
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) return dir.native();
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
#endif
}

bool CollectDirectory(const fs::path& dir, const std::string& prefix, const CollectOptions& options,
                      std::vector<std::string>* ancestors, std::vector<PackEntry>* entries, std::string* error) {
  std::error_code ec;
  std::vector<std::pair<std::string, fs::path>> files, directories;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    std::string name;
    if (!Utf8ToPacked(HostText(path.filename()), options.codePage, &name)) {
      *error = Shown(path) + ": the name cannot be written in code page " + std::to_string(options.codePage);
      return false;
    }
    // Looked for in the host's UTF-8 name: in a double-byte code page a trail byte may be 0x5C.
    if (HostText(path.filename()).find_first_of("\\/:") != std::string::npos) {
      *error = "name not allowed in a packed file: " + Shown(path);
      return false;
    }
    std::error_code typeError;
    if (it->is_directory(typeError)) directories.emplace_back(name, path);
    else if (it->is_regular_file(typeError)) files.emplace_back(name, path);
    else std::fprintf(stderr, "zpack: skipped (neither file nor directory): %s\n", Shown(path).c_str());
  }
  if (ec) {
    *error = "cannot read directory " + Shown(dir) + ": " + ec.message();
    return false;
  }
  auto byName = [](const std::pair<std::string, fs::path>& a, const std::pair<std::string, fs::path>& b) {
    std::string la = Lower(a.first), lb = Lower(b.first);
    return la != lb ? la < lb : a.first < b.first;
  };
  std::sort(files.begin(), files.end(), byName);
  std::sort(directories.begin(), directories.end(), byName);

  auto timesOf = [&](const fs::path& path, FileTimes* times) {
    if (options.fixedTime >= 0) {
      times->creation = times->access = times->write = static_cast<uint32_t>(options.fixedTime);
      return true;
    }
    if (ReadTimes(path, times)) return true;
    *error = "cannot read the times of " + Shown(path) + ": " + std::strerror(errno);
    return false;
  };
  auto checkName = [&](const std::string& name) {
    if (name.size() <= kMaxNameLength) return true;
    *error = "entry name longer than 260 characters: " + EscapedUtf8(name, options.codePage);
    return false;
  };

  for (const auto& file : files) {
    std::string name = prefix + "\\" + file.first;
    if (!checkName(name)) return false;
    std::vector<uint8_t> data;
    if (!ReadWholeFile(HostText(file.second), &data)) {
      *error = "cannot read " + Shown(file.second) + ": " + std::strerror(errno);
      return false;
    }
    uint64_t size = data.size();
    if (size > 0xFFFFFFFFull) {
      *error = "file too large for a packed file: " + Shown(file.second);
      return false;
    }
    FileTimes times;
    if (!timesOf(file.second, &times)) return false;
    PackEntry entry = MakeFileEntry(name, data, options.mode, options.dictionarySize, times.write);
    entry.creationTime = times.creation;
    entry.accessTime = times.access;
    entries->push_back(std::move(entry));
  }
  for (const auto& directory : directories) {
    std::string name = prefix + "\\" + directory.first;
    if (!checkName(name)) return false;
    FileTimes times;
    if (!timesOf(directory.second, &times)) return false;
    PackEntry entry = MakeDirectoryEntry(name, times.write);
    entry.creationTime = times.creation;
    entry.accessTime = times.access;
    entries->push_back(std::move(entry));
    const std::string identity = DirectoryIdentity(directory.second);
    if (std::find(ancestors->begin(), ancestors->end(), identity) != ancestors->end()) {
      *error = "directory loop: " + Shown(directory.second) + " leads back to a directory that contains it";
      return false;
    }
    ancestors->push_back(identity);
    if (!CollectDirectory(directory.second, name, options, ancestors, entries, error)) return false;
    ancestors->pop_back();
  }
  return true;
}

}  // namespace

bool IsRecordFileName(const std::string& fileName) {
  std::string lower = Lower(fileName);
  return lower == "archive.dat" || lower == "archive.dir" || lower == "archive.add";
}

PackEntry MakeDirectoryEntry(const std::string& name, uint32_t time) {
  PackEntry entry;
  entry.name = name;
  entry.flags = kEntryIsDirectory;
  entry.attributes = kDirectoryAttributes;
  entry.creationTime = entry.accessTime = entry.writeTime = time;
  return entry;
}

PackEntry MakeFileEntry(const std::string& name, const std::vector<uint8_t>& data, ImplodeLiteralMode mode,
                        unsigned dictionarySize, uint32_t time) {
  PackEntry entry;
  entry.name = name;
  size_t slash = name.find_last_of("\\/");
  if (IsRecordFileName(slash == std::string::npos ? name : name.substr(slash + 1))) entry.flags = kEntryHasRecords;
  entry.attributes = kFileAttributes;
  entry.creationTime = entry.accessTime = entry.writeTime = time;
  entry.originalSize = data.size();
  if (!data.empty()) entry.stored = ImplodeBuffer(data.data(), data.size(), mode, dictionarySize);
  return entry;
}

uint32_t EstimateUnpackedSize(const std::vector<PackEntry>& entries) {
  uint64_t total = 0;
  for (const PackEntry& entry : entries) {
    if (entry.flags & kEntryIsDirectory) continue;
    total += (entry.originalSize + 4095) / 4096 * 4096;
  }
  return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(total);
}

void AppendEntry(std::vector<uint8_t>& out, const PackEntry& entry) {
  uint32_t headerSize = entry.headerSizeOverride >= 0 ? static_cast<uint32_t>(entry.headerSizeOverride)
                                                      : static_cast<uint32_t>(24 + entry.name.size());
  uint32_t storedSize = entry.storedSizeOverride >= 0 ? static_cast<uint32_t>(entry.storedSizeOverride)
                                                      : static_cast<uint32_t>(entry.stored.size());
  Put16(out, headerSize);
  Put16(out, entry.flags);
  Put32(out, storedSize);
  Put32(out, entry.attributes);
  Put32(out, entry.creationTime);
  Put32(out, entry.accessTime);
  Put32(out, entry.writeTime);
  out.insert(out.end(), entry.name.begin(), entry.name.end());
  out.insert(out.end(), entry.stored.begin(), entry.stored.end());
}

void AppendTrailer(std::vector<uint8_t>& out, uint32_t firstEntryOffset, uint32_t entryCount,
                   uint32_t unpackedSize, const TrailerInfo& info) {
  uint64_t fileSize = out.size() + kTrailerSize;
  Put32(out, kMagic);
  Put32(out, 0);
  Put32(out, info.firstEntryOffsetOverride >= 0 ? static_cast<uint32_t>(info.firstEntryOffsetOverride)
                                                : firstEntryOffset);
  Put32(out, info.entryCountOverride >= 0 ? static_cast<uint32_t>(info.entryCountOverride) : entryCount);
  Put32(out, info.fileSizeOverride >= 0 ? static_cast<uint32_t>(info.fileSizeOverride)
                                        : static_cast<uint32_t>(fileSize));
  Put32(out, info.unpackedSizeOverride >= 0 ? static_cast<uint32_t>(info.unpackedSizeOverride) : unpackedSize);
  PutText(out, info.title, 81);
  PutText(out, info.subdirectory, 81);
  out.insert(out.end(), 70, 0);
}

std::vector<uint8_t> BuildPackedFile(const std::vector<PackEntry>& entries, const TrailerInfo& info,
                                     const std::vector<uint8_t>& leading) {
  std::vector<uint8_t> out(leading);
  uint32_t firstEntryOffset = static_cast<uint32_t>(out.size());
  for (const PackEntry& entry : entries) AppendEntry(out, entry);
  AppendTrailer(out, firstEntryOffset, static_cast<uint32_t>(entries.size()), EstimateUnpackedSize(entries), info);
  return out;
}

bool CollectTree(const std::string& dir, const CollectOptions& options, std::vector<PackEntry>* entries,
                 std::string* error) {
  std::error_code ec;
  const fs::path root = HostPath(dir);
  if (!fs::is_directory(root, ec)) {
    *error = "not a directory: " + ShowHost(dir);
    return false;
  }
  std::vector<std::string> ancestors{DirectoryIdentity(root)};
  return CollectDirectory(root, "", options, &ancestors, entries, error);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data) {
  FILE* file = OpenHostFile(path, "rb");
  if (file == nullptr) return false;
  data->clear();
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) data->insert(data->end(), block, block + got);
  bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* file = OpenHostFile(path, "wb");
  if (file == nullptr) return false;
  bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), file) == data.size();
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

}  // namespace zpack
