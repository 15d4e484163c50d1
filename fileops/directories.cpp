// CreateDir: walks the path from its start and creates every directory
// along it that does not exist yet, the last one included.
#include "object/qvfileio.h"

namespace {

// Makes sure one cut of the path is a directory; one to be made must be
// allowed by the administrator's policy where there is one.
HRESULT EnsureDirectory(const wchar_t* path, Confinement& confinement, const char*& message) {
    const DWORD attributes = files::Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!confinement.AllowsPath(path, Confinement::Access::CreateFolder)) {
            message = kRefusedByPolicy;
            return E_ACCESSDENIED;
        }
        if (files::CreateFolder(path)) return S_OK;
        message = kFailedToCreateDirectory;
        return HResultFromLastError();
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return S_OK;
    message = kAlreadyExists;
    return E_ABORT;
}

}  // namespace

STDMETHODIMP QVFileIO::CreateDir(BSTR bstrDirPath) {
    return Guarded("bstrDirPath: ", kFailedToCreateDirectory, [&] {
        ArgCopy directory(bstrDirPath);
        PathText szDirPath;
        HRESULT hr = ValidatePath(directory.get(), szDirPath, "bstrFullPath: ");
        if (FAILED(hr) || FAILED(hr = Confine(szDirPath, Confinement::Access::CreateFolder, "szDirPath: ")))
            return hr;
        if (NamesDevice(directory.get()))
            return Fail(kDeviceRefused, __LINE__, {"szDirPath: ", szDirPath.c_str(), "Error: ", kFailedToCreateDirectory});
        // A component ends at a backslash, except the one after a colon: a
        // drive root is never tested or created, nor the root of a share
        // (\\server\share\) or of the device namespace (\\.\C:\), which ends
        // at the fourth backslash. The slash separates nothing.
        std::wstring path = szDirPath.str();
        size_t start = 0;
        if (path.size() > 1 && path[0] == L'\\' && path[1] == L'\\')
            for (int separators = 0; start < path.size() && separators < 4; ++start) separators += path[start] == L'\\';
        const char* message = nullptr;
        for (size_t i = start; i < path.size() && SUCCEEDED(hr); ++i) {
            if (path[i] != L'\\' || (i > 0 && path[i - 1] == L':')) continue;
            path[i] = L'\0';
            hr = EnsureDirectory(path.c_str(), confinement_, message);
            if (SUCCEEDED(hr)) path[i] = L'\\';
        }
        if (SUCCEEDED(hr)) hr = EnsureDirectory(path.c_str(), confinement_, message);
        // The record names the path up to the part that failed.
        if (FAILED(hr)) return Fail(hr, __LINE__, {"szDirPath: ", ToAnsi(path.c_str()).c_str(), "Error: ", message});
        return S_OK;
    });
}
