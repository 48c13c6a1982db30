// Tagged text list in a fixed byte area: items of a NUL, a tag byte and a text, ended by two NULs.
// The last two bytes of the area are reserved for the end mark. No operation touches a byte outside
// [area, area + size), whatever the area holds: a missing end mark is written at size - 2, a text
// running into that position is cut there, and bytes behind the end mark are never looked at.
#include "discovery/tag_list.h"

#include <cstring>

namespace {

void WriteEndMark(char* area, size_t position) {
  area[position] = '\0';
  area[position + 1] = '\0';
}

// Offset of the list's end mark (the first pair of NULs); when there is none before the reserved
// position, the end mark is written there. Needs size >= 2.
size_t FindEndMark(char* area, size_t size, size_t from) {
  size_t endPosition = size - 2;
  for (size_t i = from; i < endPosition; ++i) {
    if (area[i] == '\0' && area[i + 1] == '\0') return i;
  }
  WriteEndMark(area, endPosition);
  return endPosition;
}

}  // namespace

char* FindTag(char* area, size_t size, unsigned char tag) {
  if (area == nullptr || size < 2 || tag == 0) return nullptr;
  size_t endPosition = size - 2;
  for (size_t i = 0; i < endPosition; ++i) {
    if (area[i] != '\0') continue;
    // An item's tag byte never lies in the reserved end mark: a NUL right before it ends the list.
    if (i + 1 == endPosition) {
      if (area[endPosition] != '\0') WriteEndMark(area, endPosition);
      return nullptr;
    }
    unsigned char next = static_cast<unsigned char>(area[i + 1]);
    if (next == 0) return nullptr;    // end of the list
    if (next != tag) continue;
    char* text = area + i + 2;
    size_t j = i + 2;
    while (j < endPosition && area[j] != '\0') ++j;
    if (j == endPosition) WriteEndMark(area, endPosition);  // the text is cut at the end mark
    return text;
  }
  WriteEndMark(area, endPosition);
  return nullptr;
}

const char* GetTagText(char* area, size_t size, unsigned char tag, char* output, size_t outputSize) {
  const char* text = FindTag(area, size, tag);
  if (text == nullptr) text = "";
  if (output != nullptr && outputSize > 0) {
    size_t length = std::strlen(text);
    if (length > outputSize - 1) length = outputSize - 1;
    std::memmove(output, text, length);
    output[length] = '\0';
  }
  return text;
}

void DeleteTag(char* area, size_t size, unsigned char tag) {
  char* text = FindTag(area, size, tag);
  if (text == nullptr) return;
  size_t itemStart = static_cast<size_t>(text - area) - 2;
  size_t textEnd = static_cast<size_t>(text - area) + std::strlen(text);  // the NUL ending the text
  size_t endMark = FindEndMark(area, size, textEnd);
  size_t moved = endMark - textEnd;  // from the text's NUL up to (not including) the end mark
  std::memmove(area + itemStart, area + textEnd, moved);
  WriteEndMark(area, itemStart + moved);
}

char* SetTagText(char* area, size_t size, const char* text, int maxChars, unsigned char tag) {
  if (area == nullptr || size < 2 || tag == 0) return nullptr;
  DeleteTag(area, size, tag);
  if (text == nullptr || *text == '\0') return const_cast<char*>(text == nullptr ? "" : text);
  size_t endMark = FindEndMark(area, size, 0);
  size_t length = std::strlen(text);
  if (maxChars >= 0 && length > static_cast<size_t>(maxChars)) length = static_cast<size_t>(maxChars);
  if (endMark + length + 4 > size) return nullptr;
  area[endMark + 1] = static_cast<char>(tag);
  std::memcpy(area + endMark + 2, text, length);
  WriteEndMark(area, endMark + 2 + length);
  return area + endMark + 1;
}
