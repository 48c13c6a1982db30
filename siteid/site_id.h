// zsiteid.dll: the site identifier of a Zelvar server, read from the product's object API.
#ifndef ZARPEX_SITEID_SITE_ID_H
#define ZARPEX_SITEID_SITE_ID_H

#include <stdint.h>

// Length of a site identifier and the size of the buffer that receives it (identifier + zero byte).
enum { kSiteIdLength = 11, kSiteIdBufferSize = 12 };

// A host resolves the export by name and calls it through this pointer type.
typedef void(__stdcall* GetSiteIdFn)(char* buffer, uint32_t unused);

// Fills the 12 bytes at `buffer` with the site identifier: its first 11 characters as one byte each
// (the low 8 bits of each UTF-16 unit), shorter identifiers padded with zero bytes, byte 11 always 0.
// When no identifier is obtained the 12 bytes are all zero, so the host sees an empty string.
// The second argument is not used. A null buffer makes the call do nothing.
extern "C" void __stdcall getSiteID(char* buffer, uint32_t unused);

#endif
