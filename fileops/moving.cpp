// Moving and copying: MoveFileOrDirectory moves or renames with one call;
// CopyFile copies one file, optionally over an existing or read-only one.
// Both validate both paths and report with the new path.
#include "object/qvfileio.h"
#include <string>

namespace {
const char kFailedToMove[] = "Failed to move the file or directory";
const char kFailedToCopy[] = "Failed to copy the file";

// Removes a file of our own (a temporary copy, a cut copy), read-only or not.
bool RemoveOwnFile(const char* path) {
    win32.SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return win32.DeleteFileA(path) != FALSE;
}

// Copies over an existing destination without giving it up before the copy
// is whole: the copy goes to a temporary file in the destination's folder,
// which then takes the destination's name in one step, with the source's
// attributes as CopyFileA gives them. False with the last error set when the
// copy failed, the destination untouched and no temporary file left; a
// destination that this cannot replace (read-only, hidden or system, held
// by another program) gets the plain CopyFileA and its answer, as before.
bool CopyOverExisting(const char* source, const char* destination, bool& replaced) {
    replaced = false;
    const DWORD attributes = win32.GetFileAttributesA(destination);
    const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                          FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & refused)) return true;
    {
        // The destination is writable for us, so a plain copy could write it.
        unique_hfile probe(win32.CreateFileA(destination, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) return true;
    }
    std::string folder(destination);
    const size_t cut = folder.rfind('\\');
    folder = cut == std::string::npos ? "." : folder.substr(0, cut + 1);
    char temporary[MAX_PATH + 1] = {};
    if (folder.size() > MAX_PATH - 14 || !win32.GetTempFileNameA(folder.c_str(), "qvc", 0, temporary)) return true;
    if (!win32.CopyFileA(source, temporary, FALSE)) {
        const DWORD error = ::GetLastError();
        RemoveOwnFile(temporary);
        ::SetLastError(error);
        replaced = true;
        return false;
    }
    if (win32.MoveFileExA(temporary, destination, MOVEFILE_REPLACE_EXISTING)) {
        replaced = true;
        return true;
    }
    RemoveOwnFile(temporary);
    return true;
}

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
        // A destination that did not exist does not remain after a failure.
        const bool existed = win32.GetFileAttributesA(newNarrow.c_str()) != INVALID_FILE_ATTRIBUTES;
        bool copied = false, replaced = false;
        if (existed && bOverwriteExisting) copied = CopyOverExisting(oldNarrow.c_str(), newNarrow.c_str(), replaced);
        if (!replaced) copied = win32.CopyFileA(oldNarrow.c_str(), newNarrow.c_str(), bOverwriteExisting ? FALSE : TRUE);
        if (copied) return S_OK;
        const DWORD error = ::GetLastError();
        if (!existed && error != ERROR_FILE_EXISTS && !NamesDevice(newPath.get()) &&
            win32.GetFileAttributesA(newNarrow.c_str()) != INVALID_FILE_ATTRIBUTES &&
            !RemoveOwnFile(newNarrow.c_str()))
            Report(HResultFromLastError(), __LINE__, {"szDirNewPath: ", newNarrow.c_str(), "Error: ", kFailedToRestore});
        const Win32Failure failure = ClassifyFailure(error,
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
