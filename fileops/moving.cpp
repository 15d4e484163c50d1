// Moving and copying: MoveFileOrDirectory moves or renames with one call;
// CopyFile copies one file, optionally over an existing or read-only one.
// Both validate both paths and report with the new path.
#include "object/qvfileio.h"

namespace {
const char kFailedToMove[] = "Failed to move the file or directory";
const char kFailedToCopy[] = "Failed to copy the file";
}  // namespace

// The old path is validated first; the new one only when the old one
// passed. The report does not say which of the two was refused.
HRESULT QVFileIO::ValidateOldAndNew(BSTR oldPath, BSTR newPath, NarrowPath& oldNarrow, NarrowPath& newNarrow) {
    VARIANT_BOOL valid = 0;
    HRESULT hr = Self()->IsValidFileOrDirectoryName(oldPath, 1, &valid);
    if (SUCCEEDED(hr) && valid) hr = Self()->IsValidFileOrDirectoryName(newPath, 1, &valid);
    if (FAILED(hr)) return Fail(hr, __LINE__, {"bstrNewOrOldFullPath: ", kFailedToValidate});
    if (!valid || !oldNarrow.Assign(oldPath) || !newNarrow.Assign(newPath))
        return Fail(E_INVALIDARG, __LINE__, {"bstrNewOrOldFullPath: ", kInvalidPathName});
    return S_OK;
}

STDMETHODIMP QVFileIO::MoveFileOrDirectory(BSTR bstrOldFullPath, BSTR bstrNewFullPath) {
    return Guarded("szDirNewPath: ", kFailedToMove, [&] {
        ArgCopy oldPath(bstrOldFullPath), newPath(bstrNewFullPath);
        NarrowPath oldNarrow, newNarrow;
        HRESULT hr = ValidateOldAndNew(oldPath.get(), newPath.get(), oldNarrow, newNarrow);
        if (FAILED(hr)) return hr;
        // An existing destination is never replaced.
        if (win32.MoveFileA(oldNarrow.c_str(), newNarrow.c_str())) return S_OK;
        const DWORD error = ::GetLastError();
        const HRESULT failed = HResultFromFailedCall(error);
        switch (error) {
        case ERROR_ALREADY_EXISTS:
            return Fail(failed, __LINE__, {"szDirNewPath: ", newNarrow.c_str(), "Error: ", kAlreadyExists});
        case ERROR_FILE_NOT_FOUND:
            return Fail(failed, __LINE__, {"szDirPath: ", newNarrow.c_str(), "Error: ", kFileNotFound});
        case ERROR_PATH_NOT_FOUND:
            return Fail(failed, __LINE__, {"szDirPath: ", newNarrow.c_str(), "Error: ", kPathNotFound});
        default:
            return Fail(failed, __LINE__, {"szDirNewPath: ", newNarrow.c_str(), "Error: ", kFailedToMove});
        }
    });
}

STDMETHODIMP QVFileIO::CopyFile(BSTR bstrOldFullPath, BSTR bstrNewFullPath, VARIANT_BOOL bOverwriteExisting,
                                VARIANT_BOOL bOverwriteReadOnly) {
    return Guarded("szDirNewPath: ", kFailedToCopy, [&] {
        ArgCopy oldPath(bstrOldFullPath), newPath(bstrNewFullPath);
        NarrowPath oldNarrow, newNarrow;
        HRESULT hr = ValidateOldAndNew(oldPath.get(), newPath.get(), oldNarrow, newNarrow);
        if (FAILED(hr)) return hr;
        // Cleared whether or not a destination exists: a missing one leaves
        // the records of the failed clear, and the copy goes on. The old
        // attributes are kept so that a refused copy can put them back.
        DWORD saved = INVALID_FILE_ATTRIBUTES;
        if (bOverwriteReadOnly) {
            saved = win32.GetFileAttributesA(newNarrow.c_str());
            Self()->ClearFileAttributes(newPath.get());
        }
        if (win32.CopyFileA(oldNarrow.c_str(), newNarrow.c_str(), bOverwriteExisting ? FALSE : TRUE)) return S_OK;
        const Win32Failure failure = ClassifyFailure(::GetLastError(),
                                                     {{ERROR_FILE_EXISTS, kAlreadyExists},
                                                      {ERROR_ACCESS_DENIED, kAccessDenied},
                                                      {ERROR_FILE_NOT_FOUND, kFileNotFound},
                                                      {ERROR_PATH_NOT_FOUND, kFileNotFound}},
                                                     kFailedToCopy);
        if (saved != INVALID_FILE_ATTRIBUTES && !NamesDevice(newPath.get()))
            win32.SetFileAttributesA(newNarrow.c_str(), saved);
        return Fail(failure.hr, __LINE__, {"szDirNewPath: ", newNarrow.c_str(), "Error: ", failure.message});
    });
}
