// The free-space check of the job: the trailer's estimate plus a fixed margin against the free
// bytes of the target's drive or network share.
#include "engine/free_space.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/job_log.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "engine/unpack_job.h"

void TargetRoot(char* root, const char* targetDir) {
  char copy[kPathBuffer];
  CopyBounded(copy, kPathChars, targetDir);
  if (copy[0] != '\0' && copy[1] == ':') {
    root[0] = copy[0];
    std::strcpy(root + 1, ":\\");
    return;
  }
  const size_t length = static_cast<size_t>(ShareRootEnd(copy) - copy);  // at most 260: the backslash fits
  std::memcpy(root, copy, length);
  root[length] = '\\';
  root[length + 1] = '\0';
}

MessageLParam PackRequiredSize(uint64_t required) {
  const uint32_t megabytes = static_cast<uint32_t>(required / 1048576u) & 0xFFFFu;
  const uint32_t rest = static_cast<uint32_t>((required % 1048576u) / 102400u);
  return static_cast<MessageLParam>((rest << 16) | megabytes);
}

int CheckFreeSpace() {
  const uint64_t required = static_cast<uint64_t>(g_trailer.unpackedSize) + kFreeSpaceMargin;
  char root[kRootBuffer];
  TargetRoot(root, g_jobSettings.targetDir);

  uint32_t sectorsPerCluster = 0;
  uint32_t bytesPerSector = 0;
  uint32_t freeClusters = 0;
  if (!OsGetDiskFreeSpace(root, &sectorsPerCluster, &bytesPerSector, &freeClusters)) {
    ReportJobStopWith(QuestionDriveNotReady, SetupErrorDriveNotReady, reinterpret_cast<MessageLParam>(root));
    return 0;
  }
  const uint64_t freeBytes =
      static_cast<uint64_t>(freeClusters) * static_cast<uint64_t>(bytesPerSector) * static_cast<uint64_t>(sectorsPerCluster);
  LogFreeSpace(root, freeBytes, required);
  if (freeBytes >= required) return 1;
  ReportJobStopWith(QuestionNotEnoughSpace, SetupErrorNoSpace, PackRequiredSize(required));
  return 0;
}
