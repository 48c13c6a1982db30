#pragma once
// Packing of an image for the program's resources, in the form ui/packed_image.h unpacks.
#include <cstddef>
#include <cstdint>
#include <vector>

// The resource for an 8-bit bitmap (without the .bmp file header); empty when it is no such bitmap.
std::vector<uint8_t> PackImage(const uint8_t* bitmap, size_t size);

// The bitmap inside a .bmp file's bytes (the file header checked and taken off); empty when the
// file is no .bmp whose rows directly follow an 8-bit bitmap's colour table.
std::vector<uint8_t> BitmapOfBmpFile(const std::vector<uint8_t>& file);
