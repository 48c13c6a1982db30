#pragma once
// Entry extraction: recreates the entries of the open, checked packed file under targetDir.
#include <cstdint>

#include "engine/entry_output.h"
#include "engine/explode.h"
#include "platform/platform.h"

extern FileHandle g_sourceFile;   // opened by the job, closed by ExtractEntries
extern FileHandle g_outputFile;   // the file being written
extern uint32_t g_remainingInput;  // compressed bytes of the current entry not yet read

int ExtractEntries();
char* ComposeOutputPath(char* outputPath, const char* name, const char* targetDir);  // outputPath: 261 bytes
int DecompressEntry(const char* path, ExplodeWorkArea* workArea, uint16_t entryFlags);
uint32_t ReadCompressed(char* buffer, uint32_t* count, void* userParameter);
void WriteOutput(char* buffer, uint32_t* count, void* userParameter);
// Whether an entry name stays inside the target directory (no "..", drive, colon or empty level).
int IsSafeEntryName(const char* name);

// Writes decompressed bytes to g_outputFile, gathered into larger writes; FlushOutput writes what is
// gathered (DecompressEntry does so at the end of the stream). A short or failed write is remembered
// for the entry (g_outputWriteFailed), so that a file cut short by a full disk is never reported as
// extracted.
void WriteOutputBytes(const char* buffer, uint32_t count);
void FlushOutput();
extern int g_outputWriteFailed;
// The path check of ExtractEntries: 1 when the entry may be written, i.e. its name is safe and
// targetDir followed by it fits into a path buffer without being cut.
int IsWritableEntry(const char* name, const char* targetDir);
