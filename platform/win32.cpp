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
};
