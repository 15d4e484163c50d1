// The seam over the Win32 calls that the product makes. Product code calls
// through `win32` only, so a test can make one call fail with a chosen error
// (a full disk, a failing CloseHandle) that the real system will not produce
// on demand. The table starts out holding the real functions.
#pragma once
#include "platform/windows.h"
#include <process.h>

struct Win32Api {
    decltype(&::CreateFileA) CreateFileA;
    decltype(&::CloseHandle) CloseHandle;
    decltype(&::ReadFile) ReadFile;
    decltype(&::WriteFile) WriteFile;
    decltype(&::SetFilePointer) SetFilePointer;
    decltype(&::SetEndOfFile) SetEndOfFile;
    decltype(&::GetFileAttributesA) GetFileAttributesA;
    decltype(&::SetFileAttributesA) SetFileAttributesA;
    decltype(&::CreateDirectoryA) CreateDirectoryA;
    decltype(&::GetDiskFreeSpaceA) GetDiskFreeSpaceA;
    decltype(&::GetWindowsDirectoryA) GetWindowsDirectoryA;
    decltype(&::GetLocalTime) GetLocalTime;
    decltype(&::WideCharToMultiByte) WideCharToMultiByte;
    decltype(&::MessageBoxA) MessageBoxA;
    decltype(&::FormatMessageA) FormatMessageA;
    decltype(&::LockFileEx) LockFileEx;
    decltype(&::UnlockFileEx) UnlockFileEx;
    // Searching, deleting, moving, copying and file times
    decltype(&::FindFirstFileA) FindFirstFileA;
    decltype(&::FindNextFileA) FindNextFileA;
    decltype(&::FindClose) FindClose;
    decltype(&::DeleteFileA) DeleteFileA;
    decltype(&::RemoveDirectoryA) RemoveDirectoryA;
    decltype(&::MoveFileA) MoveFileA;
    decltype(&::CopyFileA) CopyFileA;
    decltype(&::MoveFileExA) MoveFileExA;
    decltype(&::GetFileTime) GetFileTime;
    decltype(&::FileTimeToLocalFileTime) FileTimeToLocalFileTime;
    decltype(&::FileTimeToSystemTime) FileTimeToSystemTime;
    decltype(&::GetFileType) GetFileType;
    // Where a path really leads, for the administrator's policy
    decltype(&::GetFullPathNameW) GetFullPathNameW;
    decltype(&::GetFileAttributesW) GetFileAttributesW;
    decltype(&::CreateFileW) CreateFileW;
    decltype(&::GetFinalPathNameByHandleW) GetFinalPathNameByHandleW;
    // The registry
    decltype(&::RegOpenKeyExA) RegOpenKeyExA;
    decltype(&::RegCreateKeyExA) RegCreateKeyExA;
    decltype(&::RegSetValueExA) RegSetValueExA;
    decltype(&::RegQueryValueExA) RegQueryValueExA;
    decltype(&::RegDeleteKeyA) RegDeleteKeyA;
    decltype(&::RegDeleteValueA) RegDeleteValueA;
    decltype(&::RegQueryInfoKeyA) RegQueryInfoKeyA;
    decltype(&::RegEnumKeyExA) RegEnumKeyExA;
    decltype(&::RegCloseKey) RegCloseKey;
    decltype(&::RegOpenKeyExW) RegOpenKeyExW;
    decltype(&::RegQueryValueExW) RegQueryValueExW;
    // The workstation
    decltype(&::GetPrivateProfileStringA) GetPrivateProfileStringA;
    decltype(&::GetVersionExA) GetVersionExA;
    decltype(&::GetSystemDirectoryA) GetSystemDirectoryA;
    decltype(&::CreateProcessA) CreateProcessA;
    decltype(&::WSAStartup) WSAStartup;
    decltype(&::gethostname) gethostname;
    decltype(&::WSACleanup) WSACleanup;
    decltype(&::CharUpperA) CharUpperA;
    decltype(&::CoInitialize) CoInitialize;
    decltype(&::CoUninitialize) CoUninitialize;
    decltype(&::SHGetMalloc) SHGetMalloc;
    decltype(&::SHBrowseForFolderA) SHBrowseForFolderA;
    decltype(&::SHGetPathFromIDListA) SHGetPathFromIDListA;
    decltype(&::SHGetFolderPathA) SHGetFolderPathA;
    // The C library's start-and-wait of a program (-1 and errno when it cannot start).
    decltype(&::_spawnv) spawnv;
    // The volume that holds a path, and its free space
    decltype(&::GetVolumePathNameW) GetVolumePathNameW;
    decltype(&::GetDiskFreeSpaceExW) GetDiskFreeSpaceExW;
    // The helper's start, by its full name
    decltype(&::CreateProcessW) CreateProcessW;
    // A file's new content written beside it and put in its place (fileops/replacing.cpp)
    decltype(&::GetFileInformationByHandle) GetFileInformationByHandle;
    decltype(&::GetFileInformationByHandleEx) GetFileInformationByHandleEx;
    decltype(&::SetFileInformationByHandle) SetFileInformationByHandle;
    decltype(&::GetFileSecurityW) GetFileSecurityW;
    decltype(&::SetFileSecurityW) SetFileSecurityW;
    decltype(&::FlushFileBuffers) FlushFileBuffers;
    decltype(&::CopyFileW) CopyFileW;
    decltype(&::MoveFileExW) MoveFileExW;
    decltype(&::DeleteFileW) DeleteFileW;
    decltype(&::SetFileAttributesW) SetFileAttributesW;
};

extern Win32Api win32;

// Moves a file pointer through the seam, in 64 bits; false with the last
// error set when the move fails (INVALID_SET_FILE_POINTER alone is a valid
// low half). `position`, when given, gets the new position.
bool MoveFilePointer(HANDLE file, long long offset, DWORD method, long long* position = nullptr);

// Replaces one entry of the table for the life of the object (tests only).
template <class Fn>
class ScopedWin32Override {
public:
    ScopedWin32Override(Fn& slot, Fn replacement) : slot_(slot), saved_(slot) { slot_ = replacement; }
    ~ScopedWin32Override() { slot_ = saved_; }
    ScopedWin32Override(const ScopedWin32Override&) = delete;
    ScopedWin32Override& operator=(const ScopedWin32Override&) = delete;
private:
    Fn& slot_;
    Fn saved_;
};
