// FindFileOrDirectory: every entry whose name matches a pattern anywhere
// below a drive or directory, as full paths joined by "|". The private
// worker SearchDirectory handles one directory and descends depth first; it
// sees the file system only through GetDirectoryContents and IsDirectoryName.
#include "object/qvfileio.h"

namespace {

// A listing as GetDirectoryContents hands it over, read in place.
std::wstring_view Listed(const unique_bstr& listing) {
    return listing ? std::wstring_view(listing.get()) : std::wstring_view();
}

// The match that brings the count to this ends the search.
const ULONG kMatchLimit = 6000;
const char kSearchTooLarge[] = "You have exceed the search size.  Please narrow your search request";
}  // namespace

HRESULT QVFileIO::SearchDirectory(BSTR bstrDirPath, BSTR bstrSearchString, std::wstring& found,
                                  const char*& message) {
    auto refuse = [&](HRESULT hr, int line, Pieces pieces) {
        message = *(pieces.end() - 1);
        return Report(hr, line, pieces);
    };
    try {
        ArgCopy directory(bstrDirPath), pattern(bstrSearchString);
        HRESULT hr = Validate(directory.get(), 1, "bstrFullPath: ", kInvalidPathName, &message);
        if (FAILED(hr)) return hr;
        if (pattern.empty() || pattern.length() > MAX_PATH)
            return refuse(E_INVALIDARG, __LINE__, {"bstrSearchString: ", kInvalidPathLength});

        // A backslash is added only where the path does not end in one.
        std::wstring prefix = directory.get();
        if (prefix.back() != L'\\') prefix += L'\\';

        // Matches here first, in listing order. This directory's matches are
        // taken back if it reaches the limit; earlier ones stay.
        unique_bstr matches;
        hr = Nested()->GetDirectoryContents(unique_bstr(NewBstr(prefix + pattern.get())).get(), VARIANT_TRUE,
                                          VARIANT_TRUE, matches.put());
        if (FAILED(hr))
            return IsPathNotFound(hr) ? refuse(hr, __LINE__, {"bstrFullpath: ", kPathNotFound})
                                      : refuse(hr, __LINE__, {"bstrFilePath: ", kFailedToGetDirectoryContents});
        const size_t mark = found.size();
        hr = ForEachListed(Listed(matches), [&](std::wstring_view name) {
            if (IsDotEntry(name)) return S_OK;
            if (!found.empty()) found += L'|';
            found += prefix;
            found += name;
            if (++searchCount_ < kMatchLimit) return S_OK;
            found.resize(mark);
            return refuse(E_FAIL, __LINE__, {"FullPathsFound: ", kSearchTooLarge});
        });
        if (FAILED(hr)) return hr;

        // Then every subdirectory's tree, in the order of the full listing.
        unique_bstr contents;
        hr = Nested()->GetDirectoryContents(unique_bstr(NewBstr(prefix + L"*")).get(), VARIANT_TRUE, VARIANT_TRUE,
                                          contents.put());
        if (FAILED(hr)) return refuse(hr, __LINE__, {"bstrFilePath: ", kFailedToGetDirectoryContents});
        // One buffer for every child's path.
        std::wstring childPath = prefix;
        return ForEachListed(Listed(contents), [&](std::wstring_view name) {
            if (IsDotEntry(name)) return S_OK;
            childPath.resize(prefix.size());
            childPath += name;
            const unique_bstr child(NewBstr(childPath));
            VARIANT_BOOL isDirectory = 0;
            const HRESULT asked = Nested()->IsDirectoryName(child.get(), &isDirectory);
            // An entry the system holds open is passed over.
            if (asked == HResultFromWin32(ERROR_SHARING_VIOLATION)) return S_OK;
            if (FAILED(asked)) return refuse(asked, __LINE__, {"cbstrFoundDirs: ", kFailedToDetermineIfDirectory});
            if (!isDirectory) return S_OK;
            // A link that leads out of the allowed folders is not followed.
            if (confinement_.Active() &&
                !confinement_.AllowsEntry(child.get(), files::Attributes(child.get()), Confinement::Access::Read))
                return S_OK;
            // A deeper failure has been reported and its message set there.
            return SearchDirectory(child.get(), pattern.get(), found, message);
        });
    } catch (...) {
        return refuse(E_FAIL, __LINE__, {"bstrFilePath: ", kFailedToFindFileOrDirectory});
    }
}

STDMETHODIMP QVFileIO::FindFileOrDirectory(BSTR bstrDriveOrPath, BSTR bstrSearchString, BSTR* FullPathsFound) {
    if (!FullPathsFound) return E_POINTER;
    return Guarded("bstrDriveOrPath: ", kFailedToFindFileOrDirectory, [&] {
        ArgCopy path(bstrDriveOrPath), pattern(bstrSearchString);
        // The result must start out empty; a string already there is refused
        // without a record.
        if (*FullPathsFound) return E_INVALIDARG;
        HRESULT hr = ConfineArgument(path.get(), Confinement::Access::Read, "bstrDriveOrPath: ");
        if (FAILED(hr) || FAILED(hr = ConfinePattern(path.get(), pattern.get()))) return hr;
        searchCount_ = 0;
        // One growing text for the whole tree.
        std::wstring found;
        const char* message = "";
        hr = SearchDirectory(path.get(), pattern.get(), found, message);
        // On a failure the caller still gets what earlier directories found.
        if (!found.empty()) *FullPathsFound = NewBstr(found);
        return FAILED(hr) ? Fail(hr, __LINE__, {"bstrDriveOrPath: ", message}) : S_OK;
    });
}
