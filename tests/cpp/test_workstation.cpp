// The workstation operations where the system must be made to fail: the
// version, the sockets layer, the script host's start, the helper's start
// and the dialog's calls; and the exact command each program is given.
#include "tests/cpp/support.h"
#include <cerrno>
#include <cstring>
#include <cwchar>

namespace {

const wchar_t kHandshake[] = L"Software\\QVFileIOWorkstationTest";
const char kHandshakeAnsi[] = "Software\\QVFileIOWorkstationTest";

// The settings file names a script; the start of the host is recorded and
// answered as the test says.
struct Host {
    static std::string program, command;
    static intptr_t status;
    static int error;
    static DWORD WINAPI Profile(LPCWSTR section, LPCWSTR key, LPCWSTR, LPWSTR out, DWORD size, LPCWSTR) {
        const std::wstring text = wcscmp(section, L"QVANE") == 0 ? Bstr(script).str() : L"";
        return static_cast<DWORD>(swprintf(out, size, L"%ls", text.c_str()));
    }
    static intptr_t __cdecl Spawn(int, const wchar_t* path, const wchar_t* const* arguments) {
        program = AnsiOf(path), command = AnsiOf(arguments[0]);
        errno = error;
        return status;
    }
    static std::string script;
};
std::string Host::program, Host::command, Host::script;
intptr_t Host::status;
int Host::error;

DWORD WINAPI ThrowingProfile(LPCWSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD, LPCWSTR) { throw std::bad_alloc(); }
BOOL WINAPI NoVersion(LPOSVERSIONINFOA) { return ::SetLastError(ERROR_INVALID_PARAMETER), FALSE; }
BOOL WINAPI Windows98(LPOSVERSIONINFOA info) { return info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS, TRUE; }
UINT WINAPI LongWindowsDirectory(LPWSTR out, UINT size) {
    return static_cast<UINT>(swprintf(out, size, L"C:\\%ls", std::wstring(240, L'w').c_str()));
}

class WorkstationTest : public QVFileIOTest {
protected:
    void TearDown() override {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kHandshakeAnsi);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Quorvane");  // the helper's settings
        QVFileIOTest::TearDown();
    }
    HRESULT Map(BSTR* drive) {
        return object->MapNetworkDrive(Bstr(L"\\\\server\\share"), Bstr(kHandshake), Bstr(L"Path"), Bstr(L"Drive"),
                                       Bstr(L"Success"), drive);
    }
    std::wstring Description() { return TakeErrorInfo().description; }
    ScopedWin32Override<decltype(win32.GetPrivateProfileStringW)> profile{win32.GetPrivateProfileStringW, &Host::Profile};
    ScopedWin32Override<decltype(win32.wspawnv)> spawn{win32.wspawnv, &Host::Spawn};
};

TEST_F(WorkstationTest, ScriptHostIsGivenBothPathsQuotedWhole) {
    char windows[MAX_PATH], system[MAX_PATH];
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    ::GetSystemDirectoryA(system, MAX_PATH);
    Host::script = "map.vbs", Host::status = 0, Host::error = 0;
    BSTR drive = nullptr;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), Map(&drive)) << "the script wrote no success value";
    const std::string host = std::string(system) + "\\wscript.exe";
    EXPECT_EQ(host, Host::program);
    EXPECT_EQ("\"" + host + "\" \"" + windows + "\\downloaded program files\\map.vbs\"", Host::command);

    // The Windows 9x family keeps its script host in the Windows directory;
    // a version that cannot be read counts as the NT family, with a record.
    {
        ScopedWin32Override<decltype(win32.GetVersionExA)> version(win32.GetVersionExA, &Windows98);
        Map(&drive);
        EXPECT_EQ(std::string(windows) + "\\wscript.exe", Host::program);
    }
    DeleteLog();
    ScopedWin32Override<decltype(win32.GetVersionExA)> version(win32.GetVersionExA, &NoVersion);
    Map(&drive);
    EXPECT_EQ(host, Host::program);
    const std::vector<LogRecord> log = ReadLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("0", log[0].hresult);
    EXPECT_EQ(std::vector<std::string>{"lpVersionInfo: Failed to get the OS version info..  using NT platform as default"},
              log[0].pieces);
}

TEST_F(WorkstationTest, StartFailuresByErrorNumber) {
    Host::script = "map.vbs", Host::status = -1;
    const struct {
        int error;
        const char* message;
    } cases[] = {
        {ENOENT, "Spawning Error: File or path is not found"},
        {E2BIG, "Spawning Error: Argument list exceeds 1024 bytes"},
        {ENOEXEC, "Spawning Error: Specified file is not executable or has invalid executable-file format"},
        {ENOMEM, "Spawning Error: Not enough memory is available to execute new process"},
        {EINVAL, "Spawning Error: Mode argument is invalid"},
        {EACCES, "Spawning Error: An unspecified error occurred while trying to spawn the application"},
    };
    for (const auto& c : cases) {
        Host::error = c.error;
        DeleteLog();
        BSTR drive = nullptr;
        EXPECT_EQ(E_FAIL, Map(&drive));
        EXPECT_EQ(nullptr, drive);
        EXPECT_EQ(L"Failed to map the network drive", Description());
        EXPECT_EQ((std::vector<std::string>{"80004005 szWinScriptHostPath: " + Host::program,
                                            "80004005   szScriptCmd: " + Host::command,
                                            std::string("80004005 Error: ") + c.message,
                                            "80004005 Error: Failed to map the network drive"}),
                  LogLines());
    }
    // An exit status that is negative cannot be told from a failed start.
    Host::status = -5, Host::error = 0;
    BSTR drive = nullptr;
    EXPECT_EQ(E_FAIL, Map(&drive));
}

TEST_F(WorkstationTest, PathsTooLongAreRefusedNotCut) {
    Host::status = 0, Host::error = 0;
    Host::program.clear();
    Host::script = std::string(259, 's');  // a longer name is cut to this by the settings file
    BSTR drive = nullptr;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), Map(&drive));
    EXPECT_EQ(L"The mapping script's path is too long", Description());
    Host::script = "map.vbs";
    ScopedWin32Override<decltype(win32.GetWindowsDirectoryW)> windows(win32.GetWindowsDirectoryW, &LongWindowsDirectory);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), Map(&drive));
    EXPECT_EQ(L"The Windows directory is too long for the script's paths", Description());
    EXPECT_EQ("", Host::program) << "nothing was started";
}

// Sockets that cannot be had in version 2.2 leave the name unwritten.
int cleanups;
int WINAPI NoSockets(WORD, LPWSADATA) { return WSASYSNOTREADY; }
int WINAPI OldSockets(WORD, LPWSADATA data) { return data->wVersion = MAKEWORD(1, 1), 0; }
int WINAPI CountCleanup() { return ++cleanups, 0; }

TEST_F(WorkstationTest, ScriptPathOutOfMemoryIsRecordedAndDescribed) {
    ScopedWin32Override<decltype(win32.GetPrivateProfileStringW)> fake(win32.GetPrivateProfileStringW, &ThrowingProfile);
    Bstr path;
    EXPECT_EQ(E_OUTOFMEMORY, object->GetScriptPath(path.put()));
    EXPECT_TRUE(path.null());
    EXPECT_EQ(L"Not enough memory to complete the operation", TakeErrorInfo().description);
    EXPECT_EQ((std::vector<std::string>{"8007000E bstrData: Not enough memory to complete the operation"}), LogLines());
}

TEST_F(WorkstationTest, HostNameNeedsSocketsTwoTwo) {
    Bstr name;
    ASSERT_EQ(S_OK, object->GetWorkstationName(name.put()));
    char expected[256] = {};
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    ::gethostname(expected, sizeof expected);
    ::WSACleanup();
    EXPECT_EQ(Bstr(std::string(expected)).str(), name.str());

    ScopedWin32Override<decltype(win32.WSACleanup)> cleanup(win32.WSACleanup, &CountCleanup);
    for (auto start : {&NoSockets, &OldSockets}) {
        ScopedWin32Override<decltype(win32.WSAStartup)> fake(win32.WSAStartup, start);
        cleanups = 0;
        BSTR sentinel = reinterpret_cast<BSTR>(0x1234), out = sentinel;
        EXPECT_EQ(S_OK, object->GetWorkstationName(&out));
        EXPECT_EQ(sentinel, out);
        EXPECT_EQ(start == &OldSockets ? 1 : 0, cleanups) << "a started layer is cleaned up";
    }
}

// The helper's start: names, flags and command recorded, handles real so
// that their closing can be seen.
struct Start {
    static DWORD flags, error;
    static std::wstring application, command;
    static HANDLE process, thread;
    static BOOL WINAPI Create(LPCWSTR name, LPWSTR line, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD f,
                              LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION info) {
        application = name ? name : L"(none)", command = line, flags = f;
        if (error) return ::SetLastError(error), FALSE;
        info->hProcess = process = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        info->hThread = thread = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        return TRUE;
    }
};
DWORD Start::flags, Start::error;
std::wstring Start::application, Start::command;
HANDLE Start::process, Start::thread;

TEST_F(WorkstationTest, HelperIsStartedByItsFullNameDetached) {
    wchar_t windows[MAX_PATH];
    const DWORD length = ::GetWindowsDirectoryW(windows, MAX_PATH), on = 1;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Quorvane\\Tolvex", L"OrmikStart",
                                               REG_DWORD, &on, sizeof on));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Quorvane\\Portline", L"InstallPath",
                                               REG_SZ, windows, (length + 1) * sizeof *windows));
    ScopedWin32Override<decltype(win32.CreateProcessW)> fake(win32.CreateProcessW, &Start::Create);
    Start::error = 0;
    EXPECT_EQ(S_OK, object->StartOrmik());
    EXPECT_EQ(std::wstring(windows) + L"\\Ormik.exe", Start::application) << "named in full, never searched for";
    EXPECT_EQ(L"\"" + Start::application + L"\" /NOMSG", Start::command);
    EXPECT_EQ(static_cast<DWORD>(DETACHED_PROCESS), Start::flags);
    EXPECT_FALSE(::CloseHandle(Start::process)) << "the process handle was closed";
    EXPECT_FALSE(::CloseHandle(Start::thread)) << "the thread handle was closed";

    Start::error = ERROR_ACCESS_DENIED;
    DeleteLog();
    EXPECT_EQ(S_OK, object->StartOrmik()) << "a failed start is only logged";
    EXPECT_EQ((std::vector<std::string>{"0 OrmikStart: GetLastError returned 5", "0 Error: CreateProcess:Ormik"}), LogLines());
    EXPECT_FALSE(TakeErrorInfo().present);
}

// The dialog's calls, answered by the test.
struct Dialog {
    static PIDLIST_ABSOLUTE item;
    static const char* displayName;
    static BOOL pathFound;
    static HRESULT init, malloc;
    static PIDLIST_ABSOLUTE WINAPI Browse(LPBROWSEINFOW info) {
        if (displayName) wcscpy(info->pszDisplayName, Bstr(std::string(displayName)).str().c_str());
        return item;
    }
    static BOOL WINAPI Path(PCIDLIST_ABSOLUTE, LPWSTR path) { return path[0] = L'\0', pathFound; }
    // A success is the real call, so that the product's CoUninitialize is balanced.
    static HRESULT WINAPI Init(LPVOID reserved) { return FAILED(init) ? init : ::CoInitialize(reserved); }
    static HRESULT WINAPI Malloc(IMalloc** allocator) { return SUCCEEDED(malloc) ? ::SHGetMalloc(allocator) : malloc; }
};
PIDLIST_ABSOLUTE Dialog::item;
const char* Dialog::displayName;
BOOL Dialog::pathFound;
HRESULT Dialog::init, Dialog::malloc;

TEST_F(WorkstationTest, DialogAnswersWithoutAWindow) {
    ScopedWin32Override<decltype(win32.SHBrowseForFolderW)> browse(win32.SHBrowseForFolderW, &Dialog::Browse);
    ScopedWin32Override<decltype(win32.SHGetPathFromIDListW)> path(win32.SHGetPathFromIDListW, &Dialog::Path);
    ScopedWin32Override<decltype(win32.CoInitialize)> init(win32.CoInitialize, &Dialog::Init);
    ScopedWin32Override<decltype(win32.SHGetMalloc)> malloc(win32.SHGetMalloc, &Dialog::Malloc);
    Dialog::init = S_FALSE, Dialog::malloc = S_OK;
    auto choose = [&](BSTR* out) { return object->BrowseAllDrives(Bstr(L"Pick"), out); };

    Dialog::item = nullptr;  // cancelled
    Bstr cancelled;
    EXPECT_EQ(S_OK, choose(cancelled.put()));
    EXPECT_FALSE(cancelled.null()) << "an empty string, not none";
    EXPECT_EQ(L"", cancelled.str());

    // An item that is not a file-system folder: "\\" and its display name.
    ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &Dialog::item);
    Dialog::displayName = "My Computer", Dialog::pathFound = FALSE;
    Bstr computer;
    EXPECT_EQ(S_OK, choose(computer.put()));
    EXPECT_EQ(L"\\\\My Computer", computer.str());

    // A path that comes back empty is no failure, only a record.
    ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &Dialog::item);
    Dialog::pathFound = TRUE;
    DeleteLog();
    Bstr empty;
    EXPECT_EQ(S_OK, choose(empty.put()));
    EXPECT_EQ(L"", empty.str());
    EXPECT_EQ(std::vector<std::string>{"0 bstrPath: No path was chosen from the dialog"}, LogLines());

    const struct {
        HRESULT init, malloc;
        std::string first;
        const wchar_t* description;
    } failures[] = {
        {E_OUTOFMEMORY, S_OK, "80004005 Error: Failed to CoInitialize COM", L"Failed to CoInitialize COM"},
        {S_OK, E_OUTOFMEMORY, "80004005 lpMalloc: Failed to get the shell's allocater",
         L"Failed to get the shell's allocater"},
    };
    for (const auto& f : failures) {
        Dialog::init = f.init, Dialog::malloc = f.malloc;
        DeleteLog();
        BSTR sentinel = reinterpret_cast<BSTR>(0x1234), out = sentinel;
        EXPECT_EQ(E_FAIL, choose(&out));
        EXPECT_EQ(sentinel, out);
        EXPECT_EQ(f.description, Description());
        const std::vector<std::string> lines = LogLines();
        ASSERT_EQ(2u, lines.size());
        EXPECT_EQ(f.first, lines[0]);
    }
}

}  // namespace
