// The seam over the Win32 calls that the product makes. Product code calls
// through `win32` only, so a test can make one call fail with a chosen error
// (a full disk, a failing CloseHandle) that the real system will not produce
// on demand. The table starts out holding the real functions.
// Names reach the system in their wide form, as the caller wrote them: no
// conversion to the ANSI code page can turn one name into another.
#pragma once
#include "platform/windows.h"
#include "platform/nt.h"
#include <process.h>

struct Win32Api {
    decltype(&::CreateFileW) CreateFileW;
    decltype(&::CloseHandle) CloseHandle;
    decltype(&::ReadFile) ReadFile;
    decltype(&::WriteFile) WriteFile;
    decltype(&::SetFilePointer) SetFilePointer;
    decltype(&::SetEndOfFile) SetEndOfFile;
    decltype(&::GetFileAttributesW) GetFileAttributesW;
    decltype(&::GetFileAttributesExW) GetFileAttributesExW;
    decltype(&::SetFileAttributesW) SetFileAttributesW;
    decltype(&::CreateDirectoryW) CreateDirectoryW;
    decltype(&::GetDiskFreeSpaceW) GetDiskFreeSpaceW;
    decltype(&::GetLocalTime) GetLocalTime;
    decltype(&::WideCharToMultiByte) WideCharToMultiByte;
    decltype(&::MessageBoxA) MessageBoxA;
    decltype(&::FormatMessageA) FormatMessageA;
    decltype(&::LockFileEx) LockFileEx;
    decltype(&::UnlockFileEx) UnlockFileEx;
    // The error log's own file, in the Windows directory or the user's folder
    decltype(&::CreateFileA) CreateFileA;
    decltype(&::CreateDirectoryA) CreateDirectoryA;
    decltype(&::GetWindowsDirectoryA) GetWindowsDirectoryA;
    decltype(&::SHGetFolderPathA) SHGetFolderPathA;
    // Searching, deleting, moving, copying and file times
    decltype(&::FindFirstFileW) FindFirstFileW;
    decltype(&::FindNextFileW) FindNextFileW;
    decltype(&::FindClose) FindClose;
    decltype(&::DeleteFileW) DeleteFileW;
    decltype(&::RemoveDirectoryW) RemoveDirectoryW;
    decltype(&::MoveFileW) MoveFileW;
    decltype(&::CopyFileW) CopyFileW;
    decltype(&::MoveFileExW) MoveFileExW;
    decltype(&::GetFileTime) GetFileTime;
    decltype(&::FileTimeToLocalFileTime) FileTimeToLocalFileTime;
    decltype(&::FileTimeToSystemTime) FileTimeToSystemTime;
    decltype(&::GetFileType) GetFileType;
    // Where a path really leads, and acting through the handle of what was
    // opened, for the administrator's policy
    decltype(&::GetFullPathNameW) GetFullPathNameW;
    decltype(&::GetFinalPathNameByHandleW) GetFinalPathNameByHandleW;
    decltype(&::GetFileInformationByHandleEx) GetFileInformationByHandleEx;
    decltype(&::SetFileInformationByHandle) SetFileInformationByHandle;
    NtCreateFileFn NtCreateFile;
    NtQueryDirectoryFileFn NtQueryDirectoryFile;
    NtSetInformationFileFn NtSetInformationFile;
    NtQueryInformationFileFn NtQueryInformationFile;
    NtQueryKeyFn NtQueryKey;
    NtDeleteKeyFn NtDeleteKey;
    // The registry
    decltype(&::RegOpenKeyExW) RegOpenKeyExW;
    decltype(&::RegCreateKeyExW) RegCreateKeyExW;
    decltype(&::RegSetValueExW) RegSetValueExW;
    decltype(&::RegQueryValueExW) RegQueryValueExW;
    decltype(&::RegDeleteKeyW) RegDeleteKeyW;
    decltype(&::RegDeleteValueW) RegDeleteValueW;
    decltype(&::RegQueryInfoKeyW) RegQueryInfoKeyW;
    decltype(&::RegEnumKeyExW) RegEnumKeyExW;
    decltype(&::RegCloseKey) RegCloseKey;
    // The workstation
    decltype(&::GetPrivateProfileStringW) GetPrivateProfileStringW;
    decltype(&::GetVersionExA) GetVersionExA;
    decltype(&::GetWindowsDirectoryW) GetWindowsDirectoryW;
    decltype(&::GetSystemDirectoryW) GetSystemDirectoryW;
    decltype(&::CreateProcessW) CreateProcessW;
    decltype(&::WSAStartup) WSAStartup;
    decltype(&::GetHostNameW) GetHostNameW;
    decltype(&::WSACleanup) WSACleanup;
    decltype(&::CharUpperW) CharUpperW;
    decltype(&::CoInitialize) CoInitialize;
    decltype(&::CoUninitialize) CoUninitialize;
    decltype(&::SHGetMalloc) SHGetMalloc;
    decltype(&::SHBrowseForFolderW) SHBrowseForFolderW;
    decltype(&::SHGetPathFromIDListW) SHGetPathFromIDListW;
    // The C library's start-and-wait of a program (-1 and errno when it cannot start).
    decltype(&::_wspawnv) wspawnv;
    // The volume that holds a path, and its free space
    decltype(&::GetVolumePathNameW) GetVolumePathNameW;
    decltype(&::GetDiskFreeSpaceExW) GetDiskFreeSpaceExW;
    // A file's new content written beside it and put in its place (fileops/replacing.cpp)
    decltype(&::GetKernelObjectSecurity) GetKernelObjectSecurity;
    decltype(&::SetKernelObjectSecurity) SetKernelObjectSecurity;
    decltype(&::FlushFileBuffers) FlushFileBuffers;
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
