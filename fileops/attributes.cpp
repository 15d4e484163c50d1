// Attribute operations: SetAsReadOnly, SetAsHidden and SetAsArchive add one
// attribute; ClearFileAttributes replaces them all by FILE_ATTRIBUTE_NORMAL.
// All four run the private worker ChangeFileAttributes.
#include "object/qvfileio.h"

HRESULT QVFileIO::ChangeFileAttributes(BSTR bstrFullPath, DWORD attributes, bool replace, const char*& message,
                                       DWORD* before) {
    try {
        ArgCopy path(bstrFullPath);
        PathText narrow;
        HRESULT hr = ValidatePath(path.get(), narrow, "bstrFullPath: ", kInvalidPathName, &message);
        if (FAILED(hr)) return hr;
        // Read even when replacing, so a missing entry always fails here.
        const DWORD current = files::Attributes(narrow.wide());
        if (current == INVALID_FILE_ATTRIBUTES) {
            const Win32Failure failure = NotFoundOr(::GetLastError(), kFailedToGetAttributes);
            message = failure.message;
            return Report(failure.hr, __LINE__, {"szDirPath: ", narrow.c_str(), "Error: ", message});
        }
        if (before) *before = current;
        if (NamesDevice(path.get())) {
            message = kFailedToSetAttributes;
            return Report(HResultFromWin32(ERROR_INVALID_NAME), __LINE__,
                          {"szDirPath: ", narrow.c_str(), "Error: ", message});
        }
        if (!files::SetAttributes(narrow.wide(), replace ? attributes : current | attributes)) {
            message = kFailedToSetAttributes;
            return Report(HResultFromLastError(), __LINE__, {"szDirPath: ", narrow.c_str(), "Error: ", message});
        }
        return S_OK;
    } catch (...) {
        message = kFailedToSetAttributes;
        return Report(E_FAIL, __LINE__, {"stdstrFullPath: ", message});
    }
}

HRESULT QVFileIO::AttributeOperation(BSTR bstrFullPath, DWORD attributes, bool replace, const char* catchMessage,
                                     DWORD* before) {
    return Guarded("bstrFullPath: ", catchMessage, [&] {
        ArgCopy path(bstrFullPath);
        HRESULT hr = ConfineArgument(path.get(), Confinement::Access::Change, "bstrFullPath: ");
        if (FAILED(hr)) return hr;
        const char* message = "";
        hr = ChangeFileAttributes(path.get(), attributes, replace, message, before);
        return FAILED(hr) ? Fail(hr, __LINE__, {"bstrFullPath: ", message}) : S_OK;
    });
}

STDMETHODIMP QVFileIO::SetAsReadOnly(BSTR bstrFullPath) {
    return AttributeOperation(bstrFullPath, FILE_ATTRIBUTE_READONLY, false, "Failed to set the ready only attribute");
}

STDMETHODIMP QVFileIO::SetAsHidden(BSTR bstrFullPath) {
    return AttributeOperation(bstrFullPath, FILE_ATTRIBUTE_HIDDEN, false, "Failed to hide the file");
}

STDMETHODIMP QVFileIO::SetAsArchive(BSTR bstrFullPath) {
    return AttributeOperation(bstrFullPath, FILE_ATTRIBUTE_ARCHIVE, false, "Failed to set the file as an archive");
}

STDMETHODIMP QVFileIO::ClearFileAttributes(BSTR bstrFullPath) {
    return AttributeOperation(bstrFullPath, FILE_ATTRIBUTE_NORMAL, true, kFailedToClearAttributes);
}
