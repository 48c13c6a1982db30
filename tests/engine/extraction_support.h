#pragma once
// Shared by the record, extraction and path-display tests: a scratch folder in Windows form (a mapped
// drive natively, C:\ztest\... under Wine), file helpers through the seam, archive records, and a window
// that receives the job's messages (a real hidden window under Wine, the seam's handler natively).
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "discovery/tag_list.h"
#include "engine/records.h"
#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#include <unistd.h>

#include "platform/test_hooks.h"
#endif

namespace ztest {

typedef std::vector<uint8_t> Bytes;

inline void DeleteTreeForTests(const std::string& path) {
  OsFindData data;
  const std::string pattern = path + "\\*.*";
  FindHandle find = OsFindFirst(pattern.c_str(), &data);
  if (find != nullptr) {
    do {
      const std::string name = data.name;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      OsSetAttributes(child.c_str(), kAttrNormal);
      if ((data.attributes & kAttrDirectory) != 0) {
        DeleteTreeForTests(child);
      } else {
        OsDeleteFile(child.c_str());
      }
    } while (OsFindNext(find, &data));
    OsFindClose(find);
  }
  OsRemoveDirectory(path.c_str());
}

// A fresh, empty folder for one test, named in Windows form.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name) {
#ifdef _WIN32
    OsCreateDirectory("C:\\ztest");
    root_ = "C:\\ztest\\" + name;
    DeleteTreeForTests(root_);
    OsCreateDirectory(root_.c_str());
#else
    char host[] = "/tmp/zextract-XXXXXX";
    host_ = mkdtemp(host);
    OsMapDriveForTests('T', host_.c_str());
    root_ = "T:\\" + name;
    OsCreateDirectory(root_.c_str());
#endif
  }
  ~ScratchDir() {
    DeleteTreeForTests(root_);
#ifndef _WIN32
    std::string command = "rm -rf '" + host_ + "'";
    if (system(command.c_str()) != 0) {
    }
#endif
  }
  const std::string& path() const { return root_; }
  std::string operator/(const std::string& tail) const { return root_ + "\\" + tail; }

 private:
  std::string root_;
#ifndef _WIN32
  std::string host_;
#endif
};

inline bool ReadFileBytes(const std::string& path, Bytes* data) {
  FileHandle file = OsOpenFile(path.c_str(), FileOpenRead);
  if (file == kNoFile) return false;
  data->clear();
  char block[8192];
  int32_t got;
  while ((got = OsReadFile(file, block, sizeof block)) > 0) data->insert(data->end(), block, block + got);
  OsCloseFile(file);
  return got == 0;
}

inline bool WriteFileBytes(const std::string& path, const Bytes& data) {
  FileHandle file = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
  if (file == kNoFile) return false;
  const bool ok = data.empty() || OsWriteFile(file, data.data(), static_cast<uint32_t>(data.size())) ==
                                      static_cast<int32_t>(data.size());
  OsCloseFile(file);
  return ok;
}

inline Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// ---- archive records ----
typedef std::vector<std::pair<unsigned char, std::string>> TagItems;

// A record with recognisable bytes everywhere outside the tag list, and the given tag items.
inline Bytes MakeRecord(uint16_t flags, const TagItems& tags, uint8_t seed = 0x41) {
  Bytes record(kRecordSize);
  for (size_t k = 0; k < kRecordSize; ++k) record[k] = static_cast<uint8_t>(seed + k * 7);
  std::memcpy(record.data(), &flags, 2);
  const uint16_t kind = 0x1000 | 0x0003;  // type 1 and some other bits, all to be kept
  std::memcpy(record.data() + 2, &kind, 2);
  // The tag area: items, the end mark, then remains of longer earlier values.
  uint8_t* area = record.data() + kRecordTagsOffset;
  std::memset(area, 'r', kRecordTagsSize);
  size_t at = 0;
  for (const auto& item : tags) {
    area[at++] = 0;
    area[at++] = item.first;
    std::memcpy(area + at, item.second.data(), item.second.size());
    at += item.second.size();
  }
  area[at] = 0;
  area[at + 1] = 0;
  return record;
}

inline std::string RecordTag(const Bytes& record, size_t index, unsigned char tag) {
  char value[kRecordTagsSize];
  ReadRecordTag(reinterpret_cast<const char*>(record.data()) + index * kRecordSize, tag, value, sizeof value);
  return value;
}

inline uint16_t RecordFlags(const Bytes& records, size_t index) {
  uint16_t flags;
  std::memcpy(&flags, records.data() + index * kRecordSize, 2);
  return flags;
}

inline Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// ---- a window that receives the job's messages ----
typedef std::function<MessageResult(WindowHandle, uint32_t, MessageWParam, MessageLParam)> Handler;

class MessageWindow {
 public:
  MessageWindow() {
    current_ = this;
#ifdef _WIN32
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ZExtractionTestWindow";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "ZExtractionTestWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    control_ = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 300, 20, static_cast<HWND>(window_), nullptr,
                               GetModuleHandleA(nullptr), nullptr);
#else
    window_ = reinterpret_cast<WindowHandle>(0x5100);
    control_ = reinterpret_cast<WindowHandle>(0x5200);
    OsSetMessageHandlerForTests(Dispatch);
#endif
  }
  ~MessageWindow() {
#ifdef _WIN32
    DestroyWindow(static_cast<HWND>(window_));
#else
    OsSetMessageHandlerForTests(nullptr);
#endif
    current_ = nullptr;
  }
  WindowHandle window() const { return window_; }
  WindowHandle control() const { return control_; }
  void OnMessage(Handler handler) { handler_ = std::move(handler); }
  std::string ControlText() const {
    char text[300] = "";
    OsGetWindowText(control_, text, sizeof text);
    return text;
  }

 private:
  static MessageResult Deliver(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam) {
    if (current_ == nullptr || !current_->handler_) return 0;
    return current_->handler_(window, message, wParam, lParam);
  }
#ifdef _WIN32
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER) return Deliver(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
  }
#else
  static MessageResult Dispatch(WindowHandle window, uint32_t message, MessageWParam wParam, MessageLParam lParam,
                                int) {
    return Deliver(window, message, wParam, lParam);
  }
#endif
  static inline MessageWindow* current_ = nullptr;
  WindowHandle window_;
  WindowHandle control_;
  Handler handler_;
};

}  // namespace ztest
