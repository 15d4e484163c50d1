#include "platform/win32.h"

Win32Api win32 = {
    ::CreateFileA,
    ::CloseHandle,
    ::ReadFile,
    ::WriteFile,
    ::SetFilePointer,
    ::SetEndOfFile,
    ::GetFileAttributesA,
    ::SetFileAttributesA,
    ::CreateDirectoryA,
    ::GetDiskFreeSpaceA,
    ::GetWindowsDirectoryA,
    ::GetLocalTime,
    ::WideCharToMultiByte,
    ::MessageBoxA,
    ::FormatMessageA,
    ::LockFileEx,
    ::UnlockFileEx,
    ::FindFirstFileA,
    ::FindNextFileA,
    ::FindClose,
    ::DeleteFileA,
    ::RemoveDirectoryA,
    ::MoveFileA,
    ::CopyFileA,
    ::MoveFileExA,
    ::GetFileTime,
    ::FileTimeToLocalFileTime,
    ::FileTimeToSystemTime,
    ::GetFileType,
    ::RegOpenKeyExA,
    ::RegCreateKeyExA,
    ::RegSetValueExA,
    ::RegQueryValueExA,
    ::RegDeleteKeyA,
    ::RegDeleteValueA,
    ::RegQueryInfoKeyA,
    ::RegEnumKeyExA,
    ::RegCloseKey,
    ::GetPrivateProfileStringA,
    ::GetVersionExA,
    ::GetSystemDirectoryA,
    ::CreateProcessA,
    ::WSAStartup,
    ::gethostname,
    ::WSACleanup,
    ::CharUpperA,
    ::CoInitialize,
    ::CoUninitialize,
    ::SHGetMalloc,
    ::SHBrowseForFolderA,
    ::SHGetPathFromIDListA,
    ::SHGetFolderPathA,
    ::_spawnv,
};

bool MoveFilePointer(HANDLE file, long long offset, DWORD method, long long* position) {
    LONG high = static_cast<LONG>(offset >> 32);
    ::SetLastError(NO_ERROR);
    const DWORD low = win32.SetFilePointer(file, static_cast<LONG>(offset), &high, method);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return false;
    if (position) *position = static_cast<long long>(high) * 0x100000000LL + low;
    return true;
}
