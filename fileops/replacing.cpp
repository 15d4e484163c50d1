#include "fileops/replacing.h"
#include "platform/hresult.h"
#include "platform/text.h"
#include <cstring>

namespace {

// What of the target's security the new file is given.
const SECURITY_INFORMATION kKeptSecurity =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
// The attributes a file can be given.
const DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Entries that are not a plain file, and files whose compression or
// encryption a new file would not have: these are written in place.
const DWORD kInPlace = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE |
                       FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED;

// A file system that keeps no security (FAT) says so; there is none to keep.
bool NoSecurityHere(DWORD error) { return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION; }

// Whether the file has a data stream besides its content. A file system
// that lists no streams (FAT; Wine lists none) has none.
bool HasOtherStreams(HANDLE file) {
    alignas(FILE_STREAM_INFO) BYTE buffer[1024];
    if (!win32.GetFileInformationByHandleEx(file, FileStreamInfo, buffer, sizeof buffer))
        return ::GetLastError() == ERROR_MORE_DATA;
    const auto* first = reinterpret_cast<const FILE_STREAM_INFO*>(buffer);
    static const wchar_t kContent[] = L"::$DATA";
    return first->NextEntryOffset != 0 || first->StreamNameLength != sizeof kContent - sizeof(wchar_t) ||
           memcmp(first->StreamName, kContent, first->StreamNameLength) != 0;
}

// Where the open file really is, links followed; empty when unknown.
std::wstring FinalPath(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = win32.GetFinalPathNameByHandleW(file, &path[0], static_cast<DWORD>(path.size()),
                                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) break;
        if (length < path.size()) return path.substr(0, length);
        path.resize(length);
    }
    return std::wstring();
}

}  // namespace

std::wstring FileReplacement::BesideName(const std::wstring& path) {
    const size_t name = path.find_last_of(L"\\/") + 1;
    return path.substr(0, name) + L"~" + path.substr(name) + L".qvnew";
}

bool FileReplacement::Begin(const wchar_t* target) {
    // With the right to replace it, which another program that holds it
    // without delete sharing refuses.
    target_.reset(win32.CreateFileW(target, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!target_ || !win32.GetFileInformationByHandle(target_.get(), &info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & kInPlace) || HasOtherStreams(target_.get()))
        return Decline();
    attributes_ = info.dwFileAttributes & kSettable;
    creation_ = info.ftCreationTime;
    path_ = FinalPath(target_.get());
    if (path_.empty()) return Decline();
    beside_ = BesideName(path_);
    security_.assign(512, 0);
    DWORD needed = 0;
    while (!win32.GetFileSecurityW(path_.c_str(), kKeptSecurity, security_.data(),
                                   static_cast<DWORD>(security_.size()), &needed)) {
        const DWORD error = ::GetLastError();
        if (NoSecurityHere(error)) {
            security_.clear();
            break;
        }
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= security_.size()) return Decline();
        security_.assign(needed, 0);
    }
    return true;
}

bool FileReplacement::Create() {
    // A file of the name that no call holds open is a leftover: removed,
    // and the name tried once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        file_.reset(win32.CreateFileW(beside_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN,
                                      nullptr));
        if (file_) return made_ = true;
        if (attempt > 0 || ::GetLastError() != ERROR_FILE_EXISTS || !Remove()) break;
    }
    return Decline();
}

HRESULT FileReplacement::Copy(const wchar_t* source) {
    // The source may be the target itself, which the copy must be able to read.
    target_.reset();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (win32.CopyFileW(source, beside_.c_str(), TRUE)) break;
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS && attempt == 0 && Remove()) continue;
        // What the copy made of the new file goes; a name still taken
        // (another call's new file) and a folder closed to new files leave
        // the plain copy.
        made_ = error != ERROR_FILE_EXISTS;
        Abandon();
        ::SetLastError(error);
        return error == ERROR_FILE_EXISTS || error == ERROR_ACCESS_DENIED ? S_FALSE : HResultFromFailedCall(error);
    }
    made_ = true;
    // Opened for the flush with a read-only attribute cleared; Commit
    // gives the copy's attributes back.
    const DWORD copied = win32.GetFileAttributesW(beside_.c_str());
    if (copied != INVALID_FILE_ATTRIBUTES &&
        (!(copied & FILE_ATTRIBUTE_READONLY) ||
         win32.SetFileAttributesW(beside_.c_str(), copied & ~DWORD(FILE_ATTRIBUTE_READONLY))))
        file_.reset(win32.CreateFileW(beside_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!file_) {
        Abandon();
        return S_FALSE;
    }
    attributes_ = copied & kSettable;
    return S_OK;
}

bool FileReplacement::Commit() {
    // The target's attributes and creation time (the other times are left
    // as they are) and its security; then the bytes on the disk before the
    // name changes.
    FILE_BASIC_INFO basic = {};
    basic.CreationTime.LowPart = creation_.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(creation_.dwHighDateTime);
    basic.FileAttributes = attributes_ ? attributes_ : FILE_ATTRIBUTE_NORMAL;
    if (!win32.SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic) || !GiveSecurity() ||
        !win32.FlushFileBuffers(file_.get()) || !win32.CloseHandle(file_.release()))
        return Decline();
    // No file that is open anywhere can be replaced, by us included.
    target_.reset();
    if (!win32.MoveFileExW(beside_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Decline();
    made_ = false;
    return true;
}

// The target's owner, group and access control list, where the new file
// has others (another owner, an access list of the file's own). Only then:
// under Wine, setting an access list also sets the Unix permissions it
// maps to, which may not be those the file had.
bool FileReplacement::GiveSecurity() {
    if (security_.empty()) return true;
    std::vector<BYTE> own(security_.size());
    DWORD needed = 0;
    if (win32.GetFileSecurityW(beside_.c_str(), kKeptSecurity, own.data(), static_cast<DWORD>(own.size()), &needed) &&
        own == security_)
        return true;
    return win32.SetFileSecurityW(beside_.c_str(), kKeptSecurity, security_.data()) != FALSE;
}

void FileReplacement::Abandon() noexcept {
    const DWORD error = ::GetLastError();
    file_.reset();
    if (made_) Remove();
    made_ = false;
    target_.reset();
    ::SetLastError(error);
}

// Deletes the new file, a read-only one too. A file that a live call holds
// open without delete sharing is refused (a sharing violation) before its
// attributes are looked at, so they are never cleared.
bool FileReplacement::Remove() noexcept {
    if (win32.DeleteFileW(beside_.c_str())) return true;
    return ::GetLastError() == ERROR_ACCESS_DENIED &&
           win32.SetFileAttributesW(beside_.c_str(), FILE_ATTRIBUTE_NORMAL) && win32.DeleteFileW(beside_.c_str());
}

bool SameInCodePage(const wchar_t* wide, const char* ansi) {
    return wide && FromAnsi(ansi, strlen(ansi)) == wide;
}
