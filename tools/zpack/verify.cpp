// zpack verify: is the installed tree the archive that the packed file carries? Walks the entries
// against the tree, reading each installed file once while its entry decompresses (never both
// whole in memory), and compares the record files record by record with the install's rewriting
// applied through the engine's own record code.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/interrupted_run.h"
#include "engine/record_merge.h"
#include "engine/records.h"
#include "platform/platform.h"
#include "tools/zpack/code_pages.h"
#include "tools/zpack/installed_tree.h"
#include "tools/zpack/json_text.h"
#include "tools/zpack/packed_reading.h"
#include "tools/zpack/zpack_tool.h"

namespace zpack {

namespace {

constexpr int kNameTagChars = 90;    // the merge's bounds for the archive's own record
constexpr int kTitleTagChars = 95;
const char* const kClasses[] = {"missing", "changed", "type", "time", "attribute", "extra", "record", "interrupted"};
enum FindingClass { Missing, Changed, Type, Time, Attribute, Extra, Record, Interrupted, kClassCount };

struct Finding {
  FindingClass kind;
  std::string name;    // UTF-8, "\dir\file"
  std::string detail;  // UTF-8
};

struct TreeItem {
  std::string name;  // UTF-8, as the listing gives it
  bool directory = false;
  bool matched = false;
};
struct Listing {
  std::vector<TreeItem> items;
  std::map<std::string, size_t> byKey;
};

class Verifier {
 public:
  Verifier(const VerifyOptions& options) : options_(options) {}
  int Run(const char* packedPath, const char* treeDir);

 private:
  void Report(FindingClass kind, const std::string& name, const std::string& detail) {
    findings_.push_back(Finding{kind, name, detail});
    if (!options_.json) {
      std::printf("%-9s %s%s%s\n", kClasses[kind], ShowHost(name).c_str(), detail.empty() ? "" : ": ",
                  ShowHost(detail).c_str());
    }
  }
  // The packed file's code page bytes of a name in the tree.
  std::string TreeNameInCodePage(const std::string& name) const {
    std::string packed;
    return Utf8ToPacked(name, options_.codePage, &packed) ? packed : "\x01" + name;  // "\x01": matches no entry
  }
  Listing& ListingOf(const std::string& directory);
  // The installed path of an entry, matched level by level ignoring case; "" when missing.
  TreeItem* Find(const std::vector<std::string>& levels, std::string* path);
  bool DetermineRoot();
  void CompareFile(EntryHeaderBuffer& b, const std::string& name, const std::string& path, int recordKind,
                   bool ownRecordFile);
  void CompareTimesAndAttributes(const EntryHeader& h, const std::string& name, const InstalledFile& file);
  void FindExtras(const std::string& directory, const std::string& shownPrefix);
  void FindInterruptedRun();
  void Print(const char* packedPath, const char* treeDir, uint32_t checked);

  VerifyOptions options_;
  PackedFile packed_;
  std::string tree_;  // DIR
  std::map<std::string, Listing> listings_;
  std::vector<Finding> findings_;
  std::string rootFrom_;
  bool unreadable_ = false;
};

Listing& Verifier::ListingOf(const std::string& directory) {
  auto found = listings_.find(directory);
  if (found != listings_.end()) return found->second;
  Listing& listing = listings_[directory];
  std::vector<InstalledItem> items;
  if (!ListInstalled(directory, &items)) {
    std::fprintf(stderr, "zpack: verify: cannot list %s\n", ShowHost(directory).c_str());
    unreadable_ = true;
  }
  for (const InstalledItem& installed : items) {
    TreeItem item;
    item.name = installed.name;
    item.directory = installed.directory;
    listing.byKey.emplace(FoldedName(TreeNameInCodePage(item.name), options_.codePage), listing.items.size());
    listing.items.push_back(item);
  }
  return listing;
}

TreeItem* Verifier::Find(const std::vector<std::string>& levels, std::string* path) {
  std::string current = tree_;
  TreeItem* item = nullptr;
  for (size_t i = 0; i < levels.size(); ++i) {
    if (item != nullptr && !item->directory) return nullptr;
    Listing& listing = ListingOf(current);
    auto found = listing.byKey.find(FoldedName(levels[i], options_.codePage));
    if (found == listing.byKey.end()) return nullptr;
    item = &listing.items[found->second];
    current = InstalledChild(current, item->name);
  }
  *path = current;
  return item;
}

// Levels of a stored name, as bytes in the packed file's code page, split by whole characters.
std::vector<std::string> SplitName(const std::string& name, int codePage) {
  std::vector<std::string> levels;
  std::string level;
  for (size_t i = 1; i <= name.size();) {
    const size_t bytes = i < name.size() ? PackedCharBytes(name, i, codePage) : 1;
    if (i == name.size() || name[i] == '\\') {
      levels.push_back(level);
      level.clear();
    } else {
      level.append(name, i, bytes);
    }
    i += bytes;
  }
  return levels;
}

// The archive root for the record paths: --root, else the path of the installed archive.add's own record.
bool Verifier::DetermineRoot() {
  std::string root;
  if (options_.haveRoot) {
    if (!Utf8ToPacked(options_.root, options_.codePage, &root)) {
      std::fprintf(stderr, "zpack: verify: the archive root cannot be written in code page %d\n", options_.codePage);
      return false;
    }
    rootFrom_ = "--root";
  } else {
    std::string path;
    TreeItem* add = Find({"archive.add"}, &path);
    InstalledFile file;
    std::string why;
    const bool opened = add != nullptr && !add->directory && OpenInstalled(path, &file, &why);
    char record[kRecordSize];
    const bool read = opened && ReadInstalled(file, record, kRecordSize) == static_cast<int32_t>(kRecordSize);
    CloseInstalled(file);
    if (!read) return false;
    char oem[kRecordTagsSize + 1];
    ReadRecordTag(record, TagPath, oem, sizeof oem);
    char ansi[sizeof oem];
    OsOemToAnsi(oem, ansi);
    root = ansi;
    rootFrom_ = "the installed archive.add";
  }
  if (root.size() > static_cast<size_t>(kPathChars)) return false;
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, root.c_str());
  // The name the merge gives the archive's own record: the trailer's title (the setup call's default).
  CopyBounded(g_jobSettings.archiveName, kNameChars, g_trailer.title);
  return true;
}

// The tags of a record as tag -> value (tag lists are short; an unterminated list ends at the field).
std::map<int, std::string> TagsOf(const char* record) {
  std::map<int, std::string> tags;
  const char* p = record + kRecordTagsOffset;
  const char* end = p + kRecordTagsSize;
  while (p + 1 < end && p[0] == '\0' && p[1] != '\0') {
    const int tag = static_cast<unsigned char>(p[1]);
    const char* value = p + 2;
    const char* stop = value;
    while (stop < end && *stop != '\0') ++stop;
    tags.emplace(tag, std::string(value, stop));
    p = stop;
  }
  return tags;
}

std::string TagUtf8(const std::map<int, std::string>& tags, int tag) {
  auto found = tags.find(tag);
  if (found == tags.end()) return "";
  char ansi[kRecordTagsSize + 1];
  CopyBounded(ansi, kRecordTagsSize, found->second.c_str());
  OsOemToAnsi(ansi, ansi);
  return EscapedUtf8(ansi, 1252);
}

std::string RecordFinding(uint32_t index, const char* expected, const char* installed, FindingClass* kind) {
  const bool outsideTagsEqual =
      std::memcmp(expected, installed, kRecordTagsOffset) == 0 &&
      std::memcmp(expected + kRecordTagsOffset + kRecordTagsSize, installed + kRecordTagsOffset + kRecordTagsSize,
                  kRecordSize - kRecordTagsOffset - kRecordTagsSize) == 0;
  std::map<int, std::string> a = TagsOf(expected), b = TagsOf(installed);
  const std::string at = "record " + std::to_string(index);
  *kind = Record;
  if ((RecordWord(expected, kRecordFlagsOffset) & RecordSlotFree) != 0)
    return at + ": free slot reused (name \"" + TagUtf8(b, TagName) + "\")";
  std::map<int, std::string> aNoTitle = a, bNoTitle = b;
  aNoTitle.erase(TagTitle);
  bNoTitle.erase(TagTitle);
  if (outsideTagsEqual && aNoTitle == bNoTitle)
    return at + ": title \"" + TagUtf8(a, TagTitle) + "\" in the packed file, \"" + TagUtf8(b, TagTitle) +
           "\" installed";
  *kind = Changed;
  return at + " differs";
}

void Verifier::CompareFile(EntryHeaderBuffer& b, const std::string& name, const std::string& path, int recordKind,
                           bool ownRecordFile) {
  const EntryHeader& h = b.header;
  InstalledFile file;
  std::string why;
  if (!OpenInstalled(path, &file, &why)) {
    std::fprintf(stderr, "zpack: verify: cannot read %s%s%s\n", ShowHost(name).c_str(), why.empty() ? "" : ": ",
                 why.c_str());
    unreadable_ = true;
    return;
  }
  const int64_t installedSize = file.size;
  bool differs = false;
  uint64_t firstDifference = 0;
  uint64_t compared = 0;
  std::vector<std::string> recordFindings;
  std::vector<FindingClass> recordKinds;
  char installed[kExplodeBlockSize];
  // Records: whole records are rewritten as the install does, then compared one by one.
  char record[kRecordSize];
  uint32_t recordFill = 0, recordIndex = 0;
  int kind = recordKind;
  auto compareBytes = [&](const char* data, uint32_t size) {
    if (differs) return;
    int32_t got = size == 0 ? 0 : ReadInstalled(file, installed, size);
    if (got < 0) got = 0;
    for (int32_t i = 0; i < got; ++i) {
      if (data[i] != installed[i]) {
        differs = true;
        firstDifference = compared + static_cast<uint64_t>(i);
        return;
      }
    }
    compared += static_cast<uint64_t>(got);
    if (static_cast<uint32_t>(got) < size) {
      differs = true;
      firstDifference = compared;
    }
  };
  auto compareRecord = [&]() {
    char expected[kRecordSize];
    std::memcpy(expected, record, kRecordSize);
    const bool rewritten = kind >= 0;
    if (rewritten) RewriteRecordPaths(&kind, 1, expected);
    if (ownRecordFile && recordIndex == 0) StampOwnRecord(expected);  // as the merge stamps it
    char actual[kRecordSize];
    int32_t got = ReadInstalled(file, actual, kRecordSize);
    if (got != static_cast<int32_t>(kRecordSize)) {
      differs = true;  // the installed file ends early: a size finding
    } else if (std::memcmp(expected, actual, kRecordSize) != 0) {
      FindingClass findingKind;
      recordFindings.push_back(RecordFinding(recordIndex, expected, actual, &findingKind));
      recordKinds.push_back(findingKind);
    }
    compared += kRecordSize;
    ++recordIndex;
  };
  EntryStream stream;
  stream.sink = [&](const char* data, uint32_t size) {
    if (recordKind < 0) {
      compareBytes(data, size);
      return true;
    }
    while (size > 0) {
      const uint32_t take = std::min<uint32_t>(size, kRecordSize - recordFill);
      std::memcpy(record + recordFill, data, take);
      recordFill += take;
      data += take;
      size -= take;
      if (recordFill == kRecordSize) {
        compareRecord();
        recordFill = 0;
      }
    }
    return true;
  };
  ExplodeResult result = h.storedSize == 0 ? ExplodeOk : ExplodeEntry(h.storedSize, &stream);
  if (recordKind >= 0 && recordFill > 0) compareBytes(record, recordFill);  // a trailing part record, unchanged
  // Records that the install or the server added behind the packed ones.
  if (recordKind >= 0 && !differs && installedSize > static_cast<int64_t>(stream.total) &&
      (installedSize - static_cast<int64_t>(stream.total)) % kRecordSize == 0 && recordFill == 0) {
    char actual[kRecordSize];
    while (ReadInstalled(file, actual, kRecordSize) == static_cast<int32_t>(kRecordSize)) {
      std::map<int, std::string> tags = TagsOf(actual);
      recordFindings.push_back("record " + std::to_string(recordIndex++) + " added (name \"" +
                               TagUtf8(tags, TagName) + "\")");
      recordKinds.push_back(Record);
    }
  } else if (!differs && installedSize != static_cast<int64_t>(stream.total)) {
    differs = true;
  }
  if (!ownRecordFile) CompareTimesAndAttributes(h, name, file);  // the merge writes the own record later
  CloseInstalled(file);
  if (result != ExplodeOk) {
    std::fprintf(stderr, "zpack: verify: %s: %s\n", ShowHost(name).c_str(), ResultName(result));
    unreadable_ = true;
    return;
  }
  if (differs && installedSize != static_cast<int64_t>(stream.total)) {
    Report(Changed, name,
           "size " + std::to_string(stream.total) + " in the packed file, " + std::to_string(installedSize) +
               " installed");
  } else if (differs) {
    Report(Changed, name, "first difference at byte " + std::to_string(firstDifference));
  }
  for (size_t i = 0; i < recordFindings.size(); ++i) Report(recordKinds[i], name, recordFindings[i]);
}

std::string TimeText(uint64_t fileTime) {
  // Windows file time -> Unix seconds
  const int64_t unix = static_cast<int64_t>(fileTime / 10000000ull) - 11644473600ll;
  return unix >= 0 && unix <= 0xFFFFFFFFll ? IsoTime(static_cast<uint32_t>(unix)) : std::to_string(fileTime);
}

void Verifier::CompareTimesAndAttributes(const EntryHeader& h, const std::string& name, const InstalledFile& file) {
  if (file.haveTimes) {
    struct {
      const char* which;
      uint32_t stored;
      uint64_t installed;
      bool always;
    } times[] = {{"written", h.writeTime, file.write, true},
                 {"created", h.creationTime, file.creation, false},
                 {"accessed", h.accessTime, file.access, false}};
    for (const auto& t : times) {
      if (!t.always && !options_.allTimes) continue;
      if (&t == &times[1] && !file.haveCreation) continue;
      uint64_t expected = 0;
      if (!OsUnixTimeToFileTime(t.stored, &expected)) continue;
      if (expected / 10000000ull == t.installed / 10000000ull) continue;
      Report(Time, name,
             std::string(t.which) + " " + TimeText(expected) + " in the packed file, " + TimeText(t.installed) +
                 " installed");
    }
  }
  const uint32_t mask = file.comparable;
  if (file.attributes != kInvalidAttributes && (file.attributes & mask) != (h.attributes & mask)) {
    char text[80];
    std::snprintf(text, sizeof text, "attributes 0x%02" PRIX32 " in the packed file, 0x%02" PRIX32 " installed",
                  h.attributes & mask, file.attributes & mask);
    Report(Attribute, name, text);
  }
}

void Verifier::FindExtras(const std::string& directory, const std::string& shownPrefix) {
  Listing& listing = ListingOf(directory);
  for (TreeItem& item : listing.items) {
    const std::string shown = shownPrefix + "\\" + EscapedHostText(item.name);
    if (!item.matched) {
      Report(Extra, shown, item.directory ? "directory" : "");
    } else if (item.directory) {
      FindExtras(InstalledChild(directory, item.name), shown);
    }
  }
}

// A run into this tree that did not end by itself leaves its record beside the tree: the next run
// into it puts the tree right first.
void Verifier::FindInterruptedRun() {
  InstalledFile file;
  std::string why;
  if (!OpenInstalled(tree_ + kRunRecordSuffix, &file, &why)) return;
  char bytes[1024];
  const int32_t got = ReadInstalled(file, bytes, sizeof bytes);
  CloseInstalled(file);
  RunRecord record;
  if (got <= 0 || !ParseRunRecord(bytes, static_cast<size_t>(got), &record)) return;
  const std::string name = EscapedHostText(tree_.substr(tree_.find_last_of("\\/") + 1) + kRunRecordSuffix);
  std::string detail = std::string("an install that did not end (") + RunPhaseText(record.phase);
  if (record.backup[0] != '\0') detail += std::string(", backup ") + EscapedUtf8(record.backup, options_.codePage);
  Report(Interrupted, "..\\" + name, detail + "); the next run into it puts it right");
}

void Verifier::Print(const char* packedPath, const char* treeDir, uint32_t checked) {
  size_t counts[kClassCount] = {};
  for (const Finding& f : findings_) ++counts[f.kind];
  const std::string root = EscapedUtf8(g_jobSettings.archiveRoot, options_.codePage);
  if (options_.json) {
    std::printf("{\n  \"packedFile\": %s,\n  \"directory\": %s,\n  \"archiveRoot\": %s,\n  \"archiveRootFrom\": %s,\n"
                "  \"entriesChecked\": %" PRIu32 ",\n  \"counts\": {",
                JsonString(EscapedHostText(packedPath)).c_str(),
                JsonString(EscapedHostText(treeDir)).c_str(),
                rootFrom_.empty() ? "null" : JsonString(root).c_str(),
                rootFrom_.empty() ? "null" : JsonString(rootFrom_).c_str(), checked);
    for (int k = 0; k < kClassCount; ++k) std::printf("%s\"%s\": %zu", k == 0 ? "" : ", ", kClasses[k], counts[k]);
    std::printf("},\n  \"findings\": [");
    for (size_t i = 0; i < findings_.size(); ++i) {
      std::printf("%s\n    {\"class\": \"%s\", \"name\": %s, \"detail\": %s}", i == 0 ? "" : ",",
                  kClasses[findings_[i].kind], JsonString(findings_[i].name).c_str(),
                  JsonString(findings_[i].detail).c_str());
    }
    std::printf("%s]\n}\n", findings_.empty() ? "" : "\n  ");
    return;
  }
  std::printf("%" PRIu32 " entries checked: ", checked);
  for (int k = 0; k < kClassCount; ++k) std::printf("%s%zu %s", k == 0 ? "" : ", ", counts[k], kClasses[k]);
  std::printf("\n");
}

int Verifier::Run(const char* packedPath, const char* treeDir) {
  bool valid = false;
  if (!OpenPacked(packedPath, &packed_, &valid) || !valid) return kExitUsage;
  tree_ = treeDir;
  while (tree_.size() > 3 && (tree_.back() == '\\' || tree_.back() == '/')) tree_.pop_back();
  std::string why;
  if (!IsInstalledDirectory(tree_, &why)) {
    if (why.empty())
      std::fprintf(stderr, "zpack: verify: %s is not a readable directory\n", ShowArgument(treeDir).c_str());
    else
      std::fprintf(stderr, "zpack: verify: cannot read %s: %s\n", ShowArgument(treeDir).c_str(), why.c_str());
    return kExitUsage;
  }
  // The root is needed by the first record file; --root is taken at once.
  bool rootTried = false, rootKnown = false;
  auto takeRoot = [&]() {
    rootTried = true;
    rootKnown = DetermineRoot();
    if (!rootKnown) {
      std::fprintf(stderr, "zpack: verify: the archive root is unknown (no readable archive.add in %s): give --root\n",
                   ShowArgument(treeDir).c_str());
    } else if (!options_.json) {
      std::printf("archive root %s (from %s)\n", ShowPacked(g_jobSettings.archiveRoot, options_.codePage).c_str(),
                  rootFrom_.c_str());
    }
    return rootKnown;
  };
  if (options_.haveRoot && !takeRoot()) return kExitUsage;
  std::string path;
  uint32_t checked = 0;
  uint32_t walked = WalkEntries(packed_.file, [&](EntryHeaderBuffer& b, int64_t dataStart) {
    const EntryHeader& h = b.header;
    const std::string stored = StoredName(b);
    const std::string name = EscapedUtf8(stored, options_.codePage);
    ++checked;
    std::vector<std::string> unusedLevels;
    std::string why;
    if (!EntryLevels(stored, options_.codePage, &unusedLevels, &why)) {
      Report(Missing, name, "not installable: " + why);
      return true;
    }
    if (!DataFits(packed_, b, dataStart, options_.codePage)) {
      unreadable_ = true;
      return false;
    }
    const std::vector<std::string> levels = SplitName(stored, options_.codePage);
    TreeItem* item = Find(levels, &path);
    if (item == nullptr) {
      Report(Missing, name, "");
      return true;
    }
    item->matched = true;
    const bool isDirectory = (h.entryFlags & EntryIsDirectory) != 0;
    if (item->directory != isDirectory) {
      Report(Type, name, isDirectory ? "a file where the packed file has a directory"
                                     : "a directory where the packed file has a file");
      return true;
    }
    if (isDirectory) return true;
    int recordKind = RecordsNone;
    const char* const recordNames[] = {"archive.dat", "archive.dir", "archive.add"};
    if (h.entryFlags & EntryHasRecords) {
      for (int k = 0; k < 3; ++k) {
        if (EqualNoCase(levels.back().c_str(), recordNames[k])) recordKind = k;
      }
    }
    if (recordKind >= 0 && !rootTried && !takeRoot()) {
      unreadable_ = true;
      return false;
    }
    CompareFile(b, name, path, recordKind, recordKind == RecordsArchiveAdd && levels.size() == 1);
    return true;
  });
  if (!WalkComplete(walked)) unreadable_ = true;
  if (unreadable_) return kExitUsage;
  FindExtras(tree_, "");
  FindInterruptedRun();
  Print(packedPath, treeDir, checked);
  return findings_.empty() ? kExitOk : kExitFailed;
}

}  // namespace

int Verify(const char* packedPath, const char* treeDir, const VerifyOptions& options) {
  Verifier verifier(options);
  return verifier.Run(packedPath, treeDir);
}

}  // namespace zpack
