#include "object/frame.h"
#include "object/qvfileio.h"
#include <cwchar>
#include <cwctype>
#include <new>

const char kSourceModule[] = "QVFileIO.cpp";

const char kInvalidPathName[] = "Invalid path name";
const char kInvalidFileName[] = "Invalid file name";
const char kFailedToValidate[] = "Failed to validate the File or Directory name";
const char kFileNotFound[] = "File not found";
const char kPathNotFound[] = "The path was not found";
const char kFailedToGetAttributes[] = "Failed to get the file attributes";
const char kFailedToSetAttributes[] = "Failed to set the file attribute(s)";
const char kFailedToCloseFile[] = "Failed to close the file";
const char kFailedToDetermineDiskSpace[] = "Failed to determine disk space";
const char kFailedToDetermineDirectoryExists[] = "Failed to determine if the directory exists";
const char kFailedToDetermineFileExists[] = "Failed to determine if the file exists";
const char kFailedToCreateDirectory[] = "Failed to create the directory";
const char kFailedToCreateFile[] = "Failed to create the file";
const char kFailedToWriteFile[] = "Failed to write to the file";
const char kFailedToClearAttributes[] = "Failed to clear the file attributes";
const char kAlreadyExists[] = "File or directory already exists";
const char kAccessDenied[] = "Access denied";
const char kNotEnoughDiskSpace[] = "Not enough disk space";
const char kNoDataToWrite[] = "No data to write";
const char kInvalidPathLength[] = "Invalid path length";
const char kFailedToFindFileOrDirectory[] = "Failed to find the file or directory";
const char kFailedToGetDirectoryContents[] = "Failed to get the directory contents";
const char kFailedToDetermineIfDirectory[] = "Failed to determine if this is a directory";
const char kFailedToCloseSearch[] = "Failed to close the search";
const char kFailedToRestore[] = "Failed to put the file back as it was";
const char kOutParameterNotNull[] = "The out-parameter was passed as non-null.";
const char kOutOfMemory[] = "Not enough memory to complete the operation";
const char kRefusedByPolicy[] = "Refused by the administrator's policy";

size_t ArgCopy::length() const { return text_ ? wcslen(text_) : 0; }

Win32Failure ClassifyFailure(DWORD error, std::initializer_list<ErrorMessage> known, const char* otherMessage) {
    for (const ErrorMessage& entry : known)
        if (entry.error == error) return {HResultFromFailedCall(error), entry.message};
    return {HResultFromFailedCall(error), otherMessage};
}

Win32Failure NotFoundOr(DWORD error, const char* otherMessage) {
    return ClassifyFailure(error, {{ERROR_FILE_NOT_FOUND, kFileNotFound}, {ERROR_PATH_NOT_FOUND, kPathNotFound}},
                           otherMessage);
}

namespace {

// The reserved names, whatever follows the first dot or colon and however
// many blanks end them: the rule of every Windows, also of those whose
// ntdll no longer calls "nul.txt" a device.
bool IsReservedName(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    std::wstring base(name, wcscspn(name, L".:"));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = towupper(c);
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$" || base == L"CONERR$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

}  // namespace

bool NamesDevice(const wchar_t* path) {
    if (!path || !*path) return false;
    // The system's own rule for device names, from ntdll.
    using IsDosDeviceName = ULONG(WINAPI*)(PCWSTR);
    static const auto isDevice = reinterpret_cast<IsDosDeviceName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlIsDosDeviceName_U")));
    if ((isDevice && isDevice(path) != 0) || IsReservedName(path)) return true;
    // The device namespace holds files only below a drive: \\.\C:\x.
    const bool deviceSpace = (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/') &&
                             path[2] == L'.' && (path[3] == L'\\' || path[3] == L'/');
    return deviceSpace && !(iswalpha(path[4]) && path[5] == L':' && (path[6] == L'\\' || path[6] == L'/') && path[7]);
}

void ComErrorInfo(const char* message) noexcept {
    try {
        const std::string text = message ? message : "";
        const std::wstring wide = FromAnsi(text.data(), text.size());
        com_ptr<ICreateErrorInfo> create;
        if (FAILED(::CreateErrorInfo(create.put()))) return;
        create->SetGUID(IID_IQVFileIO);
        LPOLESTR progId = nullptr;
        if (SUCCEEDED(::ProgIDFromCLSID(CLSID_QVFileIO, &progId)) && progId) {
            unique_cotaskmem owner(progId);
            create->SetSource(progId);
        }
        create->SetDescription(const_cast<LPOLESTR>(wide.c_str()));
        com_ptr<IErrorInfo> info;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.put_void()))) ::SetErrorInfo(0, info.get());
    } catch (...) {
    }
}

HRESULT WithoutErrorInfo(HRESULT hr) noexcept {
    ::SetErrorInfo(0, nullptr);
    return hr;
}

HRESULT QVFileIO::Report(HRESULT hr, int line, Pieces pieces) {
    ErrorReportPieces(hr, kSourceModule, line, 0, pieces.begin(), pieces.size());
    return hr;
}

HRESULT QVFileIO::Fail(HRESULT hr, int line, Pieces pieces) {
    Report(hr, line, pieces);
    ComErrorInfo(pieces.size() ? *(pieces.end() - 1) : "");
    return hr;
}

void QVFileIO::PutBackAttributes(const char* label, const PathText& path, DWORD saved) {
    if (saved != INVALID_FILE_ATTRIBUTES && !files::SetAttributes(path.wide(), saved))
        Report(HResultFromLastError(), __LINE__, {label, path.c_str(), "Error: ", kFailedToRestore});
}

HRESULT QVFileIO::CatchAll(const char* label, const char* message) noexcept {
    return Fail(E_FAIL, __LINE__, {label, message});
}

HRESULT QVFileIO::Refuse(HRESULT hr, const char* label, const char* message, const char** handBack) {
    if (!handBack) return Fail(hr, __LINE__, {label, message});
    *handBack = message;
    return Report(hr, __LINE__, {label, message});
}

HRESULT QVFileIO::Validate(BSTR path, long fileOrDir, const char* label, const char* invalidMessage,
                           const char** handBack) {
    VARIANT_BOOL valid = 0;
    const HRESULT hr = Nested()->IsValidFileOrDirectoryName(path, fileOrDir, &valid);
    if (FAILED(hr)) return Refuse(hr, label, kFailedToValidate, handBack);
    return valid ? S_OK : Refuse(E_INVALIDARG, label, invalidMessage, handBack);
}

HRESULT QVFileIO::ValidatePath(BSTR path, PathText& narrow, const char* label, const char* invalidMessage,
                               const char** handBack) {
    const HRESULT hr = Validate(path, 1, label, invalidMessage, handBack);
    if (FAILED(hr) || narrow.Assign(path)) return hr;
    return Refuse(E_INVALIDARG, label, invalidMessage, handBack);
}

HRESULT QVFileIO::RefuseByPolicy(const char* label, const char* place) {
    return Fail(E_ACCESSDENIED, __LINE__, {label, place, "Error: ", kRefusedByPolicy});
}

HRESULT QVFileIO::Confine(const PathText& path, Confinement::Access access, const char* label) {
    if (!Confined() || confinement_.AllowsPath(path.wide(), access)) return S_OK;
    return RefuseByPolicy(label, path.c_str());
}

HRESULT QVFileIO::ConfineArgument(BSTR path, Confinement::Access access, const char* label) {
    if (!Confined()) return S_OK;
    VARIANT_BOOL valid = 0;
    PathText narrow;
    if (FAILED(Nested()->IsValidFileOrDirectoryName(path, 1, &valid)) || !valid || !narrow.Assign(path)) return S_OK;
    return Confine(narrow, access, label);
}

HRESULT QVFileIO::ConfineListing(const PathText& pattern, const char* label) {
    if (!Confined() || confinement_.AllowsListing(pattern.wide())) return S_OK;
    return RefuseByPolicy(label, pattern.c_str());
}

HRESULT QVFileIO::ConfinePattern(BSTR folder, BSTR pattern) {
    if (!Confined() || !pattern || !wcspbrk(pattern, L"\\/.")) return S_OK;
    const std::wstring text(pattern, wcslen(pattern));
    if (text.find_first_of(L"\\/") == std::wstring::npos && text.find(L"..") == std::wstring::npos) return S_OK;
    std::wstring joined = folder ? folder : L"";
    if (!joined.empty() && joined.back() != L'\\') joined += L'\\';
    joined += text;
    PathText place;
    if (place.Assign(std::move(joined)) && confinement_.AllowsListing(place.wide())) return S_OK;
    return RefuseByPolicy("bstrSearchString: ", ToAnsi(text).c_str());
}

bool QVFileIO::CallJudge::AllowsPlace(const std::wstring& place, Act act) {
    return self_.confinement_.AllowsPlace(place, act);
}

bool QVFileIO::CallJudge::AllowsKeyName(const std::wstring& name, KeyAct act) {
    return self_.confinement_.AllowsKeyName(name, act);
}

bool QVFileIO::CallJudge::BaseOf(const std::wstring& full, std::wstring& base) {
    return self_.confinement_.BaseOf(full, base);
}

// The call then fails with its own answer to ERROR_ACCESS_DENIED.
void QVFileIO::CallJudge::Refused(const std::wstring& place) {
    self_.Report(E_ACCESSDENIED, __LINE__, {"szFinalPath: ", ToAnsi(place).c_str(), "Error: ", kRefusedByPolicy});
}

HRESULT QVFileIO::ConfineAction(bool allowed, const char* label, const char* what) {
    return !Confined() || allowed ? S_OK : RefuseByPolicy(label, what);
}
