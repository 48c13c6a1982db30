#pragma once
// A server installation for the locator tests: a scratch tree on drive C: (the Wine prefix's own drive
// under Wine, a mapped host folder natively), "brannix.ini" in the Windows directory, registry values,
// record files, packed files, and mapped network drives through the seam's replaceable query.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "discovery/tag_list.h"
#include "engine/records.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tools/zpack/pack_writer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

namespace zdisc {

typedef std::vector<uint8_t> Bytes;

inline void RemoveTree(const std::string& path) {
  OsFindData data;
  FindHandle find = OsFindFirst((path + "\\*.*").c_str(), &data);
  if (find != nullptr) {
    do {
      std::string name = data.name;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      OsSetAttributes(child.c_str(), kAttrNormal);
      if ((data.attributes & kAttrDirectory) != 0) {
        RemoveTree(child);
      } else {
        OsDeleteFile(child.c_str());
      }
    } while (OsFindNext(find, &data));
    OsFindClose(find);
  }
  OsRemoveDirectory(path.c_str());
}

// Creates every missing directory of a Windows path.
inline void MakeDirs(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') OsCreateDirectory(path.substr(0, i).c_str());
  }
}

inline void WriteBytes(const std::string& path, const Bytes& data) {
  size_t cut = path.find_last_of('\\');
  if (cut != std::string::npos && cut > 2) MakeDirs(path.substr(0, cut));
  FileHandle file = OsOpenFile(path.c_str(), FileOpenReadWriteTruncate);
  ASSERT_NE(file, kNoFile) << path;
  if (!data.empty()) ASSERT_EQ(OsWriteFile(file, data.data(), static_cast<uint32_t>(data.size())), (int32_t)data.size());
  OsCloseFile(file);
}

inline Bytes ReadBytes(const std::string& path) {
  Bytes data;
  FileHandle file = OsOpenFile(path.c_str(), FileOpenRead);
  if (file == kNoFile) return data;
  char block[4096];
  int32_t got;
  while ((got = OsReadFile(file, block, sizeof block)) > 0) data.insert(data.end(), block, block + got);
  OsCloseFile(file);
  return data;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// An archive directory record (type 1) with a name and a path, texts given in the OEM code page.
inline Bytes Record(const std::string& name, const std::string& path) {
  Bytes record(kRecordSize, 0);
  record[3] = 0x10;  // kind word 0x1000
  char* tags = reinterpret_cast<char*>(record.data()) + kRecordTagsOffset;
  if (!name.empty()) SetTagText(tags, kRecordTagsSize, name.c_str(), 90, TagName);
  if (!path.empty()) SetTagText(tags, kRecordTagsSize, path.c_str(), -1, TagPath);
  return record;
}

inline Bytes Records(const std::vector<std::pair<std::string, std::string>>& items) {
  Bytes all;
  for (const auto& item : items) {
    Bytes one = Record(item.first, item.second);
    all.insert(all.end(), one.begin(), one.end());
  }
  return all;
}

// A small packed file (a directory and one file), optionally behind leading bytes such as a program.
inline Bytes PackedFile(const std::string& title, const std::string& subdirectory, const Bytes& leading = {},
                        int64_t unpackedSize = -1) {
  std::vector<zpack::PackEntry> entries;
  entries.push_back(zpack::MakeDirectoryEntry("\\config", 1230768000u));
  entries.push_back(zpack::MakeFileEntry("\\config\\note.txt", Text("Archiv im BAS\r\n"), ImplodeAscii, 4096,
                                         1230768000u));
  zpack::TrailerInfo info;
  info.title = title;
  info.subdirectory = subdirectory;
  info.unpackedSizeOverride = unpackedSize;
  return zpack::BuildPackedFile(entries, info, leading);
}

// Replies of the network double: drive ("N:") -> remote name.
inline std::vector<std::pair<std::string, std::string>>& MappedDrives() {
  static std::vector<std::pair<std::string, std::string>> drives;
  return drives;
}

inline uint32_t QueryMappedDrive(const char* localName, char* remoteName, uint32_t* size) {
  for (const auto& drive : MappedDrives()) {
    if (!EqualNoCase(drive.first.c_str(), localName)) continue;
    if (drive.second.size() + 1 > *size) {
      *size = static_cast<uint32_t>(drive.second.size() + 1);
      return 234;  // more data
    }
    std::memcpy(remoteName, drive.second.c_str(), drive.second.size() + 1);
    return 0;
  }
  return 2250;  // not connected
}

// The installation's settings in the Windows directory and the registry, removed again afterwards.
class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    root_ = std::string("C:\\zdisc\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    MakeDirs("C:\\zdisc");
    RemoveTree(root_);
    MakeDirs(root_);
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    iniPath_ = std::string(windows) + "\\brannix.ini";
#else
    char host[] = "/tmp/zdiscovery-XXXXXX";
    host_ = mkdtemp(host);
    OsMapDriveForTests('C', host_.c_str());
    OsMapUncRootForTests((host_ + "/unc").c_str());
    std::string mk = "mkdir -p '" + host_ + "/unc/SRV/SYS' '" + host_ + "/windows'";
    ASSERT_EQ(system(mk.c_str()), 0);
    OsSetWindowsDirectoryForTests("C:\\windows");
    OsClearRegistryForTests();
    OsSetComputerNameForTests("ZSERVER");
    root_ = "C:\\zdisc";
    MakeDirs(root_);
    iniPath_ = "C:\\windows\\brannix.ini";
#endif
    ClearSettings();
    MappedDrives().clear();
    OsSetNetworkConnectionQuery(QueryMappedDrive);
    std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
    g_jobSettings.platformIsNt = 1;
  }

  void TearDown() override {
    OsSetNetworkConnectionQuery(nullptr);
    ClearSettings();
    RemoveTree(root_);
#ifndef _WIN32
    std::string rm = "rm -rf '" + host_ + "'";
    if (system(rm.c_str()) != 0) ADD_FAILURE() << "cannot remove " << host_;
#endif
  }

  void ClearSettings() {
    SetRegistry(RegistryCurrentUser, "Software\\Brannix\\Zarpin32", "PackFile", nullptr);
    SetRegistry(RegistryLocalMachine, "SOFTWARE\\Brannix\\Zelvar", "RootDirectory", nullptr);
#ifdef _WIN32
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "brannix.ini");  // flush the profile cache
#endif
    OsDeleteFile(iniPath_.c_str());
  }

  // A value of "brannix.ini", section COMMON.
  void SetIni(const char* key, const char* value) { SetProfile(iniPath_, key, value); }

  // A value of any settings file (such as an installation's clients\setup.inf), section COMMON.
  void SetProfile(const std::string& file, const char* key, const char* value) {
#ifdef _WIN32
    size_t cut = file.find_last_of('\\');
    MakeDirs(file.substr(0, cut));
    ASSERT_TRUE(WritePrivateProfileStringA("COMMON", key, value, file.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
#else
    Bytes old = ReadBytes(file);
    std::string text(old.begin(), old.end());
    if (text.empty()) text = "[COMMON]\r\n";
    text += std::string(key) + "=" + value + "\r\n";
    WriteBytes(file, Text(text));
#endif
  }

  static void SetRegistry(RegistryRoot root, const char* key, const char* name, const char* value) {
#ifdef _WIN32
    HKEY base = root == RegistryLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY handle = nullptr;
    if (value == nullptr) {
      if (RegOpenKeyExA(base, key, 0, KEY_ALL_ACCESS, &handle) == ERROR_SUCCESS) {
        RegDeleteValueA(handle, name);
        RegCloseKey(handle);
      }
      return;
    }
    ASSERT_EQ(RegCreateKeyExA(base, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>(std::strlen(value) + 1)),
              ERROR_SUCCESS);
    RegCloseKey(handle);
#else
    OsSetRegistryStringForTests(root, key, name, value);
#endif
  }

  static std::string ComputerName() {
    char name[16] = "";
    OsGetComputerName(name, sizeof name);
    return name;
  }

  std::string At(const std::string& tail) const { return root_ + "\\" + tail; }

  std::string root_;
  std::string iniPath_;
#ifndef _WIN32
  std::string host_;
#endif
};

}  // namespace zdisc
