// File size and time stamps. GetFileSize reads the file's directory entry
// through the worker FindFileEntry; the six getters run the worker
// GetFileTimeText, which opens the file and reads one of its three times as
// a local date (3/7/2004) or time (21:5:7) without leading zeros.
#include "object/qvfileio.h"
#include <cstdio>

namespace {

const char kNotAFile[] = "This is not the path of a file";
const char kFailedToGetDateTime[] = "Failed to get the date/time info";
const char kFailedToConvertFileTime[] = "Failed to convert the file time";
const char kFileTooLarge[] = "The file is 2 GB or larger: its size does not fit the result";
const char kFailedToGetFileSize[] = "Failed to get the file size";

// The selectors of GetFileTimeText: the time stamp is selector / 2 (creation,
// last access, last write); even selectors give the time, odd ones the date.
enum TimeSelector {
    kCreationTime, kCreationDate, kLastAccessTime, kLastAccessDate, kLastWriteTime, kLastWriteDate
};

}  // namespace

// Refused as Read refuses it, before anything is searched or opened; an
// invalid path keeps the answer its validation gives.
HRESULT QVFileIO::RefuseDevice(BSTR path, const char* message) {
    VARIANT_BOOL valid = 0;
    if (!NamesDevice(path) || FAILED(Nested()->IsValidFileOrDirectoryName(path, 1, &valid)) || !valid) return S_OK;
    const std::string narrow = ToAnsi(path);
    return Fail(kDeviceRefused, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", message});
}

HRESULT QVFileIO::FindFileEntry(BSTR bstrFullPath, files::Search& search, WIN32_FIND_DATAW& data,
                                const char*& message) {
    try {
        ArgCopy path(bstrFullPath);
        PathText narrow;
        // Validation refuses wildcards, so the search finds the named file only.
        const HRESULT hr = ValidatePath(path.get(), narrow, "bstrFullPath: ", kInvalidPathName, &message);
        if (FAILED(hr)) return hr;
        if (!search.First(narrow.wide(), data)) {
            message = kFileNotFound;
            return Report(HResultFromLastError(), __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", message});
        }
        return S_OK;
    } catch (...) {
        message = "Failed to get a description of the file properties.";
        return Report(E_FAIL, __LINE__, {"bstrFullpath: ", message});
    }
}

STDMETHODIMP QVFileIO::GetFileSize(BSTR bstrFullPath, long* dFileSize) {
    if (!dFileSize) return E_POINTER;
    return Guarded("bstrFullpath: ", kFailedToGetFileSize, [&] {
        ArgCopy path(bstrFullPath);
        HRESULT hr = ConfineArgument(path.get(), Confinement::Access::Read, "bstrFullpath: ");
        if (FAILED(hr) || FAILED(hr = RefuseDevice(path.get(), kFailedToGetFileSize))) return hr;
        VARIANT_BOOL isDirectory = 0;
        hr = Nested()->DirectoryExists(path.get(), &isDirectory);
        if (FAILED(hr)) return Fail(hr, __LINE__, {"bstrFullpath: ", kFailedToDetermineDirectoryExists});
        if (isDirectory) return Fail(E_INVALIDARG, __LINE__, {"bstrFullpath: ", kNotAFile});

        files::Search search;
        WIN32_FIND_DATAW data;
        const char* message = "";
        hr = FindFileEntry(path.get(), search, data, message);
        if (FAILED(hr)) return Fail(hr, __LINE__, {"bstrFullpath: ", message});
        PathText narrow;
        narrow.Assign(path.get());
        // A size of 2 GB or more cannot be a long: refused rather than cut.
        const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (size > static_cast<unsigned long long>(LONG_MAX))
            return Fail(HResultFromWin32(ERROR_ARITHMETIC_OVERFLOW), __LINE__,
                        {"bstrFullpath: ", narrow.c_str(), "Error: ", kFileTooLarge});
        *dFileSize = static_cast<long>(size);
        if (!search.Close())
            return Fail(HResultFromLastError(), __LINE__,
                        {"bstrFullpath: ", narrow.c_str(), "Error: ", kFailedToCloseSearch});
        return S_OK;
    });
}

HRESULT QVFileIO::GetFileTimeText(BSTR bstrFullPath, int selector, std::wstring& text, const char*& message) {
    auto refuse = [&](HRESULT hr, int line, Pieces pieces) {
        message = *(pieces.end() - 1);
        return Report(hr, line, pieces);
    };
    try {
        ArgCopy path(bstrFullPath);
        PathText narrow;
        HRESULT hr = ValidatePath(path.get(), narrow, "bstrFullPath: ", kInvalidPathName, &message);
        if (FAILED(hr)) return hr;
        VARIANT_BOOL isDirectory = 0;
        hr = Nested()->DirectoryExists(path.get(), &isDirectory);
        if (FAILED(hr))
            return refuse(hr, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", kFailedToDetermineDirectoryExists});
        if (isDirectory) return refuse(E_INVALIDARG, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", kNotAFile});

        // No sharing: a file another process holds open is refused here.
        unique_hfile file(files::Open(narrow.wide(), GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
        if (!file) {
            const DWORD error = ::GetLastError();
            const HRESULT failed = HResultFromFailedCall(error);
            if (error == ERROR_FILE_NOT_FOUND)
                return refuse(failed, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", kFileNotFound});
            if (error == ERROR_PATH_NOT_FOUND)
                return refuse(failed, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", kPathNotFound});
            return refuse(failed, __LINE__, {"bstrFullPath: ", narrow.c_str(), "Error: ", kFailedToDetermineFileExists});
        }
        FILETIME times[3] = {};
        if (!win32.GetFileTime(file.get(), &times[0], &times[1], &times[2]))
            return refuse(E_ABORT, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", kFailedToGetDateTime});
        static const char* const kTimeLabels[] = {"fCreationTime: ", "flAccessTime: ", "flWriteTime: "};
        const int stamp = selector / 2;
        FILETIME local;
        if (!win32.FileTimeToLocalFileTime(&times[stamp], &local))
            return refuse(HResultFromLastError(), __LINE__, {kTimeLabels[stamp], kFailedToConvertFileTime});
        SYSTEMTIME parts;
        if (!win32.FileTimeToSystemTime(&local, &parts))
            return refuse(HResultFromLastError(), __LINE__,
                          {"bstrFullPath: ", narrow.c_str(), "Error: ", kFailedToConvertFileTime});
        char buffer[32];
        if (selector % 2)
            snprintf(buffer, sizeof buffer, "%u/%u/%u", parts.wMonth, parts.wDay, parts.wYear);
        else
            snprintf(buffer, sizeof buffer, "%u:%u:%u", parts.wHour, parts.wMinute, parts.wSecond);
        text = FromAnsi(buffer, strlen(buffer));
        if (!win32.CloseHandle(file.release()))
            return refuse(HResultFromLastError(), __LINE__,
                          {"bstrFullPath: ", narrow.c_str(), "Error: ", kFailedToCloseFile});
        return S_OK;
    } catch (...) {
        message = kFailedToGetDateTime;
        return Report(E_FAIL, __LINE__, {"bstrFullpath: ", message});
    }
}

// A getter fails with E_ABORT whatever the worker returned; three of them
// name the path in their record.
HRESULT QVFileIO::TimeGetter(BSTR bstrFullPath, int selector, BSTR* result, bool namePath, const char* catchMessage) {
    if (!result) return E_POINTER;
    return Guarded("bstrFullpath: ", catchMessage, [&] {
        ArgCopy path(bstrFullPath);
        HRESULT refused = ConfineArgument(path.get(), Confinement::Access::Read, "bstrFullpath: ");
        if (FAILED(refused) || FAILED(refused = RefuseDevice(path.get(), catchMessage))) return refused;
        std::wstring text;
        const char* message = "";
        if (FAILED(GetFileTimeText(path.get(), selector, text, message))) {
            if (!namePath) return Fail(E_ABORT, __LINE__, {"bstrFullpath: ", message});
            const std::string narrow = ToAnsi(path.get());
            return Fail(E_ABORT, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", message});
        }
        *result = NewBstr(text);
        return S_OK;
    });
}

STDMETHODIMP QVFileIO::GetCreationDate(BSTR bstrFullPath, BSTR* bstrCreationDate) {
    return TimeGetter(bstrFullPath, kCreationDate, bstrCreationDate, false, "Failed to get the file's creation date");
}

STDMETHODIMP QVFileIO::GetCreationTime(BSTR bstrFullPath, BSTR* bstrCreationTime) {
    return TimeGetter(bstrFullPath, kCreationTime, bstrCreationTime, false, "Failed to get the file's creation time");
}

STDMETHODIMP QVFileIO::GetLastAccessedDate(BSTR bstrFullPath, BSTR* bstrLAccessedDate) {
    return TimeGetter(bstrFullPath, kLastAccessDate, bstrLAccessedDate, false, "Failed to get the last accessed date");
}

STDMETHODIMP QVFileIO::GetLastAccessedTime(BSTR bstrFullPath, BSTR* bstrLAccessedTime) {
    return TimeGetter(bstrFullPath, kLastAccessTime, bstrLAccessedTime, true, "Failed to get the last accessed time");
}

STDMETHODIMP QVFileIO::GetLastModifiedDate(BSTR bstrFullPath, BSTR* bstrLModifiedDate) {
    return TimeGetter(bstrFullPath, kLastWriteDate, bstrLModifiedDate, true, "Failed to get the last modified date");
}

STDMETHODIMP QVFileIO::GetLastModifiedTime(BSTR bstrFullPath, BSTR* bstrLModifiedTime) {
    return TimeGetter(bstrFullPath, kLastWriteTime, bstrLModifiedTime, true, "Failed to get the last modified time");
}
