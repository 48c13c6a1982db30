#pragma once
// A program signed the way Authenticode signing tools do it, for the tests of packed files behind a
// certificate table: the file is padded with zeros to 8 bytes, then the table is appended and the
// PE security directory set to it.
#include <cstdint>
#include <vector>

namespace zsigned {

using Bytes = std::vector<uint8_t>;

constexpr size_t kPeOffset = 0x40;
constexpr size_t kOptionalHeader = kPeOffset + 24;
constexpr size_t kSecurityEntry = kOptionalHeader + 96 + 4 * 8;  // PE32: directories at 96, security is 4th

inline void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

// The headers of a PE32 program without sections: enough for the security directory.
inline Bytes MinimalProgram(size_t size = 1024) {
  Bytes b(size, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, kPeOffset);
  b[kPeOffset] = 'P';
  b[kPeOffset + 1] = 'E';
  b[kPeOffset + 4] = 0x4C;  // i386
  b[kPeOffset + 5] = 0x01;
  b[kPeOffset + 20] = 224;  // size of the optional header
  b[kOptionalHeader] = 0x0B;  // PE32
  b[kOptionalHeader + 1] = 0x01;
  Put32(b, kOptionalHeader + 92, 16);  // number of data directories
  return b;
}

// Signs file (which begins with MinimalProgram) with one certificate entry of signatureSize bytes.
inline Bytes Signed(Bytes file, uint32_t signatureSize = 1001) {
  while (file.size() % 8 != 0) file.push_back(0);
  const size_t table = file.size();
  const uint32_t length = 8 + signatureSize;
  file.resize(table + ((length + 7) & ~7u), 0);
  Put32(file, table, length);
  file[table + 4] = 0x00;  // revision 2.0
  file[table + 5] = 0x02;
  file[table + 6] = 0x02;  // PKCS #7 signed data
  for (uint32_t i = 0; i < signatureSize; ++i) file[table + 8 + i] = static_cast<uint8_t>(0x30 + i * 13);
  Put32(file, kSecurityEntry, static_cast<uint32_t>(table));
  Put32(file, kSecurityEntry + 4, static_cast<uint32_t>(file.size() - table));
  return file;
}

}  // namespace zsigned
