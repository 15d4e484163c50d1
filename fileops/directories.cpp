// CreateDir: walks the path from its start and creates every directory
// along it that does not exist yet, the last one included.
#include "object/qvfileio.h"

namespace {

// Makes sure one cut of the path is a directory; one to be made must be
// allowed by the administrator's policy where there is one.
HRESULT EnsureDirectory(const char* path, Confinement& confinement, const char*& message) {
    const DWORD attributes = win32.GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!confinement.AllowsPath(path, Confinement::Access::CreateFolder)) {
            message = kRefusedByPolicy;
            return E_ACCESSDENIED;
        }
        if (win32.CreateDirectoryA(path, nullptr)) return S_OK;
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
        NarrowPath szDirPath;
        HRESULT hr = ValidatePath(directory.get(), szDirPath, "bstrFullPath: ");
        if (FAILED(hr) || FAILED(hr = Confine(szDirPath.c_str(), Confinement::Access::CreateFolder, "szDirPath: ")))
            return hr;
        if (NamesDevice(directory.get()))
            return Fail(kDeviceRefused, __LINE__, {"szDirPath: ", szDirPath.c_str(), "Error: ", kFailedToCreateDirectory});
        // A component ends at a backslash, except the one after a colon: a
        // drive root is never tested or created, nor the root of a share
        // (\\server\share\) or of the device namespace (\\.\C:\), which ends
        // at the fourth backslash. The slash separates nothing.
        char* path = szDirPath.data();
        size_t start = 0;
        if (path[0] == '\\' && path[1] == '\\')
            for (int separators = 0; path[start] && separators < 4; ++start) separators += path[start] == '\\';
        const char* message = nullptr;
        for (size_t i = start; path[i] && SUCCEEDED(hr); ++i) {
            if (path[i] != '\\' || (i > 0 && path[i - 1] == ':')) continue;
            path[i] = '\0';
            hr = EnsureDirectory(path, confinement_, message);
            if (SUCCEEDED(hr)) path[i] = '\\';
        }
        if (SUCCEEDED(hr)) hr = EnsureDirectory(path, confinement_, message);
        if (FAILED(hr)) return Fail(hr, __LINE__, {"szDirPath: ", path, "Error: ", message});
        return S_OK;
    });
}
