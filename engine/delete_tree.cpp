// Deleting a directory tree as far as it goes, without following links out of it.
#include "engine/delete_tree.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/progress_messages.h"
#include "engine/unpack_job.h"

namespace {

void RemoveDirectoryWithRetry(const char* directory) {
  WaitWhileWorkerHeld();
  if (OsRemoveDirectory(directory)) return;
  // The process's current directory may lie inside it.
  char parent[kPathBuffer];
  if (!ParentDirectory(parent, directory)) return;
  OsSetCurrentDirectory(parent);
  OsRemoveDirectory(directory);
}

// work holds a directory path of `length` characters in a buffer of kPathBuffer bytes; names are
// appended to it in place and cut off again, so that it holds the same path on return.
void DeleteContents(char* work, size_t length) {
  size_t base = length;
  if (!EndsWithChar(work, '\\')) {  // work[length] is its terminator
    if (base + 1 > static_cast<size_t>(kPathChars)) return;
    work[base++] = '\\';
  }
  if (base + 3 <= static_cast<size_t>(kPathChars)) {
    std::memcpy(work + base, "*.*", 4);
    OsFindData found;
    FindHandle find = OsFindFirst(work, &found);
    if (find != nullptr) {
      do {
        if (found.name[0] == '.') continue;  // ".", ".." and names that begin with a point stay
        WaitWhileWorkerHeld();  // a large tree takes long: a held worker deletes nothing more
        const size_t nameLength = std::strlen(found.name);
        if (base + nameLength > static_cast<size_t>(kPathChars)) continue;  // a cut path would name something else
        std::memcpy(work + base, found.name, nameLength + 1);
        // The entry's own attributes decide: some file systems list a link to a directory as a
        // plain name in the enumeration.
        uint32_t attributes = OsGetAttributes(work);
        if (attributes == kInvalidAttributes) attributes = found.attributes;
        if ((attributes & kAttrDirectory) == 0) {
          OsDeleteFile(work);
        } else if ((attributes & kAttrReparsePoint) != 0) {
          OsRemoveDirectory(work);  // a junction or link: remove the link itself, never what it points to
        } else {
          DeleteContents(work, base + nameLength);
          RemoveDirectoryWithRetry(work);
        }
      } while (OsFindNext(find, &found));
      OsFindClose(find);
    }
  }
  work[length] = '\0';
}

}  // namespace

void DeleteTree(const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  if (std::strlen(path) > static_cast<size_t>(kPathChars)) return;
  char work[kPathBuffer];
  StripTrailingBackslash(work, path);
  if (work[0] == '\0') return;

  // Never the whole of a drive or a network share.
  if (work[1] == ':' && work[2] == '\0') return;
  if (work[0] == '\\' && work[1] == '\\') {
    char root[kRootBuffer];
    TargetRoot(root, work);
    char rootless[kRootBuffer];
    StripTrailingBackslash(rootless, root);
    if (std::strcmp(rootless, work) == 0) return;
  }

  const uint32_t attributes = OsGetAttributes(work);
  if (attributes == kInvalidAttributes || (attributes & kAttrDirectory) == 0) return;
  if ((attributes & kAttrReparsePoint) != 0) {
    OsRemoveDirectory(work);
    return;
  }
  DeleteContents(work, std::strlen(work));
  RemoveDirectoryWithRetry(work);
}
