#pragma once
// The free-space check of the job: the target's root and the space the archive needs.
#include <cstdint>

#include "platform/platform.h"

int CheckFreeSpace();
constexpr uint64_t kFreeSpaceMargin = 500000;  // bytes required on top of the trailer's unpackedSize
constexpr int kRootBuffer = 262;               // a 260-character path and the backslash that ends its root

// The root for the free-space query: "X:\" for a drive path, "\\server\share\" for a UNC path.
void TargetRoot(char* root, const char* targetDir);  // root: kRootBuffer bytes
// The lParam of question type 5: low 16 bits whole megabytes, high 16 bits the rest in 102,400-byte units.
MessageLParam PackRequiredSize(uint64_t required);
