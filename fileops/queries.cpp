// Existence and drive queries. They build on one another through the
// object's own interface: FileExists asks DirectoryExists, which asks
// IsDirectoryName; DriveExists asks GetFreeDiskSpace.
#include "object/qvfileio.h"
#include <limits>

namespace {

const HRESULT kPathNotFoundResult = HResultFromWin32(ERROR_PATH_NOT_FOUND);
const HRESULT kInvalidDriveResult = HResultFromWin32(ERROR_INVALID_DRIVE);
const HRESULT kNotReadyResult = HResultFromWin32(ERROR_NOT_READY);
const LONG kMaxFreeSpace = std::numeric_limits<LONG>::max();

// Free bytes from the volume's geometry, saturating rather than wrapping.
LONG FreeBytes(DWORD sectorsPerCluster, DWORD bytesPerSector, DWORD freeClusters) {
    const unsigned long long clusterBytes = static_cast<unsigned long long>(sectorsPerCluster) * bytesPerSector;
    if (clusterBytes != 0 && freeClusters > static_cast<unsigned long long>(kMaxFreeSpace) / clusterBytes)
        return kMaxFreeSpace;
    const unsigned long long bytes = clusterBytes * freeClusters;
    return bytes > static_cast<unsigned long long>(kMaxFreeSpace) ? kMaxFreeSpace : static_cast<LONG>(bytes);
}

}  // namespace

STDMETHODIMP QVFileIO::IsDirectoryName(BSTR bstrFullPath, VARIANT_BOOL* bIsDirectory) {
    if (!bIsDirectory) return E_POINTER;
    return Guarded("bstrFullPath: ", kFailedToDetermineIfDirectory, [&] {
        ArgCopy path(bstrFullPath);
        HRESULT hr = Validate(path.get(), 1, "bstrFullPath: ", kInvalidPathName);
        if (FAILED(hr)) return hr;
        // One trailing backslash goes, so a drive root C:\ is asked as C:.
        std::wstring trimmed(path.get(), path.length());
        if (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
        PathText narrow;
        if (!narrow.Assign(std::move(trimmed))) return Fail(E_INVALIDARG, __LINE__, {"bstrFullPath: ", kInvalidPathName});
        if (FAILED(hr = Confine(narrow, Confinement::Access::Read, "bstrFullPath: "))) return hr;
        const DWORD attributes = files::Attributes(narrow.wide());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const Win32Failure failure = NotFoundOr(::GetLastError(), kFailedToGetAttributes);
            return Fail(failure.hr, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", failure.message});
        }
        *bIsDirectory = AsResult(attributes & FILE_ATTRIBUTE_DIRECTORY);
        return S_OK;
    });
}

STDMETHODIMP QVFileIO::DirectoryExists(BSTR bstrDirectory, VARIANT_BOOL* bDirExists) {
    if (!bDirExists) return E_POINTER;
    return Guarded("bstrDirectory: ", kFailedToDetermineDirectoryExists, [&] {
        ArgCopy directory(bstrDirectory);
        HRESULT hr = Validate(directory.get(), 1, "bstrDirectory: ", kInvalidPathName);
        if (FAILED(hr) || FAILED(hr = ConfineArgument(directory.get(), Confinement::Access::Read, "bstrDirectory: "))) return hr;
        VARIANT_BOOL isDirectory = 0;
        hr = Nested()->IsDirectoryName(directory.get(), &isDirectory);
        if (SUCCEEDED(hr) || IsNotFound(hr)) {
            *bDirExists = AsResult(SUCCEEDED(hr) && isDirectory == 1);
            return S_OK;
        }
        return Fail(hr, __LINE__, {"bstrDirectory: ", kFailedToDetermineDirectoryExists});
    });
}

STDMETHODIMP QVFileIO::FileExists(BSTR bstrFullPath, VARIANT_BOOL* bFileExists) {
    if (!bFileExists) return E_POINTER;
    return Guarded("bstrFullPath: ", kFailedToDetermineFileExists, [&] {
        ArgCopy path(bstrFullPath);
        PathText narrow;
        HRESULT hr = ValidatePath(path.get(), narrow, "bstrFullPath: ");
        if (FAILED(hr) || FAILED(hr = Confine(narrow, Confinement::Access::Read, "bstrFullPath: "))) return hr;
        if (NamesDevice(path.get())) {  // a device is not a file: nothing is opened
            *bFileExists = 0;
            return S_OK;
        }
        VARIANT_BOOL isDirectory = 0;
        hr = Nested()->DirectoryExists(path.get(), &isDirectory);
        if (FAILED(hr))
            return Fail(hr, __LINE__, {"bstrFullPath: ", narrow.c_str(), "Error: ", kFailedToDetermineDirectoryExists});
        if (isDirectory) {  // a directory is not a file: nothing is opened
            *bFileExists = 0;
            return S_OK;
        }
        // No sharing: a file that another handle holds open is a failure.
        unique_hfile file(files::Probe(narrow.wide(), GENERIC_READ, 0));
        if (!file) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                *bFileExists = 0;
                return S_OK;
            }
            return Fail(HResultFromFailedCall(error), __LINE__,
                        {"bstrFullPath: ", narrow.c_str(), "Error: ", kFailedToDetermineFileExists});
        }
        if (!win32.CloseHandle(file.release()))
            return Fail(HResultFromLastError(), __LINE__,
                        {"bstrFullPath: ", narrow.c_str(), "Error: ", kFailedToCloseFile});
        *bFileExists = 1;
        return S_OK;
    });
}

STDMETHODIMP QVFileIO::GetFreeDiskSpace(BSTR bstrDrive, long* lFreeSpace) {
    if (!lFreeSpace) return E_POINTER;
    return Guarded("bstrDrive: ", kFailedToDetermineDiskSpace, [&] {
        ArgCopy drive(bstrDrive);
        if (drive.empty() || drive.length() > MAX_PATH)
            return Fail(E_INVALIDARG, __LINE__, {"bstrDrive: ", "Invalid drive length"});
        // Only the first character counts: C, C:, C:\ and C:\data\a.txt all ask C:\.
        const wchar_t root[] = {drive.get()[0], L':', L'\\', L'\0'};
        const std::string rootText = ToAnsi(root);
        const HRESULT refused = ConfineAction(confinement_.AllowsDrive(root[0]), "szDrive: ", rootText.c_str());
        if (FAILED(refused)) return refused;
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
        if (!win32.GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
            const Win32Failure failure = NotFoundOr(::GetLastError(), kFailedToDetermineDiskSpace);
            return Fail(failure.hr, __LINE__, {"szDrive: ", rootText.c_str(), "Error: ", failure.message});
        }
        *lFreeSpace = FreeBytes(sectorsPerCluster, bytesPerSector, freeClusters);
        return S_OK;
    });
}

STDMETHODIMP QVFileIO::DriveExists(BSTR bstrDrivePath, VARIANT_BOOL* bDriveExists) {
    if (!bDriveExists) return E_POINTER;
    return Guarded("bstrFullpath: ", "Failed to determine if the drive exists", [&] {
        try {
            ArgCopy path(bstrDrivePath);
            if (path.empty() || path.length() > MAX_PATH)
                return Fail(E_ABORT, __LINE__, {"bstrFullpath: ", kInvalidPathLength});
            const std::string ansi = ToAnsi(path.get());
            HRESULT hr = ConfineAction(confinement_.AllowsDrive(path.get()[0]), "bstrFullpath: ", ansi.c_str());
            if (FAILED(hr)) return hr;
            long freeSpace = 0;
            hr = Nested()->GetFreeDiskSpace(path.get(), &freeSpace);
            // A drive without a medium exists; a letter that names no drive
            // does not.
            if (SUCCEEDED(hr) || hr == kNotReadyResult || hr == kInvalidDriveResult || hr == kPathNotFoundResult) {
                *bDriveExists = AsResult(SUCCEEDED(hr) || hr == kNotReadyResult);
                return S_OK;
            }
            return Fail(hr, __LINE__, {"bstrFullpath: ", kFailedToDetermineDiskSpace});
        } catch (...) {
            *bDriveExists = 0;
            throw;
        }
    });
}
