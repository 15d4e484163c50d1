#include "fileops/volumes.h"
#include "object/qvfileio.h"
#include "platform/files.h"
#include <algorithm>
#include <climits>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// How much of a full path its root takes, closing separator left out: the
// drive (C:), or the first two parts after two separators (\\server\share,
// \\.\C:); 0 for none.
size_t WrittenRootLength(const std::wstring& full) {
    if (full.size() >= 2 && IsDriveLetter(full[0]) && full[1] == L':') return 2;
    if (full.size() < 2 || !IsSeparator(full[0]) || !IsSeparator(full[1])) return 0;
    size_t end = 1;
    for (int part = 0; part < 2 && end != std::wstring::npos; ++part) end = full.find_first_of(L"\\/", end + 1);
    return end == std::wstring::npos ? full.size() : end;
}

void TrimSeparators(std::wstring& path) {
    while (!path.empty() && IsSeparator(path.back())) path.pop_back();
}

}  // namespace

bool FindVolume(const wchar_t* path, std::wstring& full, std::wstring& root) {
    if (!files::FullPath(path, full)) return false;
    // The root is a part of the full path with a closing backslash at most.
    root.assign(std::max<size_t>(full.size() + 2, MAX_PATH + 1), L'\0');
    if (win32.GetVolumePathNameW(full.c_str(), &root[0], static_cast<DWORD>(root.size()))) {
        root.resize(wcslen(root.c_str()));
        if (root.empty() || !IsSeparator(root.back())) root += L'\\';
        return true;
    }
    // Where the system names no volume (a share under Wine, \\.\T: without
    // its backslash, a drive that does not exist), the root the full path
    // is written with.
    const size_t rootLength = WrittenRootLength(full);
    if (rootLength == 0) {
        root.clear();
        return false;
    }
    root = full.substr(0, rootLength) + L'\\';
    return true;
}

bool NamesVolumeRoot(const wchar_t* path) {
    // A drive alone is its current folder to the system, but a listing of
    // "T:" + "\*" lists the root: it is taken as the root.
    if (path && IsDriveLetter(path[0]) && path[1] == L':' && !path[2]) return true;
    std::wstring full, root;
    if (!FindVolume(path, full, root)) return true;
    TrimSeparators(full);
    TrimSeparators(root);
    return full.size() == root.size() &&
           ::CompareStringOrdinal(full.c_str(), static_cast<int>(full.size()), root.c_str(),
                                  static_cast<int>(root.size()), TRUE) == CSTR_EQUAL;
}

// A path that names its drive (C:\data, C:data) is asked of GetFreeDiskSpace,
// whose answers and records stay as they always were. Any other (a share, the
// device namespace, a relative path) is asked of the volume the system
// resolves it to, with a record of the same shape when that fails.
HRESULT QVFileIO::FreeSpaceFor(BSTR path, long& freeSpace) {
    if (path && IsDriveLetter(path[0]) && path[1] == L':') return Nested()->GetFreeDiskSpace(path, &freeSpace);
    std::wstring full, root;
    ULARGE_INTEGER available = {};
    if (!FindVolume(path, full, root) || !win32.GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) {
        const Win32Failure failure = NotFoundOr(::GetLastError(), kFailedToDetermineDiskSpace);
        const std::string where = ToAnsi(root.empty() ? path : root.c_str());
        return Report(failure.hr, __LINE__, {"szDrive: ", where.c_str(), "Error: ", failure.message});
    }
    // At most what GetFreeDiskSpace gives: every length that passes fits one write.
    freeSpace = static_cast<long>(std::min<unsigned long long>(available.QuadPart, LONG_MAX));
    return S_OK;
}
