#pragma once
// Shared by the job and worker tests: a scratch folder in Windows form (a mapped drive natively,
// C:\ztest\job\... under Wine), whole-tree snapshots with attributes, packed files made with the
// project's writer, the job settings of a test job, and a progress page double that records every
// private message and answers the questions (a real window under Wine, the seam's handler natively).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/extraction.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tools/zpack/pack_writer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

namespace jobtest {

typedef std::vector<uint8_t> Bytes;

inline void RemoveTree(const std::string& path) {
  OsFindData data;
  const std::string pattern = path + "\\*.*";
  FindHandle find = OsFindFirst(pattern.c_str(), &data);
  if (find != nullptr) {
    do {
      const std::string name = data.name;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      OsSetAttributes(child.c_str(), kAttrNormal);
      if ((data.attributes & kAttrDirectory) != 0 && (data.attributes & kAttrReparsePoint) == 0) {
        RemoveTree(child);
      } else if ((data.attributes & kAttrDirectory) != 0) {
        OsRemoveDirectory(child.c_str());
      } else {
        OsDeleteFile(child.c_str());
      }
    } while (OsFindNext(find, &data));
    OsFindClose(find);
  }
  OsSetAttributes(path.c_str(), kAttrDirectory);
  OsRemoveDirectory(path.c_str());
}

// A fresh, empty folder for one test, named in Windows form.
class Scratch {
 public:
  explicit Scratch(const std::string& name) {
#ifdef _WIN32
    OsCreateDirectory("C:\\ztest");
    OsCreateDirectory("C:\\ztest\\job");
    root_ = "C:\\ztest\\job\\" + name;
#else
    char host[] = "/tmp/zjob-XXXXXX";
    host_ = mkdtemp(host);
    OsMapDriveForTests('J', host_.c_str());
    root_ = "J:\\" + name;
#endif
    RemoveTree(root_);
    OsCreateDirectory(root_.c_str());
  }
  ~Scratch() {
    OsSetCurrentDirectory(Parent().c_str());
    RemoveTree(root_);
#ifndef _WIN32
    std::string command = "rm -rf '" + host_ + "'";
    if (system(command.c_str()) != 0) {
    }
#endif
  }
  const std::string& path() const { return root_; }
  std::string operator/(const std::string& tail) const { return root_ + "\\" + tail; }
  std::string Parent() const { return root_.substr(0, root_.rfind('\\')); }

 private:
  std::string root_;
#ifndef _WIN32
  std::string host_;
#endif
};

inline bool ReadBytes(const std::string& path, Bytes* data) {
  FileHandle file = OsOpenFile(path.c_str(), FileOpenRead);
  if (file == kNoFile) return false;
  data->clear();
  char block[8192];
  int32_t got;
  while ((got = OsReadFile(file, block, sizeof block)) > 0) data->insert(data->end(), block, block + got);
  OsCloseFile(file);
  return got == 0;
}

inline bool WriteBytes(const std::string& path, const Bytes& data) {
  FileHandle file = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
  if (file == kNoFile) return false;
  const bool ok = data.empty() || OsWriteFile(file, data.data(), static_cast<uint32_t>(data.size())) ==
                                      static_cast<int32_t>(data.size());
  OsCloseFile(file);
  return ok;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Deterministic data that compresses a little: words from a small vocabulary mixed with noise.
inline Bytes MixedData(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"Archiv ", "Eintrag ", "Zelvar ", "connect ", "\r\n", "0000 "};
  Bytes data;
  data.reserve(size);
  uint32_t state = seed * 2654435761u + 1;
  while (data.size() < size) {
    state = state * 1103515245u + 12345u;
    if ((state >> 16) % 4 == 0) {
      data.push_back(static_cast<uint8_t>(state >> 8));
    } else {
      const char* word = kWords[(state >> 20) % 6];
      for (const char* c = word; *c != '\0' && data.size() < size; ++c) data.push_back(static_cast<uint8_t>(*c));
    }
  }
  return data;
}

// ---- whole trees, byte for byte with attributes ----
struct Node {
  bool directory;
  uint32_t attributes;
  Bytes data;
  bool operator==(const Node& other) const {
    return directory == other.directory && attributes == other.attributes && data == other.data;
  }
};
typedef std::map<std::string, Node> Tree;

inline void SnapshotInto(const std::string& path, const std::string& relative, Tree* tree) {
  OsFindData data;
  const std::string pattern = path + "\\*.*";
  FindHandle find = OsFindFirst(pattern.c_str(), &data);
  if (find == nullptr) return;
  do {
    const std::string name = data.name;
    if (name == "." || name == "..") continue;
    const std::string child = path + "\\" + name;
    const std::string key = relative + "\\" + name;
    Node node{(data.attributes & kAttrDirectory) != 0, OsGetAttributes(child.c_str()), {}};
    if (node.directory) {
      (*tree)[key] = node;
      SnapshotInto(child, key, tree);
    } else {
      ReadBytes(child, &node.data);
      (*tree)[key] = node;
    }
  } while (OsFindNext(find, &data));
  OsFindClose(find);
}

// The tree below path; a missing directory gives an empty tree with the marker "<missing>".
inline Tree Snapshot(const std::string& path) {
  Tree tree;
  if (!OsDirectoryExists(path.c_str())) {
    tree["<missing>"] = Node{false, 0, {}};
    return tree;
  }
  SnapshotInto(path, "", &tree);
  return tree;
}

inline std::string Describe(const Tree& tree) {
  std::string text;
  for (const auto& item : tree) {
    char line[400];
    snprintf(line, sizeof line, "%s %s attr=%#x size=%zu\n", item.second.directory ? "D" : "F", item.first.c_str(),
             item.second.attributes, item.second.data.size());
    text += line;
  }
  return text;
}

// Names in a directory that look like a numbered backup of `name` (name.001 ... name.999).
inline std::vector<std::string> BackupsOf(const std::string& parent, const std::string& name) {
  std::vector<std::string> found;
  OsFindData data;
  const std::string pattern = parent + "\\*.*";
  FindHandle find = OsFindFirst(pattern.c_str(), &data);
  if (find == nullptr) return found;
  do {
    const std::string entry = data.name;
    if (entry.size() == name.size() + 4 && EqualNoCase(entry.substr(0, name.size()).c_str(), name.c_str()) &&
        entry[name.size()] == '.')
      found.push_back(entry);
  } while (OsFindNext(find, &data));
  OsFindClose(find);
  return found;
}

// ---- packed files ----
constexpr uint32_t kTime = 1230768000;  // 2009-01-01 00:00:00 UTC

inline zpack::PackEntry FileEntry(const std::string& name, const Bytes& data) {
  return zpack::MakeFileEntry(name, data, ImplodeBinary, 4096, kTime);
}
inline zpack::PackEntry DirectoryEntry(const std::string& name) { return zpack::MakeDirectoryEntry(name, kTime); }

// An entry whose stream the decompressor rejects (literal mode 7).
inline zpack::PackEntry BrokenEntry(const std::string& name) {
  zpack::PackEntry entry = FileEntry(name, Text("soon broken"));
  entry.stored.assign({0x07, 0x06, 0x55, 0xAA, 0x55, 0xAA});
  entry.originalSize = 11;
  return entry;
}

inline bool WritePackedFile(const std::string& path, const std::vector<zpack::PackEntry>& entries,
                            int64_t unpackedSize = -1) {
  zpack::TrailerInfo info;
  info.title = "Testarchiv";
  info.subdirectory = "\\ARCHIVE\\TEST\\connect";
  info.unpackedSizeOverride = unpackedSize;
  return WriteBytes(path, zpack::BuildPackedFile(entries, info));
}

// The job settings of a test job, everything else cleared.
inline void SetUpJob(const std::string& source, const std::string& target, bool setupCall = false,
                     const char* archiveRoot = "C:\\TESTROOT") {
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
#ifdef _WIN32
  g_jobSettings.instance = GetModuleHandleA(nullptr);
#endif
  CopyBounded(g_jobSettings.sourcePath, kPathChars, source.c_str());
  CopyBounded(g_jobSettings.targetDir, kPathChars, target.c_str());
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, archiveRoot);
  CopyBounded(g_jobSettings.archiveName, kNameChars, "Testarchiv");
  g_jobSettings.setupCall = setupCall ? 1 : 0;
  g_workerState.stopRequested = 0;
  g_workerState.progressWindow = nullptr;
}

// Free space reported by the test double of the free-space query.
struct FreeSpaceDouble {
  static inline std::atomic<int> fail{0};
  static inline std::atomic<uint64_t> freeClusters{0};
  static inline std::string lastRoot;
  static int Query(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector, uint32_t* clusters) {
    lastRoot = root;
    if (fail.load()) return 0;
    const uint64_t bytes = freeClusters.load();
    const bool large = bytes > 0xFFFFFFFFull;  // then in whole megabytes
    *sectorsPerCluster = large ? 256 : 1;
    *bytesPerSector = large ? 4096 : 1;
    *clusters = static_cast<uint32_t>(large ? bytes >> 20 : bytes);
    return 1;
  }
  explicit FreeSpaceDouble(uint64_t freeBytes, bool failing = false) {
    fail = failing ? 1 : 0;
    freeClusters = freeBytes;
    OsSetDiskFreeSpaceQuery(Query);
  }
  ~FreeSpaceDouble() { OsSetDiskFreeSpaceQuery(nullptr); }
};

// ---- the progress page double ----
struct Record {
  uint32_t message;
  MessageWParam wParam;
  MessageLParam lParam;
  std::string text;  // the text of a text lParam (directory, file name, root, output path)
};

class Page {
 public:
  // Answers, as the progress page writes them.
  std::atomic<int32_t> targetExistsAnswer{1};  // type 6: 2 Yes, 1 No, 0 Cancel
  std::atomic<int32_t> outputFailedAnswer{3};  // UM_OUTPUT_FAILED: 3 abort, 4 retry, 5 ignore
  // Called after a message has been recorded (on the page's thread under Wine).
  std::function<void(const Record&)> onMessage;

  Page() {
    current_ = this;
#ifdef _WIN32
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ZJobTestPage";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "ZJobTestPage", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    for (int id : {1014, 1016}) {
      CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 300, 20, static_cast<HWND>(window_),
                      reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), GetModuleHandleA(nullptr), nullptr);
    }
#else
    window_ = reinterpret_cast<WindowHandle>(0x7100);
    OsSetMessageHandlerForTests(Dispatch);
#endif
  }
  ~Page() {
#ifdef _WIN32
    DestroyWindow(static_cast<HWND>(window_));
#else
    OsSetMessageHandlerForTests(nullptr);
#endif
    current_ = nullptr;
  }
  WindowHandle window() const { return window_; }

  std::vector<Record> Records() {
    std::lock_guard<std::mutex> hold(lock_);
    return records_;
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    records_.clear();
  }
  size_t Count(uint32_t message, int64_t wParam = -1) {
    std::lock_guard<std::mutex> hold(lock_);
    size_t n = 0;
    for (const Record& record : records_)
      if (record.message == message && (wParam < 0 || record.wParam == static_cast<MessageWParam>(wParam))) ++n;
    return n;
  }
  std::vector<Record> Of(uint32_t message) {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<Record> found;
    for (const Record& record : records_)
      if (record.message == message) found.push_back(record);
    return found;
  }
  std::string FieldText(int controlId) const {
    char text[300] = "";
    OsGetWindowText(OsGetDialogItem(window_, controlId), text, sizeof text);
    return text;
  }

  // Lets messages arrive (the test thread is the page's thread) until done() or the time is up.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (done()) return true;
      if (std::chrono::steady_clock::now() > end) return false;
#ifdef _WIN32
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
#else
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
#endif
    }
  }
  void PumpFor(int milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
  }

 private:
  MessageResult Receive(uint32_t message, MessageWParam wParam, MessageLParam lParam) {
    Record record{message, wParam, lParam, {}};
    const bool textParameter = (message == UM_PROGRESS && (wParam == ProgressDirectory || wParam == ProgressFileName ||
                                                            wParam == ProgressDeletingBackup || wParam == ProgressWaiting)) ||
                               (message == UM_QUESTION && wParam == QuestionDriveNotReady) ||
                               message == UM_OUTPUT_FAILED;
    if (textParameter && lParam != 0) record.text = reinterpret_cast<const char*>(lParam);
    if (message == UM_QUESTION && wParam != QuestionDriveNotReady && wParam != QuestionNotEnoughSpace && lParam != 0) {
      int32_t* answer = reinterpret_cast<int32_t*>(lParam);
      *answer = wParam == QuestionTargetExists ? targetExistsAnswer.load() : 1;
    }
    if (message == UM_OUTPUT_FAILED && wParam != 0) *reinterpret_cast<int32_t*>(wParam) = outputFailedAnswer.load();
    {
      std::lock_guard<std::mutex> hold(lock_);
      records_.push_back(record);
    }
    if (onMessage) onMessage(record);
    return 0;
  }
  static bool IsJobMessage(uint32_t message) { return message >= UM_JOB_FINISHED && message <= UM_OUTPUT_FAILED; }
#ifdef _WIN32
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (current_ != nullptr && window == current_->window_ && IsJobMessage(message))
      return current_->Receive(message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
  }
#else
  static MessageResult Dispatch(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam,
                                int) {
    if (current_ == nullptr || window != current_->window_ || !IsJobMessage(message)) return 0;
    return current_->Receive(message, wParam, lParam);
  }
#endif
  static inline Page* current_ = nullptr;
  WindowHandle window_;
  std::mutex lock_;
  std::vector<Record> records_;
};

}  // namespace jobtest
