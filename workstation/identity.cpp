// GetScriptPath and GetWorkstationName: where a script runs. Neither writes
// a record to the log, but for GetScriptPath's only failure.
#include "object/qvfileio.h"
#include <cwchar>

namespace {
const WORD kSocketsVersion = MAKEWORD(2, 2);
// The host name is offered this much of the 260-character buffer.
const int kHostNameOffer = 256;
}  // namespace

STDMETHODIMP QVFileIO::GetScriptPath(BSTR* bstrData) {
    if (!bstrData) return E_POINTER;
    // No failure path but memory running out, which has no catch-all
    // message of its own here.
    try {
        wchar_t path[MAX_PATH] = {};
        // Without a directory, the profile functions look in the Windows directory.
        win32.GetPrivateProfileStringW(L"Workstation", L"ServerPath", L"", path, MAX_PATH, L"wkstn.ini");
        win32.CharUpperW(path);
        // Only drive C alone stands for the default script directory.
        if (wcscmp(path, L"C:") == 0) wcscpy(path, L"C:\\qvane");
        *bstrData = NewBstr(path);
        return S_OK;
    } catch (...) {
        return Fail(E_OUTOFMEMORY, __LINE__, {"bstrData: ", kOutOfMemory});
    }
}

STDMETHODIMP QVFileIO::GetWorkstationName(BSTR* bstrName) {
    if (!bstrName) return E_POINTER;
    try {
        WSADATA data = {};
        if (win32.WSAStartup(kSocketsVersion, &data) != 0) return S_OK;
        if (data.wVersion != kSocketsVersion) {
            win32.WSACleanup();
            return S_OK;
        }
        wchar_t name[MAX_PATH] = {};
        win32.GetHostNameW(name, kHostNameOffer);  // a failure leaves the text empty
        win32.WSACleanup();
        *bstrName = NewBstr(std::wstring(name, wcsnlen(name, MAX_PATH)));
        return S_OK;
    } catch (...) {
        ComErrorInfo("Failed to get the workstation name of the local machine.");
        return E_FAIL;
    }
}
