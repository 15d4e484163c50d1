// StartOrmik: starts the host product's helper program, detached and not
// waited for, when its start switch in the registry is 1.
#include "object/qvfileio.h"
#include <cstdio>
#include <cstring>

namespace {

const char kSwitchKey[] = "Software\\Quorvane\\Tolvex";
const char kFolderKey[] = "Software\\Quorvane\\Portline";
const DWORD kStartSwitchOn = 1;

// Reads one value of a key below HKEY_LOCAL_MACHINE into `data`; the key is
// closed whatever the read gives. Returns the registry's error code.
LONG ReadMachineValue(const char* subKey, const char* name, void* data, DWORD size) {
    unique_hkey key;
    const LONG code = win32.RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, key.put());
    if (code != ERROR_SUCCESS) return code;
    return win32.RegQueryValueExA(key.get(), name, nullptr, nullptr, static_cast<BYTE*>(data), &size);
}

}  // namespace

// A start that fails is only logged: the call still answers S_OK.
STDMETHODIMP QVFileIO::StartOrmik() {
    const HRESULT refused = ConfineAction(confinement_.AllowsHelper(), "OrmikStart: ", "Ormik.exe");
    if (FAILED(refused)) return refused;
    DWORD startSwitch = 0;  // a shorter value leaves the rest zero
    LONG code = ReadMachineValue(kSwitchKey, "OrmikStart", &startSwitch, sizeof startSwitch);
    if (code != ERROR_SUCCESS) return WithoutErrorInfo(HResultFromFailedCall(static_cast<DWORD>(code)));
    if (startSwitch != kStartSwitchOn) return S_OK;
    char folder[MAX_PATH] = {};
    code = ReadMachineValue(kFolderKey, "InstallPath", folder, sizeof folder);
    if (code != ERROR_SUCCESS) return WithoutErrorInfo(HResultFromFailedCall(static_cast<DWORD>(code)));

    // A folder too long for the command line is refused, not cut.
    char command[MAX_PATH];
    const int length = snprintf(command, sizeof command, "%.*s\\Ormik.exe /NOMSG", int(strnlen(folder, sizeof folder)),
                                folder);
    if (length < 0 || static_cast<size_t>(length) >= sizeof command) {
        Report(HResultFromWin32(ERROR_FILENAME_EXCED_RANGE), __LINE__,
               {"OrmikStart: ", "The install folder is too long for the helper's command line", "Error: ",
                "CreateProcess:Ormik"});
        return S_OK;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!win32.CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                              &process)) {
        char text[64];
        snprintf(text, sizeof text, "GetLastError returned %lu", static_cast<unsigned long>(::GetLastError()));
        Report(S_OK, __LINE__, {"OrmikStart: ", text, "Error: ", "CreateProcess:Ormik"});
        return S_OK;
    }
    // The helper is not waited for; its handles are not kept.
    win32.CloseHandle(process.hThread);
    win32.CloseHandle(process.hProcess);
    return S_OK;
}
