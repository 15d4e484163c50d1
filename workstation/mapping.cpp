// MapNetworkDrive: a local path only has its drive checked; a network path
// is handed to the workstation's mapping script through a hand-shake key
// below HKEY_LOCAL_MACHINE. The script, named in "qvfileio.inf", runs under
// the script host while the call waits, then leaves its success and drive
// values under the same key.
#include "object/qvfileio.h"
#include <cerrno>
#include <cstdio>
#include <cwchar>

namespace {

const char kFailedToMap[] = "Failed to map the network drive";
const wchar_t kProgramFiles[] = L"downloaded program files";
// The script command has room for two paths and their quotes.
const size_t kCommandChars = 524;
const HRESULT kPathTooLong = HResultFromWin32(ERROR_FILENAME_EXCED_RANGE);

const char* SpawnMessage(int error) {
    switch (error) {
    case ENOENT: return "Spawning Error: File or path is not found";
    case E2BIG: return "Spawning Error: Argument list exceeds 1024 bytes";
    case ENOEXEC: return "Spawning Error: Specified file is not executable or has invalid executable-file format";
    case ENOMEM: return "Spawning Error: Not enough memory is available to execute new process";
    case EINVAL: return "Spawning Error: Mode argument is invalid";
    default: return "Spawning Error: An unspecified error occurred while trying to spawn the application";
    }
}

// Formats into `buffer`; false when the result does not fit.
template <size_t N>
bool Compose(wchar_t (&buffer)[N], const wchar_t* format, const wchar_t* a, const wchar_t* b = L"",
             const wchar_t* c = L"") {
    const int length = swprintf(buffer, N, format, a, b, c);
    return length >= 0 && static_cast<size_t>(length) < N;
}

}  // namespace

STDMETHODIMP QVFileIO::MapNetworkDrive(BSTR bstrServerPath, BSTR bstrSubKey, BSTR bstrRegValue,
                                       BSTR bstrDriveRegValue, BSTR bstrSuccessRegValue, BSTR* bstrDrive) {
    if (!bstrDrive) return E_POINTER;
    return Guarded("Error: ", kFailedToMap, [&] {
        ArgCopy server(bstrServerPath), subKey(bstrSubKey), regValue(bstrRegValue), driveValue(bstrDriveRegValue),
            successValue(bstrSuccessRegValue);
        HRESULT hr = Validate(server.get(), 1, "bstrFullPath: ", kInvalidPathName);
        if (FAILED(hr)) return hr;
        if (*bstrDrive) return Fail(E_INVALIDARG, __LINE__, {"bstrDrive: ", kOutParameterNotNull});
        std::wstring path(server.get(), server.length());
        if (FAILED(hr = ConfineAction(confinement_.AllowsDriveMapping(), "bstrServerPath: ", ToAnsi(path).c_str())))
            return hr;
        if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\')
            return MapThroughScript(server.get(), subKey.get(), regValue.get(), driveValue.get(), successValue.get(),
                                    bstrDrive);

        // A local path: one trailing backslash goes, and the drive is asked
        // for its free space only to learn whether it is ready.
        if (!path.empty() && path.back() == L'\\') path.pop_back();
        unique_bstr drive(NewBstr(path));
        long freeSpace = 0;
        if (Nested()->GetFreeDiskSpace(drive.get(), &freeSpace) == HResultFromWin32(ERROR_NOT_READY))
            return Fail(E_FAIL, __LINE__, {"Error: ", "The drive or device is not ready for reading"});
        *bstrDrive = drive.release();
        return S_OK;
    });
}

HRESULT QVFileIO::MapThroughScript(BSTR bstrServerPath, BSTR bstrSubKey, BSTR bstrRegValue, BSTR bstrDriveRegValue,
                                   BSTR bstrSuccessRegValue, BSTR* bstrDrive) {
    // The hand-shake key is one the script names, writes and deletes: the
    // administrator's policy judges it as such a key.
    HRESULT hr = ConfineKey(HKEY_LOCAL_MACHINE, bstrSubKey, Confinement::KeyAccess::DeleteKey);
    if (FAILED(hr)) return hr;
    const char* message = "";
    hr = CreateKeyWithValue(HKEY_LOCAL_MACHINE, bstrSubKey, bstrRegValue, bstrServerPath, REG_SZ, message);
    if (FAILED(hr)) return Fail(hr, __LINE__, {"bstrSubKey: ", message});

    // The script host of the Windows 9x family lives in the Windows
    // directory, everywhere else in the system directory.
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    bool windows9x = false;
    if (!win32.GetVersionExA(&version))
        Report(S_OK, __LINE__, {"lpVersionInfo: ", "Failed to get the OS version info..  using NT platform as default"});
    else
        windows9x = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    wchar_t windows[MAX_PATH] = {}, system[MAX_PATH] = {};
    const UINT windowsLength = win32.GetWindowsDirectoryW(windows, MAX_PATH);
    const UINT systemLength = windows9x ? 0 : win32.GetSystemDirectoryW(system, MAX_PATH);
    wchar_t hostPath[MAX_PATH], settingsPath[MAX_PATH];
    // Paths too long for their buffers are refused, never cut into another.
    if (windowsLength == 0 || windowsLength >= MAX_PATH || (!windows9x && (systemLength == 0 || systemLength >= MAX_PATH)) ||
        !Compose(hostPath, L"%ls\\%ls", windows9x ? windows : system, L"wscript.exe") ||
        !Compose(settingsPath, L"%ls\\%ls\\%ls", windows, kProgramFiles, L"qvfileio.inf"))
        return Fail(kPathTooLong, __LINE__,
                    {"szQVFileioINIPath: ", ToAnsi(windows).c_str(), "Error: ",
                     "The Windows directory is too long for the script's paths"});

    wchar_t script[MAX_PATH] = {};
    if (win32.GetPrivateProfileStringW(L"QVANE", L"MappingScript", L"", script, MAX_PATH, settingsPath) == 0)
        return Fail(E_PENDING, __LINE__,
                    {"szQVFileioINIPath: ", ToAnsi(settingsPath).c_str(), "Error: ", "No ini file entry was found"});

    // A script whose path does not fit (a name the settings file cut at its
    // buffer's end, say) is refused rather than run under another name.
    // Both paths are quoted whole: a backslash before a quote would be read
    // as a literal quote, and the host would be given a path that does not
    // exist.
    wchar_t scriptPath[MAX_PATH], command[kCommandChars];
    if (!Compose(scriptPath, L"%ls\\%ls\\%ls", windows, kProgramFiles, script) ||
        !Compose(command, L"\"%ls\" \"%ls\"", hostPath, scriptPath))
        return Fail(kPathTooLong, __LINE__,
                    {"szQVFileioINIPath: ", ToAnsi(settingsPath).c_str(), "Error: ", "The mapping script's path is too long"});
    const wchar_t* const arguments[] = {command, nullptr};
    errno = 0;
    // The exit status is not examined, unless it is negative: then it cannot
    // be told from a start that failed.
    if (static_cast<int>(win32.wspawnv(_P_WAIT, hostPath, arguments)) < 0) {
        const char* spawnMessage = SpawnMessage(errno);
        Report(E_FAIL, __LINE__,
               {"szWinScriptHostPath: ", ToAnsi(hostPath).c_str(), "  szScriptCmd: ", ToAnsi(command).c_str(), "Error: ",
                spawnMessage});
        ComErrorInfo(spawnMessage);
        return Fail(E_FAIL, __LINE__, {"Error: ", kFailedToMap});
    }

    BSTR successText = nullptr;
    hr = ReadMachineString(bstrSubKey, bstrSuccessRegValue, &successText, message);
    const unique_bstr success(successText);
    if (FAILED(hr)) return Fail(hr, __LINE__, {"Error: ", message});
    const std::wstring answer = success ? success.get() : L"";
    if (answer == L"N" || answer == L"n") return Fail(E_FAIL, __LINE__, {"Error: ", kFailedToMap});
    BSTR driveText = nullptr;
    hr = ReadMachineString(bstrSubKey, bstrDriveRegValue, &driveText, message);
    unique_bstr drive(driveText);
    if (FAILED(hr)) return Fail(hr, __LINE__, {"Error: ", message});
    *bstrDrive = drive.release();
    // The hand-shake is over; a key that stays is only logged.
    if (FAILED(hr = DeleteKey(HKEY_LOCAL_MACHINE, bstrSubKey, message)))
        Report(hr, __LINE__, {"Error: ", message ? message : ""});
    return S_OK;
}
