#pragma once
// A plain model of the tagged text list, for the fuzzers that check the list operations and the
// records built on them. The list is read as the operations see it: bytes before the first NUL are
// not part of it, an item is a NUL and a non-NUL tag byte, its text runs to the next NUL or is cut at
// the reserved end position (size - 2), and a NUL followed by a NUL, or a NUL right before the
// reserved position, ends the list. `end` is where the next item would be written.
#include <cstddef>
#include <string>
#include <vector>

namespace zfuzz {

struct TagItem {
  unsigned char tag;
  std::string text;
  bool operator==(const TagItem& other) const { return tag == other.tag && text == other.text; }
};

struct TagListModel {
  std::vector<TagItem> items;
  size_t end = 0;
  bool operator==(const TagListModel& other) const { return items == other.items && end == other.end; }

  const TagItem* Find(unsigned char tag) const {
    if (tag == 0) return nullptr;
    for (const TagItem& item : items)
      if (item.tag == tag) return &item;
    return nullptr;
  }
  std::string Get(unsigned char tag) const {
    const TagItem* item = Find(tag);
    return item != nullptr ? item->text : std::string();
  }
  void Delete(unsigned char tag) {
    if (tag == 0) return;
    for (size_t k = 0; k < items.size(); ++k) {
      if (items[k].tag != tag) continue;
      end -= 2 + items[k].text.size();
      items.erase(items.begin() + static_cast<std::ptrdiff_t>(k));
      return;
    }
  }
  // -1: not stored; 0: nothing to store (empty text); else the offset of the new item's tag byte.
  long Set(size_t size, const std::string& text, int maxChars, unsigned char tag) {
    if (size < 2 || tag == 0) return -1;
    Delete(tag);
    if (text.empty()) return 0;
    size_t length = text.size();
    if (maxChars >= 0 && length > static_cast<size_t>(maxChars)) length = static_cast<size_t>(maxChars);
    if (end + length + 4 > size) return -1;
    const long at = static_cast<long>(end) + 1;
    items.push_back({tag, text.substr(0, length)});
    end += 2 + length;
    return at;
  }
};

inline TagListModel ParseTagList(const char* area, size_t size) {
  TagListModel model;
  if (size < 2) return model;
  const size_t endPosition = size - 2;
  size_t i = 0;
  while (i < endPosition && area[i] != '\0') ++i;
  for (;;) {
    if (i >= endPosition) {
      model.end = endPosition;
      return model;
    }
    const unsigned char tag = static_cast<unsigned char>(area[i + 1]);
    if (i + 1 == endPosition || tag == 0) {
      model.end = i;
      return model;
    }
    size_t j = i + 2;
    while (j < endPosition && area[j] != '\0') ++j;
    model.items.push_back({tag, std::string(area + i + 2, j - (i + 2))});
    i = j;
  }
}

}  // namespace zfuzz
