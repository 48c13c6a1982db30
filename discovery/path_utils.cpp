// Bounded copies, path splitting and joining, file extensions and case-insensitive comparisons
// (by the system's case mapping for its ANSI code page, through the platform seam).
// Every operation that copies a source first lets dst equal src (copies move forwards with memmove
// semantics); operations that take a destination size never write past it and cut what does not fit.
#include "discovery/path_utils.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

bool InSet(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool IsSplitSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// Copies src into dst of the given size (at most size - 1 bytes, then a terminator; a double-byte
// character that would not fit whole is left out); handles dst == src and overlapping areas.
// Returns the number of bytes copied.
size_t MoveToSize(char* dst, size_t size, const char* src) {
  if (size == 0) return 0;
  const size_t length = WholeCharsLength(src, size - 1);
  std::memmove(dst, src, length);
  dst[length] = '\0';
  return length;
}

// Appends text behind the terminator of dst, keeping the whole string below size bytes.
void AppendToSize(char* dst, size_t size, const char* text) {
  size_t used = std::strlen(dst);
  if (used + 1 >= size) return;
  MoveToSize(dst + used, size - used, text);
}

// Position of the last splitting separator ("\", "/", ":") at index 1 or later; -1 when none.
// A separator in the first position never counts.
long LastSplitPosition(const char* text, TextCodePage codePage) {
  long last = -1;
  for (const char* p = text; *p != '\0'; p = NextChar(p, codePage)) {
    if (p != text && IsSplitSeparator(*p)) last = static_cast<long>(p - text);
  }
  return last;
}

bool IsLead(const char* p, TextCodePage codePage) {
  const unsigned char byte = static_cast<unsigned char>(*p);
  return byte >= 0x80 && OsIsLeadByte(codePage, byte);
}

// Texts are raised whole, so that a double-byte character is raised as one; a text of this many
// bytes or more is compared byte for byte (no path or name of the program comes near it).
constexpr size_t kFoldBuffer = 1024;

// The first length bytes of text raised by the system's case mapping for its ANSI code page, which
// keeps the length. 0 when they do not fit.
int RaiseAnsi(const char* text, size_t length, char* upper) {
  if (length >= kFoldBuffer) return 0;
  std::memcpy(upper, text, length);
  upper[length] = '\0';
  OsAnsiToUpper(upper, upper, kFoldBuffer);
  return 1;
}

// Whether the first length bytes of a and b are equal ignoring case.
int EqualNoCaseN(const char* a, const char* b, size_t length) {
  char upperA[kFoldBuffer], upperB[kFoldBuffer];
  if (!RaiseAnsi(a, length, upperA) || !RaiseAnsi(b, length, upperB)) return std::memcmp(a, b, length) == 0;
  return std::memcmp(upperA, upperB, length) == 0;
}

}  // namespace

const char* NextChar(const char* p, TextCodePage codePage) {
  if (*p == '\0') return p;
  return IsLead(p, codePage) && p[1] != '\0' ? p + 2 : p + 1;
}

const char* FindChar(const char* text, char c, TextCodePage codePage) {
  for (const char* p = text; *p != '\0'; p = NextChar(p, codePage)) {
    if (*p == c) return p;
  }
  return nullptr;
}

const char* FindLastOf(const char* text, const char* set, TextCodePage codePage) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p = NextChar(p, codePage)) {
    if (InSet(*p, set)) last = p;
  }
  return last;
}

int EndsWithChar(const char* text, char c, TextCodePage codePage) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p = NextChar(p, codePage)) last = p;
  return last != nullptr && *last == c && NextChar(last, codePage) == last + 1 ? 1 : 0;
}

size_t WholeCharsLength(const char* text, size_t maxBytes, TextCodePage codePage) {
  const char* p = text;
  while (*p != '\0') {
    const char* next = NextChar(p, codePage);
    if (static_cast<size_t>(next - text) > maxBytes) break;
    p = next;
  }
  return static_cast<size_t>(p - text);
}

const char* LastComponent(const char* path, TextCodePage codePage) {
  const char* last = path;
  for (const char* p = path; *p != '\0'; p = NextChar(p, codePage)) {
    if (IsSplitSeparator(*p)) last = p + 1;
  }
  return last;
}

char* CopyBounded(char* dst, size_t maxChars, const char* src) {
  MoveToSize(dst, maxChars + 1, src);
  return dst;
}

char* CopyToSize(char* dst, size_t size, const char* src) {
  MoveToSize(dst, size, src);
  return dst;
}

const char* SkipChars(const char* text, const char* set) {
  while (InSet(*text, set)) ++text;
  return text;
}

const char* FindFirstOf(const char* text, const char* set) {
  while (*text != '\0' && !InSet(*text, set)) text = NextChar(text, CodePageAnsi);
  return text;
}

const char* SkipPastSeparatorRun(const char* text, const char* set) {
  return SkipChars(FindFirstOf(text, set), set);
}

const char* CopyUntilAny(char* dst, const char* src, const char* set) {
  const char* stop = FindFirstOf(src, set);
  size_t length = static_cast<size_t>(stop - src);
  std::memmove(dst, src, length);
  dst[length] = '\0';
  return stop;
}

const char* LastChar(const char* text) {
  const char* last = text;
  for (const char* p = text; *p != '\0'; p = NextChar(p, CodePageAnsi)) last = p;
  return last;
}

char* LastChar(char* text) { return const_cast<char*>(LastChar(static_cast<const char*>(text))); }

// A path that already fills its buffer gets no backslash: it stays as it is rather than losing
// its last character.
char* EnsureTrailingBackslash(char* path, size_t size) {
  size_t length = std::strlen(path);
  if (EndsWithChar(path, '\\')) return path;
  if (length + 1 < size) {
    path[length] = '\\';
    path[length + 1] = '\0';
  }
  return path;
}

char* StripTrailingBackslash(char* dst, const char* src) {
  size_t length = std::strlen(src);
  std::memmove(dst, src, length + 1);
  if (EndsWithChar(dst, '\\')) dst[length - 1] = '\0';
  return dst;
}

char* JoinPath(char* dst, const char* src, const char* tail, size_t size) {
  if (size == 0) return dst;
  // tail may lie behind src in the same buffer: take the part of it that fits before overwriting.
  char tailCopy[kPathSize * 2];
  if (*tail == '\\') ++tail;
  MoveToSize(tailCopy, sizeof tailCopy, tail);
  MoveToSize(dst, size, src);
  EnsureTrailingBackslash(dst, size);
  AppendToSize(dst, size, tailCopy);
  return dst;
}

char* DirectoryPart(char* dst, const char* src, TextCodePage codePage) {
  size_t length = std::strlen(src);
  std::memmove(dst, src, length + 1);
  long cut = LastSplitPosition(dst, codePage);
  if (cut > 0) dst[cut] = '\0';
  return dst;
}

char* FileNamePart(char* dst, const char* src, TextCodePage codePage) {
  const long cut = LastSplitPosition(src, codePage);  // a separator in the first position stays
  const char* name = cut > 0 ? src + cut + 1 : src;
  std::memmove(dst, name, std::strlen(name) + 1);
  return dst;
}

int ParentDirectory(char* parent, const char* path) {
  char copy[kPathSize];
  CopyToSize(copy, sizeof copy, path);
  StripTrailingBackslash(copy, copy);
  DirectoryPart(parent, copy);
  if (std::strcmp(parent, copy) == 0) return 0;  // a bare name: no parent to go to
  if (parent[0] != '\0' && parent[1] == ':' && parent[2] == '\0') std::strcpy(parent + 2, "\\");
  return 1;
}

const char* ExtensionStart(const char* path) {
  const char* dot = nullptr;
  const char* p = path;
  for (; *p != '\0'; p = NextChar(p, CodePageAnsi)) {
    if (*p == '.') dot = p;
    else if (IsPathSeparator(*p)) dot = nullptr;
  }
  return dot != nullptr ? dot : p;
}

char* SetExtension(char* dst, const char* src, const char* ext, size_t size) {
  if (size == 0) return dst;
  char extCopy[kPathSize];
  if (*ext == '.') ++ext;
  MoveToSize(extCopy, sizeof extCopy, ext);
  MoveToSize(dst, size, src);
  // The extension is looked for in the copy: a cut copy may have lost it, which is then simply
  // replaced at the cut.
  char* start = const_cast<char*>(ExtensionStart(dst));
  *start = '\0';
  if (extCopy[0] != '\0') {
    AppendToSize(dst, size, ".");
    AppendToSize(dst, size, extCopy);
  }
  return dst;
}

char* DefaultExtension(char* dst, const char* src, const char* ext, size_t size) {
  const char* lastBackslash = FindLastOf(src, "\\");
  const char* name = lastBackslash != nullptr ? lastBackslash + 1 : src;
  if (FindChar(name, '.') != nullptr) return CopyToSize(dst, size, src);
  return SetExtension(dst, src, ext, size);
}

char* NumberedExtension(char* dst, const char* src, int n, size_t size) {
  char ext[16];
  std::snprintf(ext, sizeof ext, "%03d", n);
  return SetExtension(dst, src, ext, size);
}

int IsDriveForm(const char* path) { return path[0] != '\0' && path[1] == ':' ? 1 : 0; }

namespace {

// A path built into a buffer of size bytes, whole characters at a time; once one does not fit,
// nothing more is added (a later, narrower one would make another path).
struct PathOutput {
  char* dst;
  size_t size;
  size_t used;
  bool full;
  void Put(const char* from, size_t bytes) {
    if (full || used + bytes >= size) {
      full = true;
      return;
    }
    std::memcpy(dst + used, from, bytes);
    used += bytes;
  }
  void Put(char c) { Put(&c, 1); }
  // The whole character at *p; *p moves past it.
  void PutChar(const char** p) {
    const char* next = NextChar(*p);
    Put(*p, static_cast<size_t>(next - *p));
    *p = next;
  }
  void End() { dst[used] = '\0'; }
};

const char* ServerShareEnd(const char* server) {
  const char* p = FindFirstOf(server, "\\");
  p = SkipChars(p, "\\");
  return FindFirstOf(p, "\\");  // share
}

}  // namespace

const char* ShareRootEnd(const char* path) { return ServerShareEnd(SkipChars(path, "\\")); }

const char* UncShareEnd(const char* path) { return ServerShareEnd(path + 2); }

// The first colon decides: a drive path never counts as volume form, whatever follows.
int IsVolumeForm(const char* path) {
  const char* colon = FindChar(path, ':');
  return colon != nullptr && colon - path >= 2 ? 1 : 0;
}

void UncToVolumeForm(const char* src, char* dst, size_t size) {
  if (size == 0) return;
  char work[kPathSize * 2];
  MoveToSize(work, sizeof work, src);
  if (!(work[0] == '\\' && work[1] == '\\')) {
    MoveToSize(dst, size, work);
    return;
  }
  PathOutput out = {dst, size, 0, false};
  const char* p = work + 2;
  const char marks[2] = {'\\', ':'};
  for (char mark : marks) {
    while (*p != '\0' && !IsPathSeparator(*p)) out.PutChar(&p);
    if (*p == '\0') break;
    ++p;
    out.Put(mark);
  }
  while (*p != '\0') out.PutChar(&p);
  out.End();
}

void VolumeToUncForm(const char* src, char* dst, size_t size) {
  if (size == 0) return;
  char work[kPathSize * 2];
  MoveToSize(work, sizeof work, src);
  if (!IsVolumeForm(work)) {
    MoveToSize(dst, size, work);
    return;
  }
  for (char* p = work; *p != '\0'; p = const_cast<char*>(NextChar(p))) {
    if (*p == '/') *p = '\\';
  }
  PathOutput out = {dst, size, 0, false};
  out.Put('\\');
  out.Put('\\');
  const char* p = work;
  const char* colon = FindChar(work, ':');
  while (p != colon) out.PutChar(&p);
  ++p;
  if (*p != '\\') out.Put('\\');
  while (*p != '\0') out.PutChar(&p);
  out.End();
}

int EqualNoCase(const char* a, const char* b) {
  const size_t length = std::strlen(a);
  return std::strlen(b) == length && EqualNoCaseN(a, b, length);
}

int StartsWithNoCase(const char* text, const char* prefix) {
  const size_t length = std::strlen(prefix);
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\0') return 0;  // shorter than the prefix
  }
  return EqualNoCaseN(text, prefix, length);
}
