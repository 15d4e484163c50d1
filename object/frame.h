// Pieces of the operation frame that every operation shares.
#pragma once
#include "platform/hresult.h"
#include "platform/raii.h"
#include "platform/files.h"
#include "platform/judge.h"
#include "platform/keys.h"
#include "platform/text.h"
#include <initializer_list>
#include <string>
#include <string_view>

using Pieces = std::initializer_list<const char*>;

// The source module named in the records of the interface operations.
extern const char kSourceModule[];

// Messages that several operations share, each written once.
extern const char kInvalidPathName[];
extern const char kInvalidFileName[];
extern const char kFailedToValidate[];
extern const char kFileNotFound[];
extern const char kPathNotFound[];
extern const char kFailedToGetAttributes[];
extern const char kFailedToSetAttributes[];
extern const char kFailedToCloseFile[];
extern const char kFailedToDetermineDiskSpace[];
extern const char kFailedToDetermineDirectoryExists[];
extern const char kFailedToDetermineFileExists[];
extern const char kFailedToCreateDirectory[];
extern const char kFailedToCreateFile[];
extern const char kFailedToWriteFile[];
extern const char kFailedToClearAttributes[];
extern const char kAlreadyExists[];
extern const char kAccessDenied[];
extern const char kNotEnoughDiskSpace[];
extern const char kNoDataToWrite[];
extern const char kInvalidPathLength[];
extern const char kFailedToFindFileOrDirectory[];
extern const char kFailedToGetDirectoryContents[];
extern const char kFailedToDetermineIfDirectory[];
extern const char kFailedToCloseSearch[];
// A failed call could not undo what it had changed.
extern const char kFailedToRestore[];
extern const char kOutParameterNotNull[];
// For the operations without a catch-all message of their own.
extern const char kOutOfMemory[];
// The refusal of a place or an action that the administrator's policy does
// not allow.
extern const char kRefusedByPolicy[];

// Frame step 1: a text argument as the operation takes it, up to its first
// NUL. The caller's string is read in place rather than copied: nothing
// else runs in the apartment while the call does, no step changes it, and
// every step reads it up to that NUL, so the end is a length, not a copy (a
// copy of a text of millions of characters costs more than the work). A
// null argument stays null, which every step treats as empty.
class ArgCopy {
public:
    explicit ArgCopy(BSTR source) : text_(source) {}
    BSTR get() const { return text_; }
    size_t length() const;
    bool empty() const { return !text_ || !*text_; }

private:
    BSTR text_;
};

// Hands a description to the caller through the COM error-information
// channel, with IQVFileIO as the interface and the class's ProgID as source.
void ComErrorInfo(const char* message) noexcept;
// For the few failures that hand over no description: the caller must not
// see the description of an earlier call instead. Returns hr.
HRESULT WithoutErrorInfo(HRESULT hr) noexcept;

// A failed Win32 call as the system reports it: its HRESULT and message.
struct Win32Failure {
    HRESULT hr;
    const char* message;
};

// The message an operation names for an error code.
struct ErrorMessage {
    DWORD error;
    const char* message;
};

// A failed call's HRESULT with the message of its error code among `known`,
// `otherMessage` for any other code.
Win32Failure ClassifyFailure(DWORD error, std::initializer_list<ErrorMessage> known, const char* otherMessage);

// Error 2 is "File not found", error 3 "The path was not found"; any other
// error gets `otherMessage`.
Win32Failure NotFoundOr(DWORD error, const char* otherMessage);

// Calls `visit` with each entry of a listing text (names joined by "|"),
// in order, until one visit fails; returns that failure or S_OK. Each entry
// is a view into the listing, which must outlive the visit.
template <class Char, class Visit>
HRESULT ForEachListed(std::basic_string_view<Char> listing, Visit&& visit) {
    for (size_t start = 0; start < listing.size();) {
        size_t end = listing.find(Char('|'), start);
        if (end == std::basic_string_view<Char>::npos) end = listing.size();
        const HRESULT hr = visit(listing.substr(start, end - start));
        if (FAILED(hr)) return hr;
        start = end + 1;
    }
    return S_OK;
}
template <class Char, class Visit>
HRESULT ForEachListed(const std::basic_string<Char>& listing, Visit&& visit) {
    return ForEachListed(std::basic_string_view<Char>(listing), visit);
}

// The entries "." and ".." that a listing of a directory holds.
inline bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }
inline bool IsDotEntry(std::wstring_view name) { return name == L"." || name == L".."; }

// The failures of a missing path (error 3) and of a missing file or path
// (errors 2 and 3), as the nested operations return them.
inline bool IsPathNotFound(HRESULT hr) { return hr == HResultFromWin32(ERROR_PATH_NOT_FOUND); }
inline bool IsNotFound(HRESULT hr) { return hr == HResultFromWin32(ERROR_FILE_NOT_FOUND) || IsPathNotFound(hr); }

// Whether a path names a device (CON, NUL, COM1, LPT1, CON.txt, C:\x\NUL,
// CONIN$, \\.\COM1) rather than a file. Nothing is ever written, created,
// copied or moved there, and its attributes are never changed: writing to
// NUL loses the data, and under Wine, run by an administrator, changing
// attributes would change the device node of the system itself.
bool NamesDevice(const wchar_t* path);
const HRESULT kDeviceRefused = HResultFromWin32(ERROR_INVALID_NAME);

// A boolean out-value as the system stores it: 1 for true, never -1.
inline VARIANT_BOOL AsResult(bool value) { return value ? 1 : 0; }
