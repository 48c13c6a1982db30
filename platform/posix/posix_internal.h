#pragma once
// Shared by the POSIX side of the seam only.
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

constexpr size_t kHostPathSize = 1024;

// Windows path (drive, UNC, rooted or relative to the emulated current directory) -> host path.
// Components "." and ".." are resolved without leaving the drive or share; each existing component
// is matched without regard to case, as Windows does. 0 when the path maps nowhere or is too long.
int MapWindowsPath(const char* windowsPath, char* hostPath, size_t size);
// The absolute, normalised Windows form of a path (X:\a\b, \\srv\share\a); 0 when it has none.
int NormaliseWindowsPath(const char* windowsPath, char* out, size_t size);
// Windows form of a host path under a mapped drive, else Z: followed by the host path.
int WindowsPathOfHost(const char* hostPath, char* out, size_t size);

// Attribute bits that POSIX modes cannot hold (hidden, system, archive...) and creation times,
// kept per host path while the process runs.
struct AttributeRecord {
  int hasBits;
  uint32_t bits;
  int hasCreation;
  uint64_t creation;
};
int LookUpAttributes(const char* hostPath, AttributeRecord* record);
void StoreAttributeBits(const char* hostPath, uint32_t bits);
void StoreCreationTime(const char* hostPath, uint64_t creation);
void ForgetAttributes(const char* hostPath);                       // the path and all below it
void MoveAttributes(const char* fromHostPath, const char* toHostPath);  // the path and all below it

// Names compared as Windows compares them: without regard to the case of the ANSI letters.
int CompareNoCase(const char* a, const char* b);
int CompareNoCaseN(const char* a, const char* b, size_t n);

// The Unicode character of a byte of the modelled code pages (ANSI 1252, OEM 850).
uint16_t UnicodeOfCodePageByte(TextCodePage codePage, unsigned char c);
// The capital of an ANSI 1252 letter as CharUpper gives it there (a-z, the Latin-1 letters, s and z
// caron, oe, y diaeresis); every other byte as it is.
unsigned char AnsiUpper(unsigned char c);

// The double-byte code page a test selected (932 or 936), or 0 for the German system.
uint32_t DoubleByteCodePage();
