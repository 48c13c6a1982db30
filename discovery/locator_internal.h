#pragma once
// Small pieces the locator's sources share.
#include <cstddef>
#include <cstdint>

// Length the joined path of JoinPath(dir, tail) would have.
size_t JoinedLength(const char* dir, const char* tail);
// JoinPath that refuses to cut: 0 and an empty dst when the joined path does not fit into size bytes.
int JoinPathWhole(char* dst, const char* dir, const char* tail, size_t size);
// Copies src into dst only when it fits whole; otherwise dst becomes empty and the result is 0.
int CopyWhole(char* dst, size_t size, const char* src);
// The UNC form of a path (VolumeToUncForm) only when it fits whole into dst (kPathBuffer bytes): the
// UNC form of a volume-form path is up to two characters longer, and cut it would name another
// directory. Otherwise dst is empty and the result is 0.
int VolumeToUncWhole(char* dst, const char* src);
// Length of the prefix of a UNC path made of the leading backslashes, the server name, the
// backslashes behind it, the share name and the backslashes behind that.
size_t UncRootLength(const char* path);
// Whether prefix is a case-insensitive prefix of path that ends where a path component ends.
int IsPathPrefixNoCase(const char* path, const char* prefix);
