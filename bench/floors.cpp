#include "bench/floors.h"
#include "errorlog/errorlog.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace floors {
namespace {

// The caller's text up to its first NUL in the ANSI code page, converted
// once into fresh memory; `length` gets its bytes.
std::unique_ptr<char[]> Converted(BSTR text, size_t& length) {
    CPINFO info = {};
    ::GetCPInfo(CP_ACP, &info);
    const size_t capacity = static_cast<size_t>(::SysStringLen(text)) * info.MaxCharSize + 1;
    std::unique_ptr<char[]> bytes(new char[capacity]);
    const int written = ::WideCharToMultiByte(CP_ACP, 0, text, -1, bytes.get(), static_cast<int>(capacity), nullptr,
                                              nullptr);
    length = written > 0 ? static_cast<size_t>(written - 1) : 0;
    return bytes;
}

// ANSI text widened once into a new BSTR.
BSTR Widened(const std::string& text) {
    const int length = static_cast<int>(text.size());
    const int chars = length ? ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0) : 0;
    BSTR result = ::SysAllocStringLen(nullptr, static_cast<UINT>(chars));
    if (chars) ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, result, chars);
    return result;
}

void Seek(HANDLE file, long long offset, DWORD method, long long* position = nullptr) {
    LARGE_INTEGER to, at;
    to.QuadPart = offset;
    ::SetFilePointerEx(file, to, &at, method);
    if (position) *position = at.QuadPart;
}

void FreeSpace(const char* path) {
    const char root[] = {path[0], ':', '\\', '\0'};
    DWORD sectors, bytes, free, total;
    ::GetDiskFreeSpaceA(root, &sectors, &bytes, &free, &total);
}

// FileExists of an existing file: the directory test, the open alone.
void ExistingFile(const char* path) {
    ::GetFileAttributesA(path);
    unique_hfile probe(::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// FileExists of a missing file: the directory test that fails with its
// record, the open that fails.
void MissingFile(const char* path) {
    static ErrorLog log;
    ::GetFileAttributesA(path);
    const char* pieces[] = {"bstrFullpath: ", path, "Error: ", "File not found"};
    log.ErrorReportPieces(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "QVFileIO.cpp", 0, 0, pieces, 4);
    unique_hfile probe(::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::wstring Wide(const char* text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    return wide;
}

// A file's whole content replaced (Write, WriteToExistingFile, CopyFile over
// a file): the file opened to be replaced and looked at (its names and
// streams, where it really is, its owner and access list), the new file made
// beside it by `make`, given the file's attributes and creation time (and
// its security where that differs), flushed, and renamed over the file.
template <class Make>
void Replace(const char* path, Make&& make) {
    const SECURITY_INFORMATION kept = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    unique_hfile target(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    ::GetFileInformationByHandle(target.get(), &info);
    alignas(FILE_STREAM_INFO) BYTE streams[1024];
    ::GetFileInformationByHandleEx(target.get(), FileStreamInfo, streams, sizeof streams);
    wchar_t where[MAX_PATH + 8] = {};
    ::GetFinalPathNameByHandleW(target.get(), where, MAX_PATH + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const std::wstring final = where;
    const size_t name = final.rfind(L'\\') + 1;
    const std::wstring beside = final.substr(0, name) + L"~" + final.substr(name) + L".qvnew";
    BYTE security[512] = {}, own[512] = {};
    DWORD needed = 0;
    ::GetFileSecurityW(final.c_str(), kept, security, sizeof security, &needed);
    unique_hfile file = make(beside);
    FILE_BASIC_INFO basic = {};
    basic.CreationTime.LowPart = info.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(info.ftCreationTime.dwHighDateTime);
    basic.FileAttributes = info.dwFileAttributes;
    ::SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
    ::GetFileSecurityW(beside.c_str(), kept, own, sizeof own, &needed);
    if (memcmp(own, security, sizeof own) != 0) ::SetFileSecurityW(beside.c_str(), kept, security);
    ::FlushFileBuffers(file.get());
    ::CloseHandle(file.release());
    target.reset();
    ::MoveFileExW(beside.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// The content change of WriteToExistingFile: the attributes saved; the
// whole text replacing the file, or appended in place; the attributes put
// back.
void ChangeContent(const char* path, const char* bytes, size_t length, bool append) {
    const DWORD saved = ::GetFileAttributesA(path);
    DWORD done = 0;
    if (append) {
        unique_hfile file(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        Seek(file.get(), 0, FILE_END);
        ::WriteFile(file.get(), bytes, static_cast<DWORD>(length), &done, nullptr);
        ::CloseHandle(file.release());
    } else {
        Replace(path, [&](const std::wstring& beside) {
            unique_hfile file(::CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_HIDDEN, nullptr));
            ::WriteFile(file.get(), bytes, static_cast<DWORD>(length), &done, nullptr);
            return file;
        });
    }
    ::SetFileAttributesA(path, saved);
}

void WriteOrAppend(BSTR text, const char* directory, const char* path, bool append) {
    size_t length = 0;
    const std::unique_ptr<char[]> bytes = Converted(text, length);
    ::GetFileAttributesA(directory);
    ExistingFile(path);
    FreeSpace(path);
    ChangeContent(path, bytes.get(), length, append);
}

// The names of one search, dot entries included; `attributes` gets theirs.
std::vector<std::string> Listed(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    unique_hfind search(::FindFirstFileA(pattern.c_str(), &found));
    if (search) do names.push_back(found.cFileName); while (::FindNextFileA(search.get(), &found));
    return names;
}

bool IsDot(const std::string& name) { return name == "." || name == ".."; }

void SearchInto(const std::string& directory, const char* pattern, std::string& found) {
    const std::string prefix = directory.back() == '\\' ? directory : directory + "\\";
    for (const std::string& name : Listed(prefix + pattern)) {
        if (IsDot(name)) continue;
        if (!found.empty()) found += '|';
        found += prefix + name;
    }
    for (const std::string& name : Listed(prefix + "*")) {
        if (IsDot(name)) continue;
        const std::string child = prefix + name;
        const DWORD attributes = ::GetFileAttributesA(child.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            SearchInto(child, pattern, found);
    }
}

}  // namespace

void WriteOver(BSTR text, const char* directory, const char* path) { WriteOrAppend(text, directory, path, false); }

void Append(BSTR text, const char* directory, const char* path) { WriteOrAppend(text, directory, path, true); }

void WriteNew(BSTR text, const char* directory, const char* path) {
    size_t length = 0;
    const std::unique_ptr<char[]> bytes = Converted(text, length);
    ::GetFileAttributesA(directory);
    MissingFile(path);
    FreeSpace(path);
    MissingFile(path);
    ::CloseHandle(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    FreeSpace(path);
    ChangeContent(path, bytes.get(), length, false);
}

void WriteToExisting(BSTR text, const char* path) {
    size_t length = 0;
    const std::unique_ptr<char[]> bytes = Converted(text, length);
    FreeSpace(path);
    ChangeContent(path, bytes.get(), length, false);
}

void CopyOver(const char* source, const char* destination) {
    ::GetFileAttributesA(destination);
    const std::wstring from = Wide(source);
    Replace(destination, [&](const std::wstring& beside) {
        ::CopyFileW(from.c_str(), beside.c_str(), TRUE);
        ::GetFileAttributesW(beside.c_str());
        return unique_hfile(::CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    });
}

BSTR Read(const char* path) {
    unique_hfile file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ::GetFileType(file.get());
    LARGE_INTEGER size = {};
    ::GetFileSizeEx(file.get(), &size);
    std::unique_ptr<char[]> bytes(new char[static_cast<size_t>(size.QuadPart)]);
    DWORD got = 0;
    ::ReadFile(file.get(), bytes.get(), static_cast<DWORD>(size.QuadPart), &got, nullptr);
    char* out = bytes.get();
    for (DWORD i = 0; i < got; ++i)
        if (!(bytes[i] == '\r' && i + 1 < got && bytes[i + 1] == '\n')) *out++ = bytes[i];
    const int length = static_cast<int>(out - bytes.get());
    BSTR text = ::SysAllocStringLen(nullptr, static_cast<UINT>(length));
    ::MultiByteToWideChar(CP_ACP, 0, bytes.get(), length, text, length);
    return text;
}

bool FileExists(const char* path) {
    ExistingFile(path);
    return true;
}

BSTR ListDirectory(const char* pattern) {
    std::string listing;
    WIN32_FIND_DATAA found;
    unique_hfind search(::FindFirstFileA(pattern, &found));
    if (!search) return nullptr;
    do {
        if (!listing.empty()) listing += '|';
        listing += found.cFileName;
    } while (::FindNextFileA(search.get(), &found));
    return Widened(listing);
}

BSTR Search(const char* directory, const char* pattern) {
    std::string found;
    SearchInto(directory, pattern, found);
    return found.empty() ? nullptr : Widened(found);
}

void DeleteTree(const char* directory, bool top) {
    if (top) {
        char full[MAX_PATH], volume[MAX_PATH];
        ::GetFullPathNameA(directory, MAX_PATH, full, nullptr);
        ::GetVolumePathNameA(full, volume, MAX_PATH);
    }
    const std::string prefix = std::string(directory) + "\\";
    const std::vector<std::string> names = Listed(prefix + "*");
    Listed(prefix + "*");  // the emptiness check
    for (const std::string& name : names) {
        if (IsDot(name)) continue;
        const std::string child = prefix + name;
        const DWORD attributes = ::GetFileAttributesA(child.c_str());
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::GetFileAttributesA(child.c_str());
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(child.c_str());
        } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            ::RemoveDirectoryA(child.c_str());
        } else {
            DeleteTree(child.c_str(), false);
        }
    }
    ::GetFileAttributesA(directory);
    ::SetFileAttributesA(directory, FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(directory);
}

long FileSize(const char* path) {
    ::GetFileAttributesA(path);
    WIN32_FIND_DATAA found;
    unique_hfind search(::FindFirstFileA(path, &found));
    return static_cast<long>(found.nFileSizeLow);
}

BSTR LastModifiedDate(const char* path) {
    ::GetFileAttributesA(path);
    unique_hfile file(::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME times[3], local;
    SYSTEMTIME parts;
    ::GetFileTime(file.get(), &times[0], &times[1], &times[2]);
    ::FileTimeToLocalFileTime(&times[2], &local);
    ::FileTimeToSystemTime(&local, &parts);
    ::CloseHandle(file.release());
    char date[32];
    snprintf(date, sizeof date, "%u/%u/%u", parts.wMonth, parts.wDay, parts.wYear);
    return Widened(date);
}

void RegistryWrite(HKEY root, const char* subKey, const char* name, BSTR data) {
    size_t length = 0;
    const std::unique_ptr<char[]> bytes = Converted(data, length);
    unique_hkey key;
    ::RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.get()),
                     static_cast<DWORD>(length + 1));
    ::RegCloseKey(key.release());
}

BSTR RegistryRead(HKEY root, const char* subKey, const char* name) {
    char value[MAX_PATH] = {};
    unique_hkey key;
    ::RegOpenKeyExA(root, subKey, 0, KEY_READ, key.put());
    DWORD size = sizeof value;
    ::RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key.release());
    return Widened(std::string(value, strnlen(value, sizeof value)));
}

}  // namespace floors
