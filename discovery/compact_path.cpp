// Shortening of paths for fixed-width text fields: head, ellipsis, tail. Counts are bytes; every cut
// falls between whole characters, so that neither part starts or ends on half a double-byte one.
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
  const char* separator = FindFirstOf(source, kSeparators);
  if (m > 20 && *separator != '\0') {
    // Head and tail are taken out before the destination is written, which may be the source.
    char head[128];
    char tail[128];
    size_t headLength = static_cast<size_t>(separator - source);
    if (headLength > m - kHeadRoom) headLength = WholeCharsLength(source, m - kHeadRoom);
    std::memcpy(head, source, headLength);
    head[headLength] = '\0';

    const size_t room = m - headLength - kEllipsisRoom;
    const char* tailStart = separator + 1;
    const char* tailEnd = tailStart + std::strlen(tailStart);
    // The first whole character from which the rest fits the room.
    while (static_cast<size_t>(tailEnd - tailStart) > room) tailStart = NextChar(tailStart);
    const char* inner = FindFirstOf(tailStart, kSeparators);
    if (*inner != '\0') tailStart = inner + 1;
    CopyBounded(tail, sizeof tail - 1, tailStart);

    // "%s\...\%s": at most headLength + 5 + room = m characters.
    const size_t finalTail = std::strlen(tail);
    std::memcpy(destination, head, headLength);
    std::memcpy(destination + headLength, "\\...\\", kEllipsisRoom);
    std::memcpy(destination + headLength + kEllipsisRoom, tail, finalTail + 1);
    return destination;
  }
  const size_t kept = WholeCharsLength(source, m);
  std::memmove(destination, source, kept);
  destination[kept] = '\0';
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
