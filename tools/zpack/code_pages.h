#pragma once
// Names in packed files are strings in a Windows code page (the packing system's ANSI code page, 1252
// on a German or Western Windows, 932 on a Japanese and 936 on a Simplified Chinese one); the host's
// names are UTF-8 (natively) or UTF-16 (Windows, reached through UTF-8 paths). These convert between
// the two. In a double-byte code page the trail byte of a character may be "\\": names are split by
// whole characters (PackedCharBytes).
#include <string>

namespace zpack {

// The Windows code pages known here: the single-byte 1250 to 1258 and the double-byte 932 and 936.
bool IsKnownCodePage(int codePage);
bool IsDoubleByteCodePage(int codePage);
// The bytes of the character at text[at] (2 for a lead byte with its trail, else 1).
size_t PackedCharBytes(const std::string& text, size_t at, int codePage);
// 1252 natively; on Windows the system's ANSI code page when it is one of the known ones, else 1252.
int DefaultCodePage();

// Bytes of a packed file in codePage -> UTF-8. false when a byte has no character in the code page.
bool PackedToUtf8(const std::string& packed, int codePage, std::string* utf8);
// UTF-8 -> bytes in codePage. false when the text is not UTF-8 or has a character the code page lacks.
bool Utf8ToPacked(const std::string& utf8, int codePage, std::string* packed);

// The packed bytes as UTF-8, each byte that has no character in the code page and each control
// character written as \xNN (for JSON and, through ShowPacked, the terminal).
std::string EscapedUtf8(const std::string& packed, int codePage);
// Text that should be UTF-8 (a Linux file name), invalid sequences and controls written as \xNN.
std::string EscapedHostText(const std::string& utf8);

// A key under which names equal ignoring case (as Windows compares them) are equal: the code page's
// characters with upper-case letters of the Latin, Greek and Cyrillic alphabets made lower-case.
std::string FoldedName(const std::string& packed, int codePage);

// For the terminal, in UTF-8, so that nothing raw reaches it.
std::string ShowPacked(const std::string& packed, int codePage);
std::string ShowHost(const std::string& utf8);
// A command-line argument (UTF-8 on every system: zpack.exe converts its wide command line).
std::string ShowArgument(const char* argument);

}  // namespace zpack
