// The few calls of ntdll that the product makes, found at run time (the
// library imports only the system's documented DLLs), and the structures
// they fill. Every one is NTAPI: a call through a pointer of the wrong
// convention would corrupt the 32-bit stack.
#pragma once
#include "platform/windows.h"
#include <winternl.h>

#ifndef FILE_CREATE
#define FILE_CREATE 0x00000002
#endif
#ifndef FILE_DIRECTORY_FILE
#define FILE_DIRECTORY_FILE 0x00000001
#endif
#ifndef FILE_NON_DIRECTORY_FILE
#define FILE_NON_DIRECTORY_FILE 0x00000040
#endif
#ifndef FILE_SYNCHRONOUS_IO_NONALERT
#define FILE_SYNCHRONOUS_IO_NONALERT 0x00000020
#endif
#ifndef FILE_OPEN_FOR_BACKUP_INTENT
#define FILE_OPEN_FOR_BACKUP_INTENT 0x00004000
#endif

// What NtQueryDirectoryFile gives for its class 3, FileBothDirectoryInformation:
// what FindFirstFile reads.
struct NtFileBothDirInformation {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;
    CCHAR ShortNameLength;
    WCHAR ShortName[12];
    WCHAR FileName[1];
};
const int kFileBothDirectoryInformation = 3;

// What NtQueryKey gives for its class 3, KeyNameInformation: the key's name
// as the registry knows it (\REGISTRY\MACHINE\SOFTWARE\...).
struct NtKeyNameInformation {
    ULONG NameLength;  // in bytes
    WCHAR Name[1];
};
const int kKeyNameInformation = 3;

// What NtSetInformationFile takes for its class 10, FileRenameInformation: a
// new name relative to the folder `RootDirectory`, which the rename cannot
// leave (the documented rename by handle takes a full path, which a link
// swapped into it would move elsewhere).
struct NtFileRenameInformation {
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    ULONG FileNameLength;  // in bytes
    WCHAR FileName[1];
};
const int kFileRenameInformation = 10;
// NtQueryInformationFile's class 6: the file's number on its volume.
const int kFileInternalInformation = 6;
// NtQueryDirectoryFile's class 37, FileIdBothDirectoryInformation: each
// entry with its file number.
const int kFileIdBothDirectoryInformation = 37;

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                        ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtQueryDirectoryFileFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG, int,
                                                BOOLEAN, PUNICODE_STRING, BOOLEAN);
using NtQueryInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, int);
using NtSetInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, int);
using NtQueryKeyFn = NTSTATUS(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
using NtDeleteKeyFn = NTSTATUS(NTAPI*)(HANDLE);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(NTSTATUS);

// The Windows error code of an NTSTATUS, as the system's own calls give it.
DWORD DosErrorOf(NTSTATUS status);
