// Finding a packed file in front of the certificate table of a signed program.
#include "engine/signed_program.h"

#include "discovery/byte_order.h"
#include "engine/packed_file.h"

namespace {

constexpr uint32_t kSecurityDirectory = 4;       // index in the optional header's data directories
constexpr uint32_t kCertificateAlignment = 8;    // signing tools align the table and each entry to 8
constexpr uint16_t kCertificateRevision1 = 0x0100;
constexpr uint16_t kCertificateRevision2 = 0x0200;


int ReadAt(FileHandle file, int64_t offset, void* buffer, uint32_t count) {
  if (offset < 0 || OsSeekFile(file, offset, SeekFromStart) != offset) return 0;
  return OsReadFile(file, buffer, count) == static_cast<int32_t>(count);
}

struct TableLocation {
  uint32_t offset;  // a file offset, not an address: the table is not loaded with the program
  uint32_t size;
};

// The security directory of a PE program (PE32 or PE32+); 0 when the file is none or has no table.
int ReadSecurityDirectory(FileHandle file, TableLocation* table) {
  uint8_t dos[64];
  if (!ReadAt(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return 0;
  // Signature, file header (20 bytes) and the optional header up to the end of the security
  // directory of a PE32+ program (its directories begin at 112; PE32's at 96).
  uint8_t pe[4 + 20 + 112 + 8 * (kSecurityDirectory + 1)];
  if (!ReadAt(file, ReadLittle32(dos + 0x3C), pe, sizeof pe)) return 0;
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return 0;
  const uint32_t optionalSize = ReadLittle16(pe + 4 + 16);
  const uint8_t* optional = pe + 24;
  uint32_t directories;
  switch (ReadLittle16(optional)) {
    case 0x10B: directories = 96; break;
    case 0x20B: directories = 112; break;
    default: return 0;
  }
  const uint32_t entryEnd = directories + 8 * (kSecurityDirectory + 1);
  if (optionalSize < entryEnd || ReadLittle32(optional + directories - 4) <= kSecurityDirectory) return 0;
  table->offset = ReadLittle32(optional + directories + 8 * kSecurityDirectory);
  table->size = ReadLittle32(optional + directories + 8 * kSecurityDirectory + 4);
  return table->size != 0 ? 1 : 0;
}

// Whether the table's entries (WIN_CERTIFICATE: length, revision, type, data) fill it exactly.
int IsSoundCertificateTable(FileHandle file, const TableLocation& table) {
  const uint64_t end = static_cast<uint64_t>(table.offset) + table.size;
  uint64_t at = table.offset;
  while (at < end) {
    uint8_t entry[8];
    if (!ReadAt(file, static_cast<int64_t>(at), entry, sizeof entry)) return 0;
    const uint32_t length = ReadLittle32(entry);
    const uint32_t revision = ReadLittle16(entry + 4);
    if (length < sizeof entry || length > end - at) return 0;
    if (revision != kCertificateRevision1 && revision != kCertificateRevision2) return 0;
    at += (static_cast<uint64_t>(length) + kCertificateAlignment - 1) & ~static_cast<uint64_t>(kCertificateAlignment - 1);
  }
  return 1;
}

}  // namespace

int HasCertificateTable(FileHandle file) {
  TableLocation table;
  return ReadSecurityDirectory(file, &table);
}

int64_t PackedDataLength(FileHandle file) {
  const int64_t length = OsFileLength(file);
  TableLocation table;
  if (length < 0 || !ReadSecurityDirectory(file, &table)) return length;
  if (static_cast<int64_t>(table.offset) + table.size != length || !IsSoundCertificateTable(file, table)) {
    return length;
  }
  // The bytes in front of the table: a trailer and the padding that aligned the file for signing.
  constexpr uint32_t kPaddingMax = kCertificateAlignment - 1;
  uint8_t tail[sizeof(PackedFileTrailer) + kPaddingMax];
  const int64_t tailStart = static_cast<int64_t>(table.offset) - static_cast<int64_t>(sizeof tail);
  if (tailStart < 0 || !ReadAt(file, tailStart, tail, sizeof tail)) return length;
  for (uint32_t padding = 0; padding <= kPaddingMax; ++padding) {
    if (padding > 0 && tail[sizeof tail - padding] != 0) break;  // padding is zero bytes
    const int64_t end = static_cast<int64_t>(table.offset) - padding;
    const uint8_t* trailer = tail + sizeof tail - padding - sizeof(PackedFileTrailer);
    if (ReadLittle32(trailer) == kPackedFileMagic && static_cast<int64_t>(ReadLittle32(trailer + 16)) == end) return end;
  }
  return length;
}
