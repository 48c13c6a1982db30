#pragma once
// A packed file appended to a Windows program that was signed afterwards: the Authenticode
// certificate table (and the zero padding the signing tool puts in front of it) follows the trailer.
#include <cstdint>

#include "platform/platform.h"

// The length by which the packed file is judged: the offset where its trailer must end. For a
// program whose security directory names a sound certificate table that reaches exactly to the end
// of the file, and in front of which (after at most 7 zero bytes of padding) a trailer ends whose
// fileSize says so, that end; for every other file its length. -1 when the length cannot be read.
int64_t PackedDataLength(FileHandle file);

// 1 when the file is a Windows program whose security directory names a certificate table.
int HasCertificateTable(FileHandle file);
