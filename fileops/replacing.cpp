#include "fileops/replacing.h"
#include "platform/files.h"
#include "platform/hresult.h"
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

// Where the open file really is, links followed, as a path of its drive or
// share; empty when unknown.
std::wstring FinalPath(HANDLE file) {
    std::wstring path;
    return files::FinalPath(file, path) ? path : std::wstring();
}

// The security of an open file (its owner, group and access list) as bytes;
// false with the last error set when it cannot be read.
bool SecurityOf(HANDLE file, std::vector<BYTE>& security) {
    security.assign(512, 0);
    DWORD needed = 0;
    while (!win32.GetKernelObjectSecurity(file, kKeptSecurity, security.data(), static_cast<DWORD>(security.size()),
                                          &needed)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= security.size()) return false;
        security.assign(needed, 0);
    }
    return true;
}

// What the new file is opened with: writing, and giving it the target's
// security.
const DWORD kNewFileAccess = GENERIC_WRITE | WRITE_DAC | WRITE_OWNER | READ_CONTROL;

}  // namespace

std::wstring FileReplacement::BesideName(const std::wstring& path) {
    const size_t name = path.find_last_of(L"\\/") + 1;
    return path.substr(0, name) + L"~" + path.substr(name) + L".qvnew";
}

bool FileReplacement::Begin(const wchar_t* target) {
    // With the right to replace it, which another program that holds it
    // without delete sharing refuses.
    target_.reset(files::Open(target, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES | READ_CONTROL, FILE_SHARE_READ,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    FILE_BASIC_INFO basic = {};
    FILE_STANDARD_INFO standard = {};
    if (!target_ || !win32.GetFileInformationByHandleEx(target_.get(), FileBasicInfo, &basic, sizeof basic) ||
        !win32.GetFileInformationByHandleEx(target_.get(), FileStandardInfo, &standard, sizeof standard) ||
        standard.NumberOfLinks != 1 || (basic.FileAttributes & kInPlace) || HasOtherStreams(target_.get()))
        return Decline();
    attributes_ = basic.FileAttributes & kSettable;
    creation_.dwLowDateTime = basic.CreationTime.LowPart;
    creation_.dwHighDateTime = static_cast<DWORD>(basic.CreationTime.HighPart);
    path_ = FinalPath(target_.get());
    if (path_.empty()) return Decline();
    beside_ = BesideName(path_);
    if (!SecurityOf(target_.get(), security_)) {
        if (!NoSecurityHere(::GetLastError())) return Decline();
        security_.clear();
    }
    return true;
}

bool FileReplacement::Create() {
    // A file of the name that no call holds open is a leftover: removed,
    // and the name tried once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        file_.reset(files::Open(beside_.c_str(), kNewFileAccess, 0, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN));
        if (file_) return made_ = true;
        if (attempt > 0 || ::GetLastError() != ERROR_FILE_EXISTS || !Remove()) break;
    }
    return Decline();
}

HRESULT FileReplacement::Copy(const wchar_t* source) {
    // The source may be the target itself, which the copy must be able to read.
    target_.reset();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (files::Copy(source, beside_.c_str(), TRUE)) break;
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
    const DWORD copied = files::Attributes(beside_.c_str());
    if (copied != INVALID_FILE_ATTRIBUTES &&
        (!(copied & FILE_ATTRIBUTE_READONLY) ||
         files::SetAttributes(beside_.c_str(), copied & ~DWORD(FILE_ATTRIBUTE_READONLY))))
        file_.reset(files::Open(beside_.c_str(), kNewFileAccess, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
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
    if (!files::Replace(beside_.c_str(), path_.c_str())) return Decline();
    made_ = false;
    return true;
}

// The target's owner, group and access control list, where the new file
// has others (another owner, an access list of the file's own). Only then:
// under Wine, setting an access list also sets the Unix permissions it
// maps to, which may not be those the file had.
bool FileReplacement::GiveSecurity() {
    if (security_.empty()) return true;
    std::vector<BYTE> own;
    if (SecurityOf(file_.get(), own) && own == security_) return true;
    return win32.SetKernelObjectSecurity(file_.get(), kKeptSecurity, security_.data()) != FALSE;
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
    if (files::Delete(beside_.c_str())) return true;
    return ::GetLastError() == ERROR_ACCESS_DENIED && files::SetAttributes(beside_.c_str(), FILE_ATTRIBUTE_NORMAL) &&
           files::Delete(beside_.c_str());
}
