#pragma once
// Little-endian values in stored bytes (packed files, records, program and image headers), read and
// written byte by byte whatever the host's order.
#include <cstdint>

inline uint16_t ReadLittle16(const void* at) {
  const uint8_t* p = static_cast<const uint8_t*>(at);
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t ReadLittle32(const void* at) {
  const uint8_t* p = static_cast<const uint8_t*>(at);
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline void WriteLittle16(void* at, uint16_t value) {
  uint8_t* p = static_cast<uint8_t*>(at);
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}
