// CreateFile, WriteToExistingFile, Write and Append where the system must be
// made to fail on purpose: exact free-space figures, failing closes, seeks,
// truncations, writes and attribute writes, and the order of the records
// that nested failures leave.
#include "tests/cpp/support.h"
#include "platform/text.h"

namespace {

using Records = std::vector<std::string>;

// The free bytes that GetDiskFreeSpaceW reports, or its error.
struct FreeSpace {
    static DWORD bytes, error;
    static BOOL WINAPI Query(LPCWSTR, LPDWORD sectors, LPDWORD sectorBytes, LPDWORD clusters, LPDWORD total) {
        if (error) {
            ::SetLastError(error);
            return FALSE;
        }
        *sectors = 1, *sectorBytes = 1, *clusters = bytes, *total = bytes;
        return TRUE;
    }
};
DWORD FreeSpace::bytes, FreeSpace::error;

// Which call of a faked function fails (1 = the first), and with what error.
struct Failing {
    static int call, failOn;
    static DWORD error;
    static bool Now() { return ++call == failOn; }
    static void Arm(int n, DWORD e) { call = 0, failOn = n, error = e; }
};
int Failing::call, Failing::failOn;
DWORD Failing::error;

// The handles that the product opens on the file under test and on the new
// file beside it that would replace it, so that a fake WriteFile fails there
// and nowhere else: the error log writes through the same calls.
struct Target {
    static std::string path;
    static HANDLE handle, beside;
    static bool Watched(HANDLE file) { return file == handle || file == beside; }
    // A watched handle was closed and its value given to another file.
    static void Forget(HANDLE reused) {
        if (reused == handle) handle = INVALID_HANDLE_VALUE;
        if (reused == beside) beside = INVALID_HANDLE_VALUE;
    }
    static HANDLE WINAPI Open(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                              DWORD flags, HANDLE templ) {
        const HANDLE opened = ::CreateFileW(name, access, share, sa, disposition, flags, templ);
        Forget(opened);
        if (path == AnsiOf(name)) handle = opened;
        if (disposition == CREATE_NEW) beside = opened;
        return opened;
    }
    // The error log opens its file by its ANSI name: a value of ours reused.
    static HANDLE WINAPI OpenLog(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                                 DWORD flags, HANDLE templ) {
        const HANDLE opened = ::CreateFileA(name, access, share, sa, disposition, flags, templ);
        Forget(opened);
        return opened;
    }
    static BOOL WINAPI FailWrite(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped) {
        if (!Watched(file)) return ::WriteFile(file, data, length, written, overlapped);
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    static BOOL WINAPI ShortWrite(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped) {
        return ::WriteFile(file, data, Watched(file) ? length / 2 : length, written, overlapped);
    }
    // The n-th write on the file takes half of its bytes and fails, as on
    // a full disk; with `thenFail` every later write fails outright.
    static int writes, failOn;
    static bool thenFail;
    static BOOL WINAPI PartialWrite(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped) {
        if (!Watched(file) || ++writes < failOn || (writes > failOn && !thenFail))
            return ::WriteFile(file, data, length, written, overlapped);
        if (writes > failOn) length = 0;
        ::WriteFile(file, data, length / 2, written, overlapped);
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    static BOOL WINAPI ThrowOnWrite(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped) {
        if (Watched(file)) throw std::bad_alloc();
        return ::WriteFile(file, data, length, written, overlapped);
    }
};
std::string Target::path;
HANDLE Target::handle, Target::beside;
int Target::writes, Target::failOn;
bool Target::thenFail;

// Every CreateFileW of the file under test, and of the new file made
// beside it, is watched for the life of this.
struct WatchTarget {
    explicit WatchTarget(const std::string& file)
        : open(win32.CreateFileW, &Target::Open), openLog(win32.CreateFileA, &Target::OpenLog) {
        Target::path = file;
        Target::handle = Target::beside = INVALID_HANDLE_VALUE;
    }
    ScopedWin32Override<decltype(win32.CreateFileW)> open;
    ScopedWin32Override<decltype(win32.CreateFileA)> openLog;
};

// No new file may be made beside the file, so a replacing write goes in
// place, as the tests of the put-back need. Every other open goes to the
// entry this one replaced (a watch, say).
struct InPlaceOnly {
    static decltype(win32.CreateFileW) previous;
    static HANDLE WINAPI Open(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                              DWORD flags, HANDLE templ) {
        if (disposition != CREATE_NEW) return previous(name, access, share, sa, disposition, flags, templ);
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // The entry is read before this one takes its place.
    ScopedWin32Override<decltype(win32.CreateFileW)> closed{win32.CreateFileW, (previous = win32.CreateFileW, &Open)};
};
decltype(win32.CreateFileW) InPlaceOnly::previous;

class WritingTest : public QVFileIOTest {
protected:
    // pieces of each record, in order
    static std::vector<Records> Pieces() {
        std::vector<Records> all;
        for (const LogRecord& record : ReadLog()) all.push_back(record.pieces);
        return all;
    }
    static std::vector<std::string> Results() {
        std::vector<std::string> all;
        for (const LogRecord& record : ReadLog()) all.push_back(record.hresult);
        return all;
    }
    // No handle of ours is left on the file: an exclusive open succeeds.
    static bool Released(const std::string& path) {
        unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.valid();
    }
    static Records NotFound(const std::string& path) { return {"bstrFullpath: " + path, "Error: File not found"}; }
    std::wstring Description() { return TakeErrorInfo().description; }

    ScratchDir dir;
};

TEST_F(WritingTest, CreationNeedsMoreThan128000FreeBytes) {
    ScopedWin32Override<decltype(win32.GetDiskFreeSpaceW)> fake(win32.GetDiskFreeSpaceW, &FreeSpace::Query);
    FreeSpace::error = 0;
    const std::string newDir = dir / "new", file = newDir + "\\a.txt";

    // The missing directory.
    FreeSpace::bytes = 128000;
    EXPECT_EQ(E_ABORT, object->Write(Bstr(L"x"), Bstr(file), 1, 1, 0));
    EXPECT_EQ(L"Not enough disk space", Description());
    EXPECT_EQ((std::vector<Records>{NotFound(newDir), {"bstrPath: Not enough disk space"},
                                    {"stdstrFullPath: Not enough disk space"}}),
              Pieces());
    EXPECT_EQ((Records{"80070002", "80004004", "80004004"}), Results());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(newDir.c_str()));

    // One byte more: the directory, then the missing file, are created.
    FreeSpace::bytes = 128001;
    DeleteLog();
    EXPECT_EQ(S_OK, object->Append(Bstr(L"x"), Bstr(file), 1, 1, 0));
    EXPECT_EQ("x", ReadBytes(file));
    // Only the answers "missing" of the inner queries are logged.
    EXPECT_EQ((std::vector<Records>{NotFound(newDir), NotFound(file), NotFound(file)}), Pieces());

    // The missing file in an existing directory.
    const std::string second = newDir + "\\b.txt";
    FreeSpace::bytes = 128000;
    DeleteLog();
    EXPECT_EQ(E_ABORT, object->Append(Bstr(L"x"), Bstr(second), 1, 0, 0));
    EXPECT_EQ((std::vector<Records>{NotFound(second), {"bstrFullPath: Not enough disk space"},
                                    {"stdstrFullPath: Not enough disk space"}}),
              Pieces());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(second.c_str()));
    FreeSpace::bytes = 128001;
    EXPECT_EQ(S_OK, object->Write(Bstr(L"y"), Bstr(second), 1, 0, 0));
    EXPECT_EQ("y", ReadBytes(second));
}

TEST_F(WritingTest, WriteNeedsMoreFreeBytesThanTheData) {
    ScopedWin32Override<decltype(win32.GetDiskFreeSpaceW)> fake(win32.GetDiskFreeSpaceW, &FreeSpace::Query);
    FreeSpace::error = 0;
    const std::string file = dir / "a.txt";
    WriteBytes(file, "old");
    // Five bytes: "caf" and e-acute are one byte each in the ANSI code page,
    // and the character it lacks becomes one '?'.
    const Bstr data(L"caf\xe9\x4e00");
    FreeSpace::bytes = 5;
    EXPECT_EQ(E_ABORT, object->WriteToExistingFile(data, Bstr(file), 0, 0));
    EXPECT_EQ(L"Not enough disk space", Description());
    EXPECT_EQ((std::vector<Records>{{"bstrFullPath: Not enough disk space"}}), Pieces());
    EXPECT_EQ("old", ReadBytes(file));
    FreeSpace::bytes = 6;
    EXPECT_EQ(S_OK, object->WriteToExistingFile(data, Bstr(file), 0, 0));
    EXPECT_EQ("caf\xe9?", ReadBytes(file));

    // A query that fails: its own record, then this one.
    DeleteLog();
    FreeSpace::error = ERROR_INVALID_DRIVE;
    EXPECT_EQ(HRESULT(0x8007000F), object->WriteToExistingFile(data, Bstr(file), 1, 0));
    const std::string root = file.substr(0, 1) + ":\\";
    EXPECT_EQ((std::vector<Records>{{"szDrive: " + root, "Error: Failed to determine disk space"},
                                    {"bstrFullPath: Failed to determine disk space"}}),
              Pieces());
}

TEST_F(WritingTest, FailingCloseIsReported) {
    ScopedWin32Override<decltype(win32.CloseHandle)> failing(
        win32.CloseHandle, [](HANDLE handle) __attribute__((stdcall)) -> BOOL {
            ::CloseHandle(handle);  // released all the same
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        });
    const std::string created = dir / "created.txt";
    EXPECT_EQ(HRESULT(0x80070006), object->CreateFile(Bstr(created), 1, 0));
    EXPECT_EQ(L"Failed to close the file", Description());
    EXPECT_EQ((std::vector<Records>{NotFound(created), {"bstrFullPath: " + created, "Error: Failed to close the file"}}),
              Pieces());
    EXPECT_TRUE(Released(created));

    DeleteLog();
    EXPECT_EQ(HRESULT(0x80070006), object->WriteToExistingFile(Bstr(L"data"), Bstr(created), 0, 0));
    EXPECT_EQ((std::vector<Records>{{"bstrFullPath: " + created, "Error: Failed to close the file"}}), Pieces());
    EXPECT_EQ("data", ReadBytes(created));
    EXPECT_TRUE(Released(created));
}

TEST_F(WritingTest, FailingSeekTruncationAndWriteReleaseTheHandle) {
    const std::string file = dir / "a.txt";
    {
        ScopedWin32Override<decltype(win32.SetFilePointer)> failing(
            win32.SetFilePointer, [](HANDLE, LONG, PLONG, DWORD) __attribute__((stdcall)) -> DWORD {
                ::SetLastError(ERROR_NEGATIVE_SEEK);
                return INVALID_SET_FILE_POINTER;
            });
        WriteBytes(file, "old");
        EXPECT_EQ(HRESULT(0x80070083), object->WriteToExistingFile(Bstr(L"new"), Bstr(file), 1, 0));
        EXPECT_EQ(L"Failed to set the file pointer", Description());
        EXPECT_EQ((std::vector<Records>{{"szDirPath: " + file, "Error: Failed to set the file pointer"}}), Pieces());
        EXPECT_EQ("old", ReadBytes(file));
        EXPECT_TRUE(Released(file));
    }
    {
        // Only a file written in place needs a new end.
        InPlaceOnly inPlace;
        ScopedWin32Override<decltype(win32.SetEndOfFile)> failing(
            win32.SetEndOfFile, [](HANDLE) __attribute__((stdcall)) -> BOOL {
                ::SetLastError(ERROR_DISK_FULL);
                return FALSE;
            });
        DeleteLog();
        // A text shorter than the file: only a shorter file needs a new end.
        EXPECT_EQ(HRESULT(0x80070070), object->WriteToExistingFile(Bstr(L"ne"), Bstr(file), 0, 0));
        EXPECT_EQ(L"Failed to set the file pointer to the end of file", Description());
        EXPECT_EQ((std::vector<Records>{{"bstrFullpath: " + file, "Error: Failed to set the file pointer to the end of file"}}),
                  Pieces());
        EXPECT_EQ("old", ReadBytes(file));
        EXPECT_TRUE(Released(file));
    }
    {
        WatchTarget watch(file);
        ScopedWin32Override<decltype(win32.WriteFile)> failing(win32.WriteFile, &Target::FailWrite);
        DeleteLog();
        EXPECT_EQ(HRESULT(0x80070070), object->WriteToExistingFile(Bstr(L"new"), Bstr(file), 0, 0));
        EXPECT_EQ(L"Failed to write to the file", Description());
        EXPECT_EQ((std::vector<Records>{{"bstrFullpath: " + file, "Error: Failed to write to the file"}}), Pieces());
        EXPECT_EQ("old", ReadBytes(file)) << "the old content is given up only for the new one";
        EXPECT_TRUE(Released(file));
    }
}

// A write in place that fails part-way leaves the file as it was, read-only
// again: an append takes one write; a longer text two, the part beyond the
// old end first. When putting back fails too, the caller gets the write's
// failure and the log has the put-back's record first.
TEST_F(WritingTest, FailedWriteLeavesTheFileAsItWas) {
    const std::string file = dir / "a.txt";
    const struct {
        VARIANT_BOOL append;
        const wchar_t* data;
        int failOn;
        bool thenFail;
        const char* left;
    } cases[] = {{1, L"0123456789", 1, false, "old text"}, {0, L"0123456789", 1, false, "old text"},
                 {0, L"0123456789", 2, false, "old text"}, {0, L"0123", 1, false, "old text"},
                 {0, L"0123456789", 2, true, "0123text"}};
    for (const auto& c : cases) {
        WriteBytes(file, "old text");
        ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
        WatchTarget watch(file);
        InPlaceOnly inPlace;
        ScopedWin32Override<decltype(win32.WriteFile)> failing(win32.WriteFile, &Target::PartialWrite);
        Target::writes = 0, Target::failOn = c.failOn, Target::thenFail = c.thenFail;
        DeleteLog();
        EXPECT_EQ(HRESULT(0x80070070), object->WriteToExistingFile(Bstr(c.data), Bstr(file), c.append, 1));
        EXPECT_EQ(L"Failed to write to the file", Description());
        std::vector<Records> expected{{"bstrFullpath: " + file, "Error: Failed to write to the file"}};
        if (c.thenFail) expected.insert(expected.begin(), {"szDirPath: " + file, "Error: Failed to put the file back as it was"});
        EXPECT_EQ(expected, Pieces()) << c.failOn;
        EXPECT_EQ(c.left, ReadBytes(file)) << c.failOn;
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY), ::GetFileAttributesA(file.c_str()) & ~DWORD(FILE_ATTRIBUTE_ARCHIVE));
        ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// A write that takes fewer bytes than asked, yet reports success, must not
// pass for a complete one.
TEST_F(WritingTest, ShortWriteIsAFailure) {
    const std::string file = dir / "a.txt";
    WatchTarget watch(file);
    ScopedWin32Override<decltype(win32.WriteFile)> shortWrite(win32.WriteFile, &Target::ShortWrite);
    WriteBytes(file, "");
    EXPECT_EQ(HRESULT(0x80070070), object->WriteToExistingFile(Bstr(L"abcdef"), Bstr(file), 1, 0));
    EXPECT_EQ(L"Failed to write to the file", Description());
    EXPECT_EQ((std::vector<Records>{{"bstrFullpath: " + file, "Error: Failed to write to the file"}}), Pieces());
    EXPECT_TRUE(Released(file));
}

TEST_F(WritingTest, AttributesRestoredOrTheFailureReported) {
    ScopedWin32Override<decltype(win32.SetFileAttributesW)> failing(
        win32.SetFileAttributesW, [](LPCWSTR path, DWORD attributes) __attribute__((stdcall)) -> BOOL {
            if (!Failing::Now()) return ::SetFileAttributesW(path, attributes);
            ::SetLastError(Failing::error);
            return FALSE;
        });
    const std::string file = dir / "a.txt";
    WriteBytes(file, "old");
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN));

    // Without the read-only flag the only attribute write is the restore.
    Failing::Arm(1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(E_ACCESSDENIED, object->WriteToExistingFile(Bstr(L"one"), Bstr(file), 0, 0));
    EXPECT_EQ(L"Failed to set the file attribute(s)", Description());
    EXPECT_EQ((std::vector<Records>{{"szDirPath: " + file, "Error: Failed to set the file attribute(s)"}}), Pieces());
    EXPECT_EQ("one", ReadBytes(file));

    // With it, the clear comes first; the second write is the restore.
    DeleteLog();
    Failing::Arm(2, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(HRESULT(0x80070020), object->WriteToExistingFile(Bstr(L"two"), Bstr(file), 1, 1));
    EXPECT_EQ((std::vector<Records>{{"szDirPath: " + file, "Error: Failed to set the file attribute(s)"}}), Pieces());
    EXPECT_EQ("onetwo", ReadBytes(file));
    EXPECT_EQ(0u, ::GetFileAttributesA(file.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY))
        << "cleared, not restored";

    // The clear fails: its worker's record, its own, then this operation's.
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    DeleteLog();
    Failing::Arm(1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(E_ACCESSDENIED, object->WriteToExistingFile(Bstr(L"three"), Bstr(file), 1, 1));
    EXPECT_EQ(L"Failed to clear the file attributes", Description());
    EXPECT_EQ((std::vector<Records>{{"szDirPath: " + file, "Error: Failed to set the file attribute(s)"},
                                    {"bstrFullPath: Failed to set the file attribute(s)"},
                                    {"szDirPath: " + file, "Error: Failed to clear the file attributes"}}),
              Pieces());
    EXPECT_EQ("onetwo", ReadBytes(file));

    // A successful write puts the saved attributes back.
    Failing::Arm(0, 0);
    EXPECT_EQ(S_OK, object->WriteToExistingFile(Bstr(L"four"), Bstr(file), 0, 1));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_HIDDEN), ::GetFileAttributesA(file.c_str()) & ~DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ("four", ReadBytes(file));
}

// Inner records first, the worker's next, the wrapper's "stdstrFullPath: "
// last; the caller's description is the outermost message.
TEST_F(WritingTest, NestedFailuresAreRecordedInnermostFirst) {
    const std::string file = dir / "a.txt";
    WriteBytes(file, "kept");
    {
        ScopedWin32Override<decltype(win32.CreateFileW)> denied(
            win32.CreateFileW,
            [](LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition, DWORD flags,
               HANDLE templ) __attribute__((stdcall)) -> HANDLE {
                if (access & GENERIC_WRITE) {
                    ::SetLastError(ERROR_ACCESS_DENIED);
                    return INVALID_HANDLE_VALUE;
                }
                return ::CreateFileW(path, access, share, sa, disposition, flags, templ);
            });
        EXPECT_EQ(E_ACCESSDENIED, object->Append(Bstr(L"more"), Bstr(file), 0, 0, 0));
        EXPECT_EQ(L"Access denied", Description());
        EXPECT_EQ((std::vector<Records>{{"szDirPath: " + file, "Error: Access denied"},
                                        {"bstrFullPath: Access denied"},
                                        {"stdstrFullPath: Access denied"}}),
                  Pieces());
        EXPECT_EQ((Records{"80070005", "80070005", "80070005"}), Results());

        // A file that cannot be created.
        const std::string created = dir / "created.txt";
        DeleteLog();
        EXPECT_EQ(E_ACCESSDENIED, object->Write(Bstr(L"x"), Bstr(created), 1, 0, 0));
        EXPECT_EQ(L"Failed to create the file", Description());
        EXPECT_EQ((std::vector<Records>{NotFound(created), NotFound(created),
                                        {"bstrFullpath: " + created, "Error: Access denied"},
                                        {"bstrFullPath: " + created, "Error: Failed to create the file"},
                                        {"stdstrFullPath: Failed to create the file"}}),
                  Pieces());
    }
    {
        WatchTarget watch(file);
        ScopedWin32Override<decltype(win32.WriteFile)> failing(win32.WriteFile, &Target::FailWrite);
        DeleteLog();
        EXPECT_EQ(HRESULT(0x80070070), object->Append(Bstr(L"more"), Bstr(file), 0, 0, 0));
        EXPECT_EQ(L"Failed to write to the file", Description());
        EXPECT_EQ((std::vector<Records>{{"bstrFullpath: " + file, "Error: Failed to write to the file"},
                                        {"bstrFullPath: Failed to write to the file"},
                                        {"stdstrFullPath: Failed to write to the file"}}),
                  Pieces());
        EXPECT_EQ("kept", ReadBytes(file));
    }
    {
        // Whatever CreateDir returns, the worker fails with E_FAIL.
        ScopedWin32Override<decltype(win32.CreateDirectoryW)> failing(
            win32.CreateDirectoryW, [](LPCWSTR, LPSECURITY_ATTRIBUTES) __attribute__((stdcall)) -> BOOL {
                ::SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            });
        const std::string newDir = dir / "new";
        DeleteLog();
        EXPECT_EQ(E_FAIL, object->Write(Bstr(L"x"), Bstr(newDir + "\\a.txt"), 1, 1, 0));
        EXPECT_EQ(L"Failed to create the directory", Description());
        EXPECT_EQ((std::vector<Records>{NotFound(newDir),
                                        {"szDirPath: " + newDir, "Error: Failed to create the directory"},
                                        {"bstrPath: Failed to create the directory"},
                                        {"stdstrFullPath: Failed to create the directory"}}),
                  Pieces());
        EXPECT_EQ((Records{"80070002", "80070005", "80004005", "80004005"}), Results());
    }
}

TEST_F(WritingTest, ExceptionsBecomeCatchAllRecords) {
    const std::string file = dir / "a.txt";
    WriteBytes(file, "kept");
    {
        WatchTarget watch(file);
        ScopedWin32Override<decltype(win32.WriteFile)> throwing(win32.WriteFile, &Target::ThrowOnWrite);
        EXPECT_EQ(E_FAIL, object->Write(Bstr(L"x"), Bstr(file), 0, 0, 0));
        EXPECT_EQ(L"Failed to write to the file", Description());
        EXPECT_EQ((std::vector<Records>{{"bstrFullpath: Failed to write to the file"},
                                        {"bstrFullPath: Failed to write to the file"},
                                        {"stdstrFullPath: Failed to write to the file"}}),
                  Pieces());
        EXPECT_TRUE(Released(file));
    }
    WriteBytes(file, "kept");
    {
        // Only the product's creation of the file throws, not the log's open.
        ScopedWin32Override<decltype(win32.CreateFileW)> throwing(
            win32.CreateFileW, [](LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                                  DWORD flags, HANDLE templ) __attribute__((stdcall)) -> HANDLE {
                if (disposition == CREATE_ALWAYS) throw std::bad_alloc();
                return ::CreateFileW(path, access, share, sa, disposition, flags, templ);
            });
        DeleteLog();
        EXPECT_EQ(E_FAIL, object->CreateFile(Bstr(file), 1, 0));
        EXPECT_EQ(L"Failed to create the file", Description());
        EXPECT_EQ((std::vector<Records>{{"bstrFullpath: Failed to create the file"}}), Pieces());
        EXPECT_EQ("kept", ReadBytes(file));
    }
}

TEST_F(WritingTest, EmptyDataAndNullPaths) {
    EXPECT_EQ(E_INVALIDARG, object->Append(nullptr, Bstr(dir / "a.txt"), 1, 1, 1));
    EXPECT_EQ(L"No data to write", Description());
    EXPECT_EQ((std::vector<Records>{{"bstrData: No data to write"}, {"stdstrFullPath: No data to write"}}), Pieces());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((dir / "a.txt").c_str()));

    // The data is tested before the path.
    DeleteLog();
    EXPECT_EQ(E_INVALIDARG, object->WriteToExistingFile(Bstr(L""), nullptr, 0, 0));
    EXPECT_EQ((std::vector<Records>{{"bstrData: No data to write"}}), Pieces());
    DeleteLog();
    EXPECT_EQ(E_INVALIDARG, object->WriteToExistingFile(Bstr(L"x"), nullptr, 0, 0));
    EXPECT_EQ((std::vector<Records>{{"bstrFullPath: Invalid path name"}}), Pieces());
    DeleteLog();
    EXPECT_EQ(E_INVALIDARG, object->CreateFile(nullptr, 1, 1));
    EXPECT_EQ(L"Invalid file name", Description());
    EXPECT_EQ((std::vector<Records>{{"bstrFullpath: Invalid file name"}}), Pieces());
}

// Every level passes the caller's text on as it came: the data still ends
// at its first NUL, whatever its length, and a text empty by then is
// refused with the file unchanged.
TEST_F(WritingTest, DataEndsAtItsFirstNul) {
    const std::string file = dir / "a.txt";
    const std::wstring nul(1, L'\0');
    const struct {
        std::wstring text;
        std::string bytes;  // on disk; none: refused
    } cases[] = {{L"", ""}, {L"x", "x"}, {L"ab" + nul + L"cd", "ab"}, {nul + L"cd", ""},
                 {std::wstring(50000000, L'z') + nul + L"tail", std::string(50000000, 'z')}};
    for (const auto& c : cases) {
        const Bstr text(c.text);
        for (int operation = 0; operation < 3; ++operation) {
            WriteBytes(file, "old");
            const HRESULT hr = operation == 0   ? object->Write(text, Bstr(file), 0, 0, 0)
                               : operation == 1 ? object->Append(text, Bstr(file), 0, 0, 0)
                                                : object->WriteToExistingFile(text, Bstr(file), 0, 0);
            EXPECT_EQ(c.bytes.empty() ? E_INVALIDARG : S_OK, hr) << operation << ", " << c.text.size();
            const std::string expected = c.bytes.empty() || operation == 1 ? "old" + c.bytes : c.bytes;
            EXPECT_TRUE(ReadBytes(file) == expected) << operation << ", " << c.text.size();
        }
    }
}

// In a double-byte code page the data's bytes are counted before they are
// converted: exactly those of the text up to its first NUL.
TEST(AnsiDataTest, BytesUpToTheFirstNul) {
    const UINT shiftJis = 932;
    CPINFO info;
    ASSERT_TRUE(::GetCPInfo(shiftJis, &info)) << "code page 932 is needed for this test";
    const AnsiData bytes(Bstr(std::wstring(L"a\x4e2d\x6587") + L'\0' + L"tail"), shiftJis);
    EXPECT_EQ(std::string("a\x92\x86\x95\xb6"), std::string(bytes.data(), bytes.size()));
    // A string whose length says less than its text holds is still read to its NUL.
    Bstr shortened(L"abcdef");
    UINT& prefix = reinterpret_cast<UINT*>(static_cast<BSTR>(shortened))[-1];
    prefix = 2 * sizeof(wchar_t);
    const AnsiData whole(shortened, 1252);
    prefix = 6 * sizeof(wchar_t);
    EXPECT_EQ("abcdef", std::string(whole.data(), whole.size()));
}

// Held open by another program sharing writing: refused as before, kept.
TEST_F(WritingTest, FileHeldOpenForWritingIsRefusedAndKept) {
    const std::string file = dir / "a.txt";
    WriteBytes(file, "kept");
    unique_hfile other(::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    for (VARIANT_BOOL append : {0, 1})
        EXPECT_EQ(HRESULT(0x80070020), object->WriteToExistingFile(Bstr(L"new"), Bstr(file), append, 0));
    other.reset();
    EXPECT_EQ("kept", ReadBytes(file));
}

}  // namespace
