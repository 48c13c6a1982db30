// Shortening of paths for fixed-width text fields: head, ellipsis, tail.
#include "discovery/compact_path.h"

#include <cstring>

#include "discovery/path_utils.h"

namespace {

const char kSeparators[] = "\\/:";
constexpr size_t kHeadRoom = 17;    // the head keeps at most m - 17 characters
constexpr size_t kEllipsisRoom = 5; // "\...\"

}  // namespace

char* CompactPath(char* destination, const char* source, signed char maximum) {
  // A negative count cannot be shown at all: the result is empty rather than a wild copy.
  const size_t m = maximum > 0 ? static_cast<size_t>(maximum) : 0;
  const size_t length = std::strlen(source);
  if (length <= m) {
    std::memmove(destination, source, length + 1);
    return destination;
  }
  const char* separator = std::strpbrk(source, kSeparators);
  if (m > 20 && separator != nullptr) {
    // Head and tail are taken out before the destination is written, which may be the source.
    char head[128];
    char tail[128];
    size_t headLength = static_cast<size_t>(separator - source);
    if (headLength > m - kHeadRoom) headLength = m - kHeadRoom;
    std::memcpy(head, source, headLength);
    head[headLength] = '\0';

    const size_t room = m - headLength - kEllipsisRoom;
    const char* tailStart = separator + 1;
    const size_t tailLength = std::strlen(tailStart);
    if (tailLength > room) tailStart += tailLength - room;
    const char* inner = std::strpbrk(tailStart, kSeparators);
    if (inner != nullptr) tailStart = inner + 1;
    CopyBounded(tail, sizeof tail - 1, tailStart);

    // "%s\...\%s": at most headLength + 5 + room = m characters.
    const size_t finalTail = std::strlen(tail);
    std::memcpy(destination, head, headLength);
    std::memcpy(destination + headLength, "\\...\\", kEllipsisRoom);
    std::memcpy(destination + headLength + kEllipsisRoom, tail, finalTail + 1);
    return destination;
  }
  std::memmove(destination, source, m);
  destination[m] = '\0';
  return destination;
}

void ShowCompactPath(WindowHandle window, int controlId, const char* text, signed char maximum) {
  char buffer[kPathSize];
  const char* shown = text;
  if (maximum != 0) {
    CopyBounded(buffer, kPathSize - 1, text);
    CompactPath(buffer, buffer, maximum);
    shown = buffer;
  }
  if (controlId == 0) {
    OsSetWindowText(window, shown);
  } else {
    OsSetDialogItemText(window, controlId, shown);
  }
}
