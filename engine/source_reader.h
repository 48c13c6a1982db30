#pragma once
// Reading the packed file during the entry walk through one large buffer: the walk asks for small
// pieces (2 and up to 282 header bytes, compressed data in 2048-byte blocks) and seeks over every
// entry, and each of those would otherwise be a call into the system.
#include <cstdint>

#include "platform/platform.h"

// Starts reading `file` at `position`; 1 when the position could be taken.
int BeginSourceReading(FileHandle file, int64_t position);
// Up to `count` bytes at the reading position; the count read, 0 at the end, -1 on a read error.
int32_t ReadSource(void* buffer, uint32_t count);
// The reading position, and setting it; a position inside the buffer costs no call into the system.
int64_t SourcePosition();
int SetSourcePosition(int64_t position);
// For ReadEntryHeaderFrom: ReadSource with the context unused.
int32_t ReadSourceBlock(void* context, void* buffer, uint32_t count);
