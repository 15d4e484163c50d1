// GetScriptPath and GetWorkstationName: where a script runs. Neither writes
// a record to the log, but for GetScriptPath's only failure.
#include "object/qvfileio.h"
#include <cstring>

namespace {
const WORD kSocketsVersion = MAKEWORD(2, 2);
// gethostname is offered this much of the 260-byte buffer.
const int kHostNameOffer = 256;
}  // namespace

STDMETHODIMP QVFileIO::GetScriptPath(BSTR* bstrData) {
    if (!bstrData) return E_POINTER;
    // No failure path but memory running out, which has no catch-all
    // message of its own here.
    try {
        char path[MAX_PATH] = {};
        // Without a directory, the profile functions look in the Windows directory.
        win32.GetPrivateProfileStringA("Workstation", "ServerPath", "", path, MAX_PATH, "wkstn.ini");
        win32.CharUpperA(path);
        // Only drive C alone stands for the default script directory.
        if (lstrcmpA(path, "C:") == 0) strcpy(path, "C:\\qvane");
        *bstrData = NewBstrFromAnsi(path, strlen(path));
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
        char name[MAX_PATH] = {};
        win32.gethostname(name, kHostNameOffer);  // a failure leaves the text empty
        win32.WSACleanup();
        *bstrName = NewBstrFromAnsi(name, strnlen(name, MAX_PATH));
        return S_OK;
    } catch (...) {
        ComErrorInfo("Failed to get the workstation name of the local machine.");
        return E_FAIL;
    }
}
