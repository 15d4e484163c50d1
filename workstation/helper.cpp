// StartOrmik: starts the host product's helper program, detached and not
// waited for, when its start switch in the registry is 1. The helper is
// named in full and its name quoted, so the system never searches for a
// program: unquoted, "C:\Program Files\..." starts a planted C:\Program.exe.
#include "object/qvfileio.h"
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace {

// A value of the host product's below HKEY_LOCAL_MACHINE.
struct Setting {
    const wchar_t* key;
    const wchar_t* name;
};
const Setting kStartSwitch = {L"Software\\Quorvane\\Tolvex", L"OrmikStart"};
const Setting kInstallFolder = {L"Software\\Quorvane\\Portline", L"InstallPath"};
const DWORD kStartSwitchOn = 1;
const wchar_t kHelperName[] = L"\\Ormik.exe";

const char kFailedToReadSetting[] = "Failed to read the helper's registry setting";

// Reads one setting into `data`; the key is closed whatever the read gives.
// Returns the registry's error code.
LONG ReadSetting(const Setting& setting, DWORD* type, void* data, DWORD size) {
    unique_hkey key;
    const LONG code = win32.RegOpenKeyExW(HKEY_LOCAL_MACHINE, setting.key, 0, KEY_READ, key.put());
    if (code != ERROR_SUCCESS) return code;
    return win32.RegQueryValueExW(key.get(), setting.name, nullptr, type, static_cast<BYTE*>(data), &size);
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A drive's path (C:\...) or a share's (\\server\share...); not relative,
// not drive-relative (C:x), not the device namespace (\\.\, \\?\).
bool IsWholePath(const wchar_t* path) {
    if (iswalpha(path[0]) && path[1] == L':' && IsSeparator(path[2])) return true;
    return IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] && !IsSeparator(path[2]) && path[2] != L'.' &&
           path[2] != L'?';
}

// Whether a part of the path is dots and blanks alone ("..", "...", ". "):
// such a part may climb out of the folder named before it. "." stays.
bool ClimbsOut(const wchar_t* path) {
    for (const wchar_t* part = path; *part;) {
        const size_t length = wcscspn(part, L"\\/");
        if (length > 1 && wcsspn(part, L". ") >= length) return true;
        part += length;
        if (*part) ++part;
    }
    return false;
}

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = ::GetLastError();
    return error ? error : fallback;
}

// The helper's full name, in `helper`, when `folder` names an existing
// folder by a whole path: ERROR_SUCCESS; otherwise the Windows error that
// says why nothing may be started from it.
DWORD HelperIn(const wchar_t* folder, wchar_t (&helper)[MAX_PATH]) {
    if (wcschr(folder, L'"')) return ERROR_INVALID_NAME;
    if (!IsWholePath(folder) || ClimbsOut(folder)) return ERROR_BAD_PATHNAME;
    const DWORD length = win32.GetFullPathNameW(folder, MAX_PATH, helper, nullptr);
    if (length == 0) return LastErrorOr(ERROR_BAD_PATHNAME);
    if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    const DWORD attributes = win32.GetFileAttributesW(helper);
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastErrorOr(ERROR_PATH_NOT_FOUND);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
    size_t end = length;
    while (end > 0 && helper[end - 1] == L'\\') --end;
    if (end + wcslen(kHelperName) >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    wcscpy(helper + end, kHelperName);
    return ERROR_SUCCESS;
}

}  // namespace

// A start that fails, or a folder that cannot hold the helper, is only
// logged: the call still answers S_OK. A setting that cannot be read fails
// the call.
STDMETHODIMP QVFileIO::StartOrmik() {
    const HRESULT refused = ConfineAction(confinement_.AllowsHelper(), "OrmikStart: ", "Ormik.exe");
    if (FAILED(refused)) return refused;
    auto unread = [&](const Setting& setting, LONG code) {
        char place[128];
        snprintf(place, sizeof place, "HKEY_LOCAL_MACHINE\\%ls\\%ls", setting.key, setting.name);
        return Fail(HResultFromFailedCall(static_cast<DWORD>(code)), __LINE__,
                    {"OrmikStart: ", place, "Error: ", kFailedToReadSetting});
    };
    auto notStarted = [&](DWORD error) {
        char text[64];
        snprintf(text, sizeof text, "GetLastError returned %lu", static_cast<unsigned long>(error));
        Report(S_OK, __LINE__, {"OrmikStart: ", text, "Error: ", "CreateProcess:Ormik"});
        return S_OK;
    };

    DWORD type = REG_NONE, startSwitch = 0;  // a shorter value leaves the rest zero
    LONG code = ReadSetting(kStartSwitch, &type, &startSwitch, sizeof startSwitch);
    // A text is never the number 1, however long it is.
    if ((code == ERROR_SUCCESS || code == ERROR_MORE_DATA) && IsText(type)) return S_OK;
    if (code != ERROR_SUCCESS) return unread(kStartSwitch, code);
    if (startSwitch != kStartSwitchOn) return S_OK;

    // One character short of the buffer: a text stored without its closing
    // zero is still ended. A longer folder cannot hold the helper.
    wchar_t folder[MAX_PATH] = {};
    code = ReadSetting(kInstallFolder, nullptr, folder, sizeof folder - sizeof *folder);
    if (code == ERROR_MORE_DATA) return notStarted(ERROR_FILENAME_EXCED_RANGE);
    if (code != ERROR_SUCCESS) return unread(kInstallFolder, code);
    wchar_t helper[MAX_PATH];
    const DWORD error = HelperIn(folder, helper);
    if (error != ERROR_SUCCESS) return notStarted(error);

    wchar_t command[MAX_PATH + 16] = L"\"";
    wcscat(wcscat(command, helper), L"\" /NOMSG");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!win32.CreateProcessW(helper, command, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                              &process))
        return notStarted(::GetLastError());
    // The helper is not waited for; its handles are not kept.
    win32.CloseHandle(process.hThread);
    win32.CloseHandle(process.hProcess);
    return S_OK;
}
