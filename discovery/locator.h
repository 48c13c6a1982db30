#pragma once
// The installation locator: completes the job settings with what the command line left open and what
// only the installation can tell (default packed file, archive name and subdirectory from the trailer,
// installation root, default target directory and the archive start path as the server names it).
// It shows nothing; an empty job-settings field is its failure signal.
#include <cstdint>

#include "platform/platform.h"

// Where the locator looks.
constexpr const char* kPackToolKey = "Software\\Brannix\\Zarpin32";  // HKEY_CURRENT_USER
constexpr const char* kPackFileValue = "PackFile";
constexpr const char* kServerKey = "SOFTWARE\\Brannix\\Zelvar";  // HKEY_LOCAL_MACHINE
constexpr const char* kRootDirectoryValue = "RootDirectory";
constexpr const char* kSettingsFile = "brannix.ini";  // in the Windows directory
constexpr const char* kSettingsSection = "COMMON";
constexpr const char* kClientSetupInf = "clients\\setup.inf";
constexpr const char* kClientSetupExe = "clients\\setup.exe";
constexpr int kServerNameChars = 127;    // "Server" and "Volume" values
constexpr int kComputerNameBuffer = 16;  // 15 characters and the terminator

// Fills targetDir (unless targetGiven) and archiveRoot; useDefaultSource 1 lets the program's own file
// and the "PackFile" registry value stand in for a missing sourcePath.
void DeriveTargetDir(int useDefaultSource);
// After the target directory changed: archiveRoot for it, and installRoot from that.
void DeriveInstallRoot();
// 1 when sourcePath names a valid packed file (archiveName and archiveSubdir then come from its trailer).
int ProbeSourceFile(int useDefaultSource);
// 0 when targetDir is empty, else 1 (also when archiveRoot stays empty).
int DeriveArchiveRoot();
// Walks up from path asking each parent's "archive.dir" about the child; 1 when archiveRoot was set.
int SearchArchiveRoot(const char* path);

// Network path forms.
int UncToMappedDrive(const char* path, char* out, uint32_t size);
int MappedDriveToUnc(const char* path, char* out, uint32_t size);
// Volume form when the path lies in an installation (a "clients\setup.exe" below its first directory),
// else UNC form; 0 for an empty path or a drive-form path. out holds 261 bytes.
int ServerPathForm(const char* path, char* out);

// Settings and registry.
uint32_t ReadSettingsValue(const char* section, const char* key, const char* defaultValue, char* buffer,
                           uint32_t size);
// The query's status (0 = success); a missing or refused key gives 0 and leaves the buffer as it was.
// A value that does not fit into the buffer leaves it empty: a cut path would name another file.
int32_t ReadRegistryString(RegistryRoot root, const char* subKey, const char* valueName, char* buffer,
                           uint32_t* byteSize);

// Record files: a visitor sees each 430-byte record and answers with these bits.
constexpr unsigned RecordWriteBack = 1;
constexpr unsigned RecordStopScan = 2;
typedef unsigned (*RecordVisitor)(char* record, void* context);
void ScanRecordFile(const char* directory, const char* fileName, RecordVisitor visitor, void* context,
                    int readOnly);
// context: the archiveRoot buffer (261 bytes); takes the first record's path and stops.
unsigned TakeFirstArchivePath(char* record, void* context);
// context: the child's name; on a name match takes the record's path into archiveRoot and stops.
unsigned MatchArchiveDirName(char* record, void* context);
