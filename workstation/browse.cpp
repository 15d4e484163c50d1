// BrowseAllDrives: the shell's folder-browse dialog, shown by the worker
// ShowFolderDialog from the desktop down. A cancelled dialog gives an empty
// string; an item that is not a file-system folder gives "\\" and its
// display name.
#include "object/qvfileio.h"
#include <cwchar>

namespace {

const char kFailedToLoadDialog[] = "Failed to load the browse folder dialog window";

// CoUninitialize once for a CoInitialize that succeeded.
struct ComApartment {
    ~ComApartment() { win32.CoUninitialize(); }
};

}  // namespace

HRESULT QVFileIO::ShowFolderDialog(HWND owner, const wchar_t* title, UINT flags, BSTR* result, const char*& message) {
    try {
        unique_bstr chosen(::SysAllocStringLen(nullptr, 0));
        if (!chosen) throw std::bad_alloc();
        wchar_t displayName[MAX_PATH] = {};
        wchar_t path[MAX_PATH] = {};
        // S_FALSE, an apartment already there, is success.
        if (FAILED(win32.CoInitialize(nullptr))) {
            message = "Failed to CoInitialize COM";
            return Report(E_FAIL, __LINE__, {"Error: ", message});
        }
        const ComApartment apartment;
        com_ptr<IMalloc> allocator;
        if (FAILED(win32.SHGetMalloc(allocator.put()))) {
            *result = chosen.release();
            message = "Failed to get the shell's allocater";
            return Report(E_FAIL, __LINE__, {"lpMalloc: ", message});
        }
        BROWSEINFOW settings = {};
        settings.hwndOwner = owner;
        settings.pszDisplayName = displayName;
        settings.lpszTitle = title;
        settings.ulFlags = flags;
        const PIDLIST_ABSOLUTE item = win32.SHBrowseForFolderW(&settings);
        if (item) {
            if (win32.SHGetPathFromIDListW(item, path)) {
                if (!path[0]) Report(S_OK, __LINE__, {"bstrPath: ", "No path was chosen from the dialog"});
                chosen.reset(NewBstr(std::wstring(path, wcsnlen(path, MAX_PATH))));
            } else {
                // Not a file-system folder: a computer of the network, say.
                chosen.reset(NewBstr(L"\\\\" + std::wstring(displayName, wcsnlen(displayName, MAX_PATH))));
            }
            allocator->Free(item);
        }
        *result = chosen.release();
        return S_OK;
    } catch (...) {
        message = kFailedToLoadDialog;
        return Report(E_FAIL, __LINE__, {});
    }
}

STDMETHODIMP QVFileIO::BrowseAllDrives(BSTR bstrDlgText, BSTR* bstrpath) {
    if (!bstrpath) return E_POINTER;
    return Guarded("Error: ", kFailedToLoadDialog, [&] {
        ArgCopy text(bstrDlgText);
        BSTR chosen = nullptr;
        const char* message = "";
        const HRESULT hr = ShowFolderDialog(nullptr, text.get(), 0, &chosen, message);
        unique_bstr owner(chosen);  // freed when handed back with a failure
        if (FAILED(hr)) return Fail(hr, __LINE__, {"Error: ", message});
        *bstrpath = owner.release();
        return S_OK;
    });
}
