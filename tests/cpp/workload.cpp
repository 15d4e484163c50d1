#include "tests/cpp/workload.h"
#include <psapi.h>
#include <winternl.h>
#include <utility>
#include <vector>

void CALLBACK CloseDialogs(HWND, UINT, UINT_PTR, DWORD) {
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM) __attribute__((stdcall)) -> BOOL {
            ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            ::PostMessageA(window, WM_CLOSE, 0, 0);
            return TRUE;
        },
        0);
}

namespace {

// A BSTR argument made from text, freed at the end of the call's statement.
struct Text {
    explicit Text(const std::wstring& text) : value(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    operator BSTR() const { return value.get(); }
    unique_bstr value;
};

std::wstring Wide(const std::string& ansi) { return std::wstring(ansi.begin(), ansi.end()); }

}  // namespace

Workload::Workload(IQVFileIO* object, std::string folder, std::wstring subKey)
    : object_(object), folder_(std::move(folder)), subKey_(std::move(subKey)),
      timer_(::SetTimer(nullptr, 0, 100, &CloseDialogs)) {}

Workload::~Workload() {
    ::KillTimer(nullptr, timer_);
    object_->DeleteRegistryKey(QV_KEY_CURRENT_USER, Text(subKey_ + L"\\Sub"));
    object_->DeleteRegistryKey(QV_KEY_CURRENT_USER, Text(subKey_));
}

int Workload::Round() {
    int calls = 0;
    IQVFileIO* q = object_;
    auto call = [&](const char* name, auto&& fn) {
        called_.insert(name);
        ++calls;
        fn();
    };
    // A text result is freed at once, as a script engine would.
    auto text = [](HRESULT, BSTR& result) { ::SysFreeString(std::exchange(result, nullptr)); };
    const std::wstring root = Wide(folder_), dir = root + L"\\round", a = dir + L"\\a.txt", b = dir + L"\\b.txt",
                       c = dir + L"\\c.txt", missing = root + L"\\missing.txt", refused = L"a|b";
    const Text data(L"some text\r\n"), tDir(dir), tA(a), tB(b), tC(c), tMissing(missing), tRefused(refused),
        tEmpty(L""), tKey(subKey_), tSubKey(subKey_ + L"\\Sub"), tValue(L"Value"), tNumber(L"Number"),
        tDigits(L"42"), tPattern(dir + L"\\*"), tRoot(root), tStar(L"*.txt"), tTitle(L"Choose a folder"),
        tDrive(L"C:\\"), tServer(L"C:\\"), tName(L"a.txt");
    BSTR result = nullptr;
    VARIANT_BOOL flag = 0;
    long number = 0;

    call("CreateDir", [&] { q->CreateDir(tDir); });
    call("CreateDir", [&] { q->CreateDir(tRefused); });
    call("GetFreeDiskSpace", [&] { q->GetFreeDiskSpace(tDrive, &number); });
    call("GetFreeDiskSpace", [&] { q->GetFreeDiskSpace(tEmpty, &number); });
    call("Write", [&] { q->Write(data, tA, 1, 1, 0); });
    call("Write", [&] { q->Write(tEmpty, tA, 1, 1, 0); });
    call("IsValidFileOrDirectoryName", [&] { q->IsValidFileOrDirectoryName(tA, 1, &flag); });
    call("IsValidFileOrDirectoryName", [&] { q->IsValidFileOrDirectoryName(tA, 2, &flag); });
    call("DirectoryExists", [&] { q->DirectoryExists(tDir, &flag); });
    call("DirectoryExists", [&] { q->DirectoryExists(tRefused, &flag); });
    call("FileExists", [&] { q->FileExists(tA, &flag); });
    call("FileExists", [&] { q->FileExists(tMissing, &flag); });
    call("CreateFile", [&] { q->CreateFile(tB, 1, 1); });
    call("CreateFile", [&] { q->CreateFile(tRefused, 1, 1); });
    call("WriteToExistingFile", [&] { q->WriteToExistingFile(data, tB, 1, 1); });
    call("WriteToExistingFile", [&] { q->WriteToExistingFile(data, tMissing, 1, 1); });
    call("Append", [&] { q->Append(data, tA, 1, 1, 1); });
    call("Append", [&] { q->Append(data, tMissing, 0, 0, 0); });
    call("SetAsReadOnly", [&] { q->SetAsReadOnly(tB); });
    call("SetAsHidden", [&] { q->SetAsHidden(tB); });
    call("SetAsArchive", [&] { q->SetAsArchive(tB); });
    call("SetAsArchive", [&] { q->SetAsArchive(tMissing); });
    call("ClearFileAttributes", [&] { q->ClearFileAttributes(tB); });
    call("Read", [&] { text(q->Read(tA, &result), result); });
    call("Read", [&] { text(q->Read(tMissing, &result), result); });
    call("CopyFile", [&] { q->CopyFile(tA, tC, 1, 1); });
    call("CopyFile", [&] { q->CopyFile(tMissing, tC, 0, 0); });
    call("MoveFileOrDirectory", [&] { q->MoveFileOrDirectory(tC, tMissing); });
    call("MoveFileOrDirectory", [&] { q->MoveFileOrDirectory(tMissing, tC); });  // back again
    call("MoveFileOrDirectory", [&] { q->MoveFileOrDirectory(tRefused, tC); });
    call("GetFileSize", [&] { q->GetFileSize(tA, &number); });
    call("GetFileSize", [&] { q->GetFileSize(tDir, &number); });
    call("GetCreationDate", [&] { text(q->GetCreationDate(tA, &result), result); });
    call("GetCreationTime", [&] { text(q->GetCreationTime(tA, &result), result); });
    call("GetLastAccessedDate", [&] { text(q->GetLastAccessedDate(tA, &result), result); });
    call("GetLastAccessedTime", [&] { text(q->GetLastAccessedTime(tMissing, &result), result); });
    call("GetLastModifiedDate", [&] { text(q->GetLastModifiedDate(tA, &result), result); });
    call("GetLastModifiedTime", [&] { text(q->GetLastModifiedTime(tDir, &result), result); });
    call("DriveExists", [&] { q->DriveExists(tDrive, &flag); });
    call("DriveExists", [&] { q->DriveExists(tEmpty, &flag); });
    call("GetDirectoryContents", [&] { text(q->GetDirectoryContents(tPattern, 1, 1, &result), result); });
    call("GetDirectoryContents", [&] { text(q->GetDirectoryContents(tEmpty, 1, 1, &result), result); });
    call("IsDirectoryName", [&] { q->IsDirectoryName(tDir, &flag); });
    call("IsDirectoryName", [&] { q->IsDirectoryName(tMissing, &flag); });
    call("IsEmptyDirectory", [&] { q->IsEmptyDirectory(tDir, &flag); });
    call("IsEmptyDirectory", [&] { q->IsEmptyDirectory(tMissing, &flag); });
    call("FindFileOrDirectory", [&] { text(q->FindFileOrDirectory(tRoot, tStar, &result), result); });
    call("FindFileOrDirectory", [&] { text(q->FindFileOrDirectory(tRefused, tStar, &result), result); });
    call("DeleteFile", [&] { q->DeleteFile(tC); });
    call("DeleteFile", [&] { q->DeleteFile(tMissing); });
    call("DeleteDirectory", [&] { q->DeleteDirectory(tDir, 1, 1); });
    call("DeleteDirectory", [&] { q->DeleteDirectory(tDir, 0, 0); });

    call("CreateRegistryKey", [&] { q->CreateRegistryKey(QV_KEY_CURRENT_USER, tKey, tValue, data, QV_REG_SZ); });
    call("CreateRegistryKey", [&] { q->CreateRegistryKey(QV_KEY_CURRENT_USER, tKey, tNumber, tDigits, QV_REG_DWORD); });
    call("CreateRegistryKey", [&] { q->CreateRegistryKey(QV_KEY_CURRENT_USER, tSubKey, tValue, data, QV_REG_SZ); });
    call("CreateRegistryKey", [&] { q->CreateRegistryKey(static_cast<lKEY_NAME>(-1), tKey, tValue, data, QV_REG_SZ); });
    call("ReadRegistryStringData",
         [&] { text(q->ReadRegistryStringData(QV_KEY_CURRENT_USER, tKey, tValue, &result), result); });
    call("ReadRegistryStringData",
         [&] { text(q->ReadRegistryStringData(QV_KEY_CURRENT_USER, tKey, tMissing, &result), result); });
    call("ReadRegistryNumericData", [&] { q->ReadRegistryNumericData(QV_KEY_CURRENT_USER, tKey, tNumber, &number); });
    call("ReadRegistryNumericData", [&] { q->ReadRegistryNumericData(QV_KEY_CURRENT_USER, tKey, tValue, &number); });
    call("GetSubKeyCount", [&] { q->GetSubKeyCount(QV_KEY_CURRENT_USER, tKey, &number); });
    call("GetSubKeyCount", [&] { q->GetSubKeyCount(QV_KEY_CURRENT_USER, tMissing, &number); });
    call("GetRegSubKeyName", [&] { text(q->GetRegSubKeyName(QV_KEY_CURRENT_USER, tKey, 0, &result), result); });
    call("GetRegSubKeyName", [&] { text(q->GetRegSubKeyName(QV_KEY_CURRENT_USER, tKey, 9, &result), result); });
    call("DeleteRegistryValue", [&] { q->DeleteRegistryValue(QV_KEY_CURRENT_USER, tKey, tNumber); });
    call("DeleteRegistryValue", [&] { q->DeleteRegistryValue(QV_KEY_CURRENT_USER, tKey, tMissing); });
    call("DeleteRegistryKey", [&] { q->DeleteRegistryKey(QV_KEY_CURRENT_USER, tSubKey); });
    call("DeleteRegistryKey", [&] { q->DeleteRegistryKey(QV_KEY_CURRENT_USER, tSubKey); });

    call("MapNetworkDrive", [&] { text(q->MapNetworkDrive(tServer, tKey, tValue, tValue, tValue, &result), result); });
    call("MapNetworkDrive", [&] { text(q->MapNetworkDrive(tEmpty, tKey, tValue, tValue, tValue, &result), result); });
    call("GetScriptPath", [&] { text(q->GetScriptPath(&result), result); });
    call("GetWorkstationName", [&] { text(q->GetWorkstationName(&result), result); });
    call("StartOrmik", [&] { q->StartOrmik(); });
    call("BrowseAllDrives", [&] { text(q->BrowseAllDrives(tTitle, &result), result); });
    call("BrowseAllDrives", [&] { text(q->BrowseAllDrives(tEmpty, &result), result); });
    ::SetErrorInfo(0, nullptr);
    return calls;
}

ProcessFigures MeasureProcess() {
    ProcessFigures figures = {};
    // Wine's GetProcessHandleCount answers 0; the system's process list has
    // the real count.
    using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    while (query && query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0 &&
           buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    const DWORD self = ::GetCurrentProcessId();
    for (size_t at = 0; query;) {
        const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
        if (reinterpret_cast<ULONG_PTR>(process->UniqueProcessId) == self) {
            figures.handles = process->HandleCount;
            break;
        }
        if (!process->NextEntryOffset) break;
        at += process->NextEntryOffset;
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory)) figures.privateBytes = memory.PagefileUsage;
    figures.gdiObjects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    figures.userObjects = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    return figures;
}
