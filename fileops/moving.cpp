// Moving and copying: MoveFileOrDirectory moves or renames with one call;
// CopyFile copies one file, optionally over an existing or read-only one.
// Both validate both paths and report with the new path.
#include "fileops/replacing.h"
#include "object/qvfileio.h"

namespace {
const char kFailedToMove[] = "Failed to move the file or directory";
const char kFailedToCopy[] = "Failed to copy the file";

// Removes a file of our own (a cut copy of a new destination), read-only or not.
bool RemoveOwnFile(const wchar_t* path) {
    files::SetAttributes(path, FILE_ATTRIBUTE_NORMAL);
    return files::Delete(path) != FALSE;
}

// Copies over an existing destination (of these attributes) without giving
// it up before the copy is whole: the copy is made beside it and takes its
// place in one step (fileops/replacing.h), with the source's bytes and
// attributes as CopyFileW gives them and the destination's creation time,
// owner and access control list. False with the last error set when the
// copy failed, the destination untouched and no new file left. `replaced`
// is false where this way does not go (a read-only, hidden or system
// destination, one that cannot be replaced in one step, a folder where no
// new file may be made): the plain CopyFile then gives its answer, as
// before.
bool CopyOverExisting(const wchar_t* source, const wchar_t* destination, DWORD attributes, bool& replaced) {
    replaced = false;
    const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                          FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    FileReplacement replacement;
    if ((attributes & refused) || !replacement.Begin(destination)) return true;
    const HRESULT copied = replacement.Copy(source);
    if (copied == S_FALSE) return true;
    replaced = true;
    if (FAILED(copied)) return false;
    replaced = replacement.Commit();
    return true;
}

}  // namespace

// The old path is validated first; the new one only when the old one
// passed. The report does not say which of the two was refused.
HRESULT QVFileIO::ValidateOldAndNew(BSTR oldPath, BSTR newPath, PathText& oldNarrow, PathText& newNarrow) {
    VARIANT_BOOL valid = 0;
    HRESULT hr = Nested()->IsValidFileOrDirectoryName(oldPath, 1, &valid);
    if (SUCCEEDED(hr) && valid) hr = Nested()->IsValidFileOrDirectoryName(newPath, 1, &valid);
    if (FAILED(hr)) return Fail(hr, __LINE__, {"bstrNewOrOldFullPath: ", kFailedToValidate});
    if (!valid || !oldNarrow.Assign(oldPath) || !newNarrow.Assign(newPath))
        return Fail(E_INVALIDARG, __LINE__, {"bstrNewOrOldFullPath: ", kInvalidPathName});
    return S_OK;
}

STDMETHODIMP QVFileIO::MoveFileOrDirectory(BSTR bstrOldFullPath, BSTR bstrNewFullPath) {
    return Guarded("szDirNewPath: ", kFailedToMove, [&] {
        ArgCopy oldPath(bstrOldFullPath), newPath(bstrNewFullPath);
        PathText oldNarrow, newNarrow;
        HRESULT hr = ValidateOldAndNew(oldPath.get(), newPath.get(), oldNarrow, newNarrow);
        if (FAILED(hr) || FAILED(hr = Confine(oldNarrow, Confinement::Access::Change, "szDirPath: ")) ||
            FAILED(hr = Confine(newNarrow, Confinement::Access::Change, "szDirNewPath: ")))
            return hr;
        if (NamesDevice(oldPath.get()) || NamesDevice(newPath.get()))
            return Fail(kDeviceRefused, __LINE__, {"szDirNewPath: ", newNarrow.c_str(), "Error: ", kFailedToMove});
        // An existing destination is never replaced.
        if (files::Move(oldNarrow.wide(), newNarrow.wide())) return S_OK;
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
        PathText oldNarrow, newNarrow;
        HRESULT hr = ValidateOldAndNew(oldPath.get(), newPath.get(), oldNarrow, newNarrow);
        if (FAILED(hr) || FAILED(hr = Confine(oldNarrow, Confinement::Access::Read, "szDirPath: ")) ||
            FAILED(hr = Confine(newNarrow, Confinement::Access::Change, "szDirNewPath: ")))
            return hr;
        // A device is neither read from (a port waits for data) nor written to.
        if (NamesDevice(oldPath.get()) || NamesDevice(newPath.get()))
            return Fail(kDeviceRefused, __LINE__, {"szDirNewPath: ", newNarrow.c_str(), "Error: ", kFailedToCopy});
        // Cleared whether or not a destination exists: a missing one leaves
        // the records of the failed clear, and the copy goes on. The old
        // attributes are kept so that a refused copy can put them back.
        DWORD saved = INVALID_FILE_ATTRIBUTES;
        if (bOverwriteReadOnly) {
            saved = files::Attributes(newNarrow.wide());
            Nested()->ClearFileAttributes(newPath.get());
        }
        // A destination that did not exist does not remain after a failure.
        const DWORD attributes = files::Attributes(newNarrow.wide());
        const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
        bool copied = false, replaced = false;
        if (existed && bOverwriteExisting)
            copied = CopyOverExisting(oldNarrow.wide(), newNarrow.wide(), attributes, replaced);
        if (!replaced) copied = files::Copy(oldNarrow.wide(), newNarrow.wide(), bOverwriteExisting ? FALSE : TRUE);
        if (copied) return S_OK;
        const DWORD error = ::GetLastError();
        if (!existed && error != ERROR_FILE_EXISTS &&
            files::Attributes(newNarrow.wide()) != INVALID_FILE_ATTRIBUTES && !RemoveOwnFile(newNarrow.wide()))
            Report(HResultFromLastError(), __LINE__, {"szDirNewPath: ", newNarrow.c_str(), "Error: ", kFailedToRestore});
        const Win32Failure failure = ClassifyFailure(error,
                                                     {{ERROR_FILE_EXISTS, kAlreadyExists},
                                                      {ERROR_ACCESS_DENIED, kAccessDenied},
                                                      {ERROR_FILE_NOT_FOUND, kFileNotFound},
                                                      {ERROR_PATH_NOT_FOUND, kFileNotFound}},
                                                     kFailedToCopy);
        PutBackAttributes("szDirNewPath: ", newNarrow, saved);
        return Fail(failure.hr, __LINE__, {"szDirNewPath: ", newNarrow.c_str(), "Error: ", failure.message});
    });
}
