#pragma once
// Bounded copies and path splitting on NUL-terminated ANSI strings. Separators are "\" and "/"
// (and ":" for splitting). dst may equal src wherever a source is copied first. Operations that
// build a path take the destination size (261 for every path buffer of the program) and never write
// past it; what does not fit is cut, before a whole character. Every search steps by whole
// characters of the text's code page: the trail byte of a double-byte character (0x5C in 表) is
// never taken for a separator, a colon or a dot. Record texts are OEM: those callers say so.
#include <cstddef>

#include "platform/platform.h"

constexpr size_t kPathSize = 261;

// The character behind the one at p (two bytes for a double-byte character, never past the end).
const char* NextChar(const char* p, TextCodePage codePage = CodePageAnsi);
// The first c (an ASCII character) in text, by whole characters; nullptr when there is none.
const char* FindChar(const char* text, char c, TextCodePage codePage = CodePageAnsi);
// The last character of text that is in set (ASCII characters); nullptr when there is none.
const char* FindLastOf(const char* text, const char* set, TextCodePage codePage = CodePageAnsi);
// Whether the last whole character of text is c (a trail byte equal to c does not count).
int EndsWithChar(const char* text, char c, TextCodePage codePage = CodePageAnsi);
// The bytes of the longest start of text of at most maxBytes bytes that ends on a whole character.
size_t WholeCharsLength(const char* text, size_t maxBytes, TextCodePage codePage = CodePageAnsi);
// The last component: behind the last "\", "/" or ":" (the name a record gets from its path).
const char* LastComponent(const char* path, TextCodePage codePage = CodePageAnsi);

char* CopyBounded(char* dst, size_t maxChars, const char* src);   // dst needs maxChars + 1 bytes
char* CopyToSize(char* dst, size_t size, const char* src);        // size - 1 characters at most
const char* SkipChars(const char* text, const char* set);
const char* FindFirstOf(const char* text, const char* set);
const char* SkipPastSeparatorRun(const char* text, const char* set);
const char* CopyUntilAny(char* dst, const char* src, const char* set);
char* LastChar(char* text);              // the last whole character's first byte
const char* LastChar(const char* text);
char* EnsureTrailingBackslash(char* path, size_t size = kPathSize);
char* StripTrailingBackslash(char* dst, const char* src);
char* JoinPath(char* dst, const char* src, const char* tail, size_t size = kPathSize);
char* DirectoryPart(char* dst, const char* src, TextCodePage codePage = CodePageAnsi);
char* FileNamePart(char* dst, const char* src, TextCodePage codePage = CodePageAnsi);
// The directory that holds path (a trailing backslash dropped first; "C:\a" gives "C:\"); 0 for a
// bare name, which has none. parent holds kPathSize bytes and may be path.
int ParentDirectory(char* parent, const char* path);
const char* ExtensionStart(const char* path);
char* SetExtension(char* dst, const char* src, const char* ext, size_t size = kPathSize);
char* DefaultExtension(char* dst, const char* src, const char* ext, size_t size = kPathSize);
char* NumberedExtension(char* dst, const char* src, int n, size_t size = kPathSize);

// Server path forms: drive (X:\dir), UNC (\\server\share\dir), volume (server\volume:dir).
int IsDriveForm(const char* path);    // second character is ":"
// The end of a network root: behind the leading backslashes, the server name, the backslashes
// behind it and the share name (names end at a backslash); "\\srv\share\dir" gives "\dir".
const char* ShareRootEnd(const char* path);
// The same for a path that begins with two backslashes, the server name starting right behind them:
// a third backslash is an empty server name, so "\\\srv\share" gives "\share". Record paths and
// the merge's walk up to the root read a path so.
const char* UncShareEnd(const char* path);
int IsVolumeForm(const char* path);   // a ":" at the third character or later
void UncToVolumeForm(const char* src, char* dst, size_t size = kPathSize);
void VolumeToUncForm(const char* src, char* dst, size_t size = kPathSize);

// Case-insensitive comparisons of ANSI text, by the system's case mapping for its ANSI code page.
int EqualNoCase(const char* a, const char* b);
int StartsWithNoCase(const char* text, const char* prefix);
