// The floors of make bench: for each operation family, the least work that
// its contract asks on the benchmark's input. A floor makes exactly the
// Win32 calls that the operation must make there (its checks, its records,
// what a failure must put back), converts the caller's text once, and
// nothing else: no validation through the object's interface, no frame, no
// copies. Each hands back what the operation hands back, so that the two
// can be compared.
#pragma once
#include "platform/raii.h"
#include <string>

namespace floors {

// Write and Append on an existing file in an existing directory (flags
// create file, create directory, no read-only override): the directory
// check, the file's check (not a directory, opened alone), the free space,
// the saved attributes, the content (Write: a new file written beside the
// file, given what it keeps, flushed and put in its place; Append: added in
// place), the attributes put back.
void WriteOver(BSTR text, const char* directory, const char* path);
void Append(BSTR text, const char* directory, const char* path);
// Write to a missing file: both existence checks of the file, each with its
// record, the reserve's free space, the creation, then the write.
void WriteNew(BSTR text, const char* directory, const char* path);
// WriteToExistingFile, replacing: the free space, then the new file beside,
// written, flushed and put in place.
void WriteToExisting(BSTR text, const char* path);
// CopyFile over an existing destination: its attributes, the copy beside
// it, given what the destination keeps, flushed and renamed over it.
void CopyOver(const char* source, const char* destination);
// Read: one ReadFile of the whole file, CR LF folded to LF, one
// SysAllocStringLen and one MultiByteToWideChar into it.
BSTR Read(const char* path);
// FileExists of an existing file: not a directory, opened alone.
bool FileExists(const char* path);
// GetDirectoryContents of files and directories: one search, the names
// joined by "|" and widened once.
BSTR ListDirectory(const char* pattern);
// FindFileOrDirectory: each directory listed twice (the matches, then
// everything), an attribute read per entry, the directories descended.
BSTR Search(const char* directory, const char* pattern);
// DeleteDirectory of a whole tree: first, for the top, the volume that
// holds it (a volume's root is never deleted); two listings per directory;
// per entry the directory test, then for a file the attribute read and
// write of the clear and the deletion; the directory's own clear and removal.
void DeleteTree(const char* directory, bool top = true);
// GetFileSize: not a directory, the size from the directory entry.
long FileSize(const char* path);
// GetLastModifiedDate: not a directory, opened alone, the time as a local date.
BSTR LastModifiedDate(const char* path);
// CreateRegistryKey of a text value and ReadRegistryStringData of it.
void RegistryWrite(HKEY root, const char* subKey, const char* name, BSTR data);
BSTR RegistryRead(HKEY root, const char* subKey, const char* name);

}  // namespace floors
