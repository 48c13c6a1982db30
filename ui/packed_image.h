#pragma once
// Images kept compressed among the program's resources (the About banner at 200 %).
// The image is an 8-bit device-independent bitmap: BITMAPINFOHEADER, colour table, rows bottom-up,
// each row padded to 4 bytes (a .bmp file without its 14-byte file header). Each row is stored as
// byte differences, every byte minus the one before it in its row modulo 256 (the first as it is),
// which turns smooth shading into runs of small values; the whole is imploded with binary literals.
// The resource: the bitmap's size in 4 bytes, least significant first, then the implode stream.
#include <cstddef>
#include <cstdint>

// More than any image of the program needs; a larger announced size is taken as damage.
constexpr size_t kPackedImageMaxBytes = size_t{4} << 20;

// A 32-bit field of the bitmap's headers (least significant byte first).
uint32_t LittleEndian32(const uint8_t* p);

// Bytes per row of a bitmap that ImagePixelsOffset accepted: its width padded to 4.
size_t ImageRowBytes(const uint8_t* bitmap);

// Where the rows of an 8-bit bitmap of size bytes begin (header and colour table before them);
// 0 when it is no such bitmap or its rows do not fill it exactly.
size_t ImagePixelsOffset(const uint8_t* bitmap, size_t size);

// The size of the bitmap a packed image holds; 0 when the resource is shorter than its size field
// or the size is 0 or beyond kPackedImageMaxBytes.
size_t PackedImageSize(const uint8_t* packed, size_t packedSize);

// Unpacks into bitmap, never writing beyond capacity bytes. 1 when the stream decompresses to exactly
// PackedImageSize bytes (at most capacity) that are an 8-bit bitmap; 0 otherwise.
int UnpackImage(const uint8_t* packed, size_t packedSize, uint8_t* bitmap, size_t capacity);
