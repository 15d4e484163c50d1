// Every act of the product on a file or folder, in the wide form of the
// system's calls and with their answers (a failure leaves the last error).
// With no judge on the calling thread each is the system's call itself:
// the same calls, answers and speed as ever. Under a judge (the
// administrator's policy) each acts through a handle whose final place the
// judge has seen: a file is opened and then judged, a new entry is made
// relative to its judged folder's handle, a deletion, a rename and a change
// of attributes go through the judged handle, and a listing reads the
// judged folder's handle. A link swapped in at any moment can make an act
// fail with ERROR_ACCESS_DENIED; it never leads one out.
#pragma once
#include "platform/raii.h"
#include <memory>
#include <string>

namespace files {

// GetFullPathNameW: the current folder and drive applied, "." and ".."
// taken out, slashes turned. False for an empty path or one the system
// cannot complete.
bool FullPath(const wchar_t* path, std::wstring& full);
// GetFinalPathNameByHandleW of an open handle, links followed, as a path of
// its drive or share: without \\?\ and without a closing backslash.
bool FinalPath(HANDLE handle, std::wstring& path);

// CreateFileW for OPEN_EXISTING, CREATE_NEW and CREATE_ALWAYS. A file with
// more than one name is refused under a judge: another name may lie outside.
HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flagsAndAttributes);
// CreateFileW for OPEN_EXISTING of a file that is opened only to tell that
// it is there and not held open: nothing is read or changed through it, so
// a file with several names is not refused.
HANDLE Probe(const wchar_t* path, DWORD access, DWORD share);
// GetFileAttributesW: a question about a name, answered by name.
DWORD Attributes(const wchar_t* path);
BOOL SetAttributes(const wchar_t* path, DWORD attributes);
// For its life, the change of attributes of `path` and its deletion that
// follow on this thread are one act: under a judge the deletion goes
// through the handle judged for the change, not through a second one.
// (DeleteFile and DeleteDirectory clear the attributes first.)
class DeletionAhead {
public:
    explicit DeletionAhead(const wchar_t* path);
    ~DeletionAhead();
    DeletionAhead(const DeletionAhead&) = delete;
    DeletionAhead& operator=(const DeletionAhead&) = delete;

private:
    std::wstring full_;
    const std::wstring* saved_;
};
BOOL CreateFolder(const wchar_t* path);
BOOL Delete(const wchar_t* path);
BOOL RemoveFolder(const wchar_t* path);
// MoveFileW: never replaces an existing entry.
BOOL Move(const wchar_t* from, const wchar_t* to);
// MoveFileExW with MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH:
// `from` takes the place of the file `to` in one step, on the disk when it
// answers.
BOOL Replace(const wchar_t* from, const wchar_t* to);
BOOL Copy(const wchar_t* from, const wchar_t* to, BOOL failIfExists);

// FindFirstFileW, FindNextFileW and FindClose.
class Search {
public:
    Search();
    ~Search();
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    // The first entry matching `pattern`; false with the last error set.
    bool First(const wchar_t* pattern, WIN32_FIND_DATAW& data);
    // The next entry; false with ERROR_NO_MORE_FILES at the end.
    bool Next(WIN32_FIND_DATAW& data);
    // Ends the search; false when the system could not close it.
    bool Close();

private:
    class Judged;
    unique_hfind plain_;
    std::unique_ptr<Judged> judged_;
};

}  // namespace files
