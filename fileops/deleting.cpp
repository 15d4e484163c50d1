// Deleting: DeleteFile clears a file's attributes and deletes it;
// DeleteDirectory takes the directory's listing once, deletes the children
// the flags ask for (each subdirectory through DeleteDirectory itself), then
// clears and removes the directory. Every inspection goes through the
// object's own interface.
#include "object/qvfileio.h"
#include "fileops/volumes.h"

namespace {
const char kFailedToDeleteFile[] = "Failed to delete the file";
const char kFailedToDeleteDirectory[] = "Failed to delete the directory";
}  // namespace

STDMETHODIMP QVFileIO::DeleteFile(BSTR bstrFullPath) {
    return Guarded("szDirPath: ", kFailedToDeleteFile, [&] {
        ArgCopy path(bstrFullPath);
        PathText narrow;
        HRESULT hr = ValidatePath(path.get(), narrow, "bstrFullPath: ");
        if (FAILED(hr) || FAILED(hr = Confine(narrow, Confinement::Access::Change, "bstrFullPath: "))) return hr;
        // ClearFileAttributes, as a nested call, keeping the attributes it
        // reads first, so that a refused deletion leaves the file as it was.
        const files::DeletionAhead deletion(narrow.wide());
        DWORD saved = INVALID_FILE_ATTRIBUTES;
        {
            const NestedCall nested(*this);
            hr = AttributeOperation(path.get(), FILE_ATTRIBUTE_NORMAL, true, kFailedToClearAttributes, &saved);
        }
        if (FAILED(hr)) {
            if (IsNotFound(hr))
                return Fail(hr, __LINE__,
                            {"bstrFullpath: ", narrow.c_str(), "Error: ", IsPathNotFound(hr) ? kPathNotFound : kFileNotFound});
            if (hr == E_ACCESSDENIED)
                return Fail(hr, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", kAccessDenied});
            // The record keeps its run-together piece; the caller gets the
            // plain message.
            Report(E_INVALIDARG, __LINE__, {"bstrFullPath: ", narrow.c_str(), "  Error:Failed to clear the file attributes"});
            ComErrorInfo(kFailedToClearAttributes);
            return E_INVALIDARG;
        }
        if (!files::Delete(narrow.wide())) {
            const DWORD error = ::GetLastError();
            if (saved != INVALID_FILE_ATTRIBUTES) files::SetAttributes(narrow.wide(), saved);
            return Fail(HResultFromFailedCall(error), __LINE__,
                        {"bstrFullpath: ", narrow.c_str(), "Error: ", kFailedToDeleteFile});
        }
        return S_OK;
    });
}

STDMETHODIMP QVFileIO::DeleteDirectory(BSTR bstrFullPath, VARIANT_BOOL bDelSubFiles, VARIANT_BOOL bDelSubDirs) {
    return Guarded("szDirPath: ", kFailedToDeleteDirectory, [&] {
        ArgCopy path(bstrFullPath);
        PathText narrow;
        HRESULT hr = ValidatePath(path.get(), narrow, "bstrFullPath: ");
        if (FAILED(hr) || FAILED(hr = Confine(narrow, Confinement::Access::Change, "bstrFullPath: "))) return hr;
        // A volume's root can never be removed, so nothing in it goes first:
        // refused as removing it is refused, before anything is touched. A
        // subdirectory taken from a listing is no root: a volume mounted in
        // a tree is a reparse point there, never descended into.
        if (nested_ == 0 && NamesVolumeRoot(path.get()))
            return Fail(E_ACCESSDENIED, __LINE__, {"szDirPath: ", narrow.c_str(), "Error: ", kFailedToDeleteDirectory});

        if (bDelSubFiles || bDelSubDirs) {
            // The listing is taken once, before anything is deleted.
            const std::wstring prefix = narrow.str() + L"\\";
            const unique_bstr pattern(NewBstr(prefix + L"*"));
            unique_bstr contents;
            hr = Nested()->GetDirectoryContents(pattern.get(), VARIANT_TRUE, VARIANT_TRUE, contents.put());
            if (FAILED(hr))
                return Fail(hr, __LINE__,
                            {"bstrFullPath: ", IsNotFound(hr) ? kPathNotFound : kFailedToGetDirectoryContents});
            VARIANT_BOOL empty = 0;
            hr = Nested()->IsEmptyDirectory(path.get(), &empty);
            if (FAILED(hr))
                return Fail(hr, __LINE__, {"bstrFullPath: ", "Failed to determine if the directory is empty"});
            const std::wstring_view listing =
                empty || !contents ? std::wstring_view() : std::wstring_view(contents.get(), ::SysStringLen(contents.get()));

            // One buffer for every child's path.
            std::wstring child = prefix;
            hr = ForEachListed(listing, [&](std::wstring_view name) {
                child.resize(prefix.size());
                child += name;
                // A link that leads out of the allowed folders is passed over.
                if (confinement_.Active() && !IsDotEntry(name) &&
                    !confinement_.AllowsEntry(child.c_str(), files::Attributes(child.c_str()), Confinement::Access::Change)) {
                    Report(E_ACCESSDENIED, __LINE__, {"bstrFullPath: ", ToAnsi(child).c_str(), "Error: ", kRefusedByPolicy});
                    return S_OK;
                }
                const unique_bstr childPath(NewBstr(child));
                VARIANT_BOOL isDirectory = 0;
                const HRESULT found = Nested()->IsDirectoryName(childPath.get(), &isDirectory);
                if (FAILED(found))
                    return Fail(found, __LINE__,
                                {"bstrFullPath: ", ToAnsi(child).c_str(), "Error:", kFailedToDetermineIfDirectory});
                // A child that cannot be deleted has logged its own failure;
                // the directory's removal below then fails as not empty.
                if (!isDirectory) {
                    if (bDelSubFiles) Nested()->DeleteFile(childPath.get());
                } else if (bDelSubDirs && !IsDotEntry(name)) {
                    DeleteSubDirectory(childPath.get(), bDelSubFiles, bDelSubDirs);
                }
                return S_OK;
            });
            if (FAILED(hr)) return hr;
        }

        const files::DeletionAhead deletion(narrow.wide());
        hr = Nested()->ClearFileAttributes(path.get());
        if (FAILED(hr))
            return Fail(hr, __LINE__, {"bstrFullPath: ", IsNotFound(hr) ? kPathNotFound : kFailedToClearAttributes});
        if (!files::RemoveFolder(narrow.wide()))
            return Fail(HResultFromLastError(), __LINE__,
                        {"szDirPath: ", narrow.c_str(), "Error: ", kFailedToDeleteDirectory});
        return S_OK;
    });
}

// A junction or a symbolic link is not descended into: what it points at
// lies outside the tree being deleted. Only the link itself is removed, where
// the system allows it; otherwise it stays and its failure is logged.
void QVFileIO::DeleteSubDirectory(BSTR childPath, VARIANT_BOOL bDelSubFiles, VARIANT_BOOL bDelSubDirs) {
    const DWORD attributes = files::Attributes(childPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        Nested()->DeleteDirectory(childPath, bDelSubFiles, bDelSubDirs);
        return;
    }
    if (!files::RemoveFolder(childPath))
        Report(HResultFromLastError(), __LINE__, {"szDirPath: ", ToAnsi(childPath).c_str(), "Error: ", kFailedToDeleteDirectory});
}
