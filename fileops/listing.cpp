// Directory listing: GetDirectoryContents runs one file-system search and
// returns the matching names joined by "|"; IsEmptyDirectory compares a
// directory's whole listing with that of an empty one.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::GetDirectoryContents(BSTR bstrSearchString, VARIANT_BOOL bListSubFiles,
                                            VARIANT_BOOL bListSubDirectories, BSTR* bstrFilesFound) {
    if (!bstrFilesFound) return E_POINTER;
    return Guarded("bstrSearchString: ", kFailedToGetDirectoryContents, [&] {
        ArgCopy search(bstrSearchString);
        // Wildcards are the point here: only the length is checked. A pattern
        // whose ANSI form does not fit the buffer is refused the same way.
        PathText pattern;
        if (search.empty() || search.length() > MAX_PATH || !pattern.Assign(search.get()))
            return Fail(E_ABORT, __LINE__, {"bstrSearchString: ", kInvalidPathLength});
        const HRESULT refused = ConfineListing(pattern, "bstrSearchString: ");
        if (FAILED(refused)) return refused;
        if (!bListSubFiles && !bListSubDirectories) {
            *bstrFilesFound = nullptr;
            return S_OK;
        }

        WIN32_FIND_DATAW found;
        files::Search searchHandle;
        if (!searchHandle.First(pattern.wide(), found)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND) {  // nothing matches
                *bstrFilesFound = nullptr;
                return S_OK;
            }
            return Fail(HResultFromFailedCall(error), __LINE__,
                        {"bstrSearchString: ", pattern.c_str(), "Error: ", kFailedToFindFileOrDirectory});
        }
        // One growing text: appending stays linear in the number of entries.
        std::wstring listing;
        do {
            const bool directory = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            if (directory ? !bListSubDirectories : !bListSubFiles) continue;
            if (!listing.empty()) listing += L'|';
            listing += found.cFileName;
        } while (searchHandle.Next(found));
        const DWORD error = ::GetLastError();
        if (error != ERROR_NO_MORE_FILES)
            return Fail(HResultFromFailedCall(error), __LINE__,
                        {"bstrSearchString: ", pattern.c_str(), "Error: ", kFileNotFound});

        *bstrFilesFound = NewBstr(listing);
        // The listing stays with the caller even when the close fails.
        if (!searchHandle.Close())
            return Fail(E_ABORT, __LINE__, {"bstrSearchString: ", kFailedToCloseSearch});
        return S_OK;
    });
}

STDMETHODIMP QVFileIO::IsEmptyDirectory(BSTR bstrDirPath, VARIANT_BOOL* IsEmpty) {
    if (!IsEmpty) return E_POINTER;
    return Guarded("bstrDirPath: ", "Failed to determine if the directory is empty", [&] {
        ArgCopy directory(bstrDirPath);
        PathText narrow;
        HRESULT hr = ValidatePath(directory.get(), narrow, "bstrFullPath: ");
        if (FAILED(hr) || FAILED(hr = Confine(narrow, Confinement::Access::Read, "bstrFullPath: "))) return hr;
        // Nothing is taken off the path: C:\d\ asks for C:\d\\*.
        const unique_bstr pattern(NewBstr(narrow.str() + L"\\*"));
        unique_bstr listing;
        hr = Nested()->GetDirectoryContents(pattern.get(), VARIANT_TRUE, VARIANT_TRUE, listing.put());
        if (FAILED(hr))
            return Fail(hr, __LINE__,
                        {"cbstrFilePath: ", IsPathNotFound(hr) ? kPathNotFound : kFailedToGetDirectoryContents});
        // An empty directory lists exactly its two dot entries; a drive root
        // has none, so it is never empty.
        *IsEmpty = AsResult(listing && std::wstring_view(listing.get(), ::SysStringLen(listing.get())) == L".|..");
        return S_OK;
    });
}
