#include "platform/win32.h"

namespace {

// A function of ntdll by its name; null where the system has none.
template <class Fn>
Fn FromNtdll(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), name)));
}

// GetHostNameW where the sockets layer has it (Windows 8 and later), the
// ANSI name widened elsewhere.
int WSAAPI HostNameW(PWSTR name, int length) {
    using GetHostNameWFn = int(WSAAPI*)(PWSTR, int);
    static const auto wide = reinterpret_cast<GetHostNameWFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ws2_32.dll"), "GetHostNameW")));
    if (wide) return wide(name, length);
    char ansi[MAX_PATH] = {};
    const int result = ::gethostname(ansi, length < MAX_PATH ? length : MAX_PATH);
    if (result == 0 && !::MultiByteToWideChar(CP_ACP, 0, ansi, -1, name, length)) return SOCKET_ERROR;
    return result;
}

}  // namespace

Win32Api win32 = {
    ::CreateFileW,
    ::CloseHandle,
    ::ReadFile,
    ::WriteFile,
    ::SetFilePointer,
    ::SetEndOfFile,
    ::GetFileAttributesW,
    ::GetFileAttributesExW,
    ::SetFileAttributesW,
    ::CreateDirectoryW,
    ::GetDiskFreeSpaceW,
    ::GetLocalTime,
    ::WideCharToMultiByte,
    ::MessageBoxA,
    ::FormatMessageA,
    ::LockFileEx,
    ::UnlockFileEx,
    ::CreateFileA,
    ::CreateDirectoryA,
    ::GetWindowsDirectoryA,
    ::SHGetFolderPathA,
    ::FindFirstFileW,
    ::FindNextFileW,
    ::FindClose,
    ::DeleteFileW,
    ::RemoveDirectoryW,
    ::MoveFileW,
    ::CopyFileW,
    ::MoveFileExW,
    ::GetFileTime,
    ::FileTimeToLocalFileTime,
    ::FileTimeToSystemTime,
    ::GetFileType,
    ::GetFullPathNameW,
    ::GetFinalPathNameByHandleW,
    ::GetFileInformationByHandleEx,
    ::SetFileInformationByHandle,
    FromNtdll<NtCreateFileFn>("NtCreateFile"),
    FromNtdll<NtQueryDirectoryFileFn>("NtQueryDirectoryFile"),
    FromNtdll<NtSetInformationFileFn>("NtSetInformationFile"),
    FromNtdll<NtQueryInformationFileFn>("NtQueryInformationFile"),
    FromNtdll<NtQueryKeyFn>("NtQueryKey"),
    FromNtdll<NtDeleteKeyFn>("NtDeleteKey"),
    ::RegOpenKeyExW,
    ::RegCreateKeyExW,
    ::RegSetValueExW,
    ::RegQueryValueExW,
    ::RegDeleteKeyW,
    ::RegDeleteValueW,
    ::RegQueryInfoKeyW,
    ::RegEnumKeyExW,
    ::RegCloseKey,
    ::GetPrivateProfileStringW,
    ::GetVersionExA,
    ::GetWindowsDirectoryW,
    ::GetSystemDirectoryW,
    ::CreateProcessW,
    ::WSAStartup,
    HostNameW,
    ::WSACleanup,
    ::CharUpperW,
    ::CoInitialize,
    ::CoUninitialize,
    ::SHGetMalloc,
    ::SHBrowseForFolderW,
    ::SHGetPathFromIDListW,
    ::_wspawnv,
    ::GetVolumePathNameW,
    ::GetDiskFreeSpaceExW,
    ::GetKernelObjectSecurity,
    ::SetKernelObjectSecurity,
    ::FlushFileBuffers,
};

DWORD DosErrorOf(NTSTATUS status) {
    static const auto toDos = FromNtdll<RtlNtStatusToDosErrorFn>("RtlNtStatusToDosError");
    return toDos ? toDos(status) : ERROR_GEN_FAILURE;
}

bool MoveFilePointer(HANDLE file, long long offset, DWORD method, long long* position) {
    LONG high = static_cast<LONG>(offset >> 32);
    ::SetLastError(NO_ERROR);
    const DWORD low = win32.SetFilePointer(file, static_cast<LONG>(offset), &high, method);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return false;
    if (position) *position = static_cast<long long>(high) * 0x100000000LL + low;
    return true;
}
