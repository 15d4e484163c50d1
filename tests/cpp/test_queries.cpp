// Existence, drive and directory operations where the system must be made
// to fail on purpose: free-space figures, drives without a medium, failing
// closes and attribute writes, sharing violations.
#include "tests/cpp/support.h"

namespace {

using Records = std::vector<std::string>;

class QueriesTest : public QVFileIOTest {
protected:
    ScratchDir dir;
};

// The volume geometry the next GetDiskFreeSpaceW reports, or its error.
struct DiskFake {
    static DWORD sectors, bytes, clusters, error;
    static BOOL WINAPI Query(LPCWSTR, LPDWORD s, LPDWORD b, LPDWORD c, LPDWORD t) {
        if (error) {
            ::SetLastError(error);
            return FALSE;
        }
        *s = sectors, *b = bytes, *c = clusters, *t = clusters;
        return TRUE;
    }
};
DWORD DiskFake::sectors, DiskFake::bytes, DiskFake::clusters, DiskFake::error;

TEST_F(QueriesTest, FreeSpaceIsComputedInBytesAndCapped) {
    ScopedWin32Override<decltype(win32.GetDiskFreeSpaceW)> fake(win32.GetDiskFreeSpaceW, &DiskFake::Query);
    struct { DWORD sectors, bytes, clusters; long expected; } cases[] = {
        {8, 512, 1000, 4096000},
        {8, 512, 524287, 2147479552},
        {8, 512, 524288, 2147483647},          // 2147483648 bytes: capped
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 2147483647},  // would wrap 64 bits
        {8, 512, 0, 0},
    };
    for (const auto& c : cases) {
        DiskFake::sectors = c.sectors, DiskFake::bytes = c.bytes, DiskFake::clusters = c.clusters, DiskFake::error = 0;
        long free = -1;
        ASSERT_EQ(S_OK, object->GetFreeDiskSpace(Bstr(L"C:\\data\\a.txt"), &free));
        EXPECT_EQ(c.expected, free) << c.sectors << " " << c.bytes << " " << c.clusters;
    }
}

TEST_F(QueriesTest, DriveExistsDecidesByTheFreeSpaceResult) {
    ScopedWin32Override<decltype(win32.GetDiskFreeSpaceW)> fake(win32.GetDiskFreeSpaceW, &DiskFake::Query);
    struct { DWORD error; HRESULT hr; VARIANT_BOOL exists; const char* innerMessage; } cases[] = {
        {ERROR_NOT_READY, S_OK, 1, "Failed to determine disk space"},
        {ERROR_INVALID_DRIVE, S_OK, 0, "Failed to determine disk space"},
        {ERROR_PATH_NOT_FOUND, S_OK, 0, "The path was not found"},
        {ERROR_ACCESS_DENIED, E_ACCESSDENIED, 42, "Failed to determine disk space"},
    };
    for (const auto& c : cases) {
        DeleteLog();
        DiskFake::error = c.error;
        VARIANT_BOOL exists = 42;
        EXPECT_EQ(c.hr, object->DriveExists(Bstr(L"R:\\anything"), &exists)) << c.error;
        EXPECT_EQ(c.exists, exists) << c.error;
        const auto records = ReadLog();
        ASSERT_EQ(SUCCEEDED(c.hr) ? 1u : 2u, records.size()) << c.error;
        EXPECT_EQ(Hex(HRESULT_FROM_WIN32(c.error)), records[0].hresult);
        EXPECT_EQ((Records{"szDrive: R:\\", std::string("Error: ") + c.innerMessage}), records[0].pieces);
        if (FAILED(c.hr)) {
            EXPECT_EQ((Records{"bstrFullpath: Failed to determine disk space"}), records[1].pieces);
            EXPECT_EQ(L"Failed to determine disk space", TakeErrorInfo().description);
        }
    }
}

TEST_F(QueriesTest, FileHeldOpenElsewhereIsASharingViolation) {
    const std::string path = dir / "held.txt";
    WriteBytes(path, "x");
    unique_hfile held(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    VARIANT_BOOL exists = 42;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), object->FileExists(Bstr(path), &exists));
    EXPECT_EQ(42, exists);
    const auto records = ReadLog();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ((Records{"bstrFullPath: " + path, "Error: Failed to determine if the file exists"}), records[0].pieces);
}

TEST_F(QueriesTest, FailingCloseFailsFileExists) {
    const std::string path = dir / "a.txt";
    WriteBytes(path, "x");
    // The fake still closes the real handle, so nothing leaks.
    ScopedWin32Override<decltype(win32.CloseHandle)> failing(
        win32.CloseHandle, [](HANDLE h) __attribute__((stdcall)) -> BOOL {
            ::CloseHandle(h);
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        });
    VARIANT_BOOL exists = 42;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE), object->FileExists(Bstr(path), &exists));
    EXPECT_EQ(42, exists);
    const auto records = ReadLog();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ((Records{"bstrFullPath: " + path, "Error: Failed to close the file"}), records[0].pieces);
    EXPECT_EQ(L"Failed to close the file", TakeErrorInfo().description);
}

TEST_F(QueriesTest, UnreadableAttributesAreAFailureNeverSuccess) {
    static DWORD error;
    ScopedWin32Override<decltype(win32.GetFileAttributesW)> failing(
        win32.GetFileAttributesW, [](LPCWSTR) __attribute__((stdcall)) -> DWORD {
            ::SetLastError(error);
            return INVALID_FILE_ATTRIBUTES;
        });
    for (DWORD e : {DWORD(ERROR_ACCESS_DENIED), DWORD(0)}) {
        DeleteLog();
        error = e;
        VARIANT_BOOL answer = 42;
        const HRESULT expected = e ? HRESULT_FROM_WIN32(e) : E_FAIL;  // a failed call with no error code
        EXPECT_EQ(expected, object->IsDirectoryName(Bstr(dir.path() + "\\x\\"), &answer));
        EXPECT_EQ(expected, object->DirectoryExists(Bstr(dir.path() + "\\x\\"), &answer));
        EXPECT_EQ(42, answer);
        const auto records = ReadLog();
        ASSERT_EQ(3u, records.size());
        EXPECT_EQ((Records{"bstrFullpath: " + dir.path() + "\\x", "Error: Failed to get the file attributes"}),
                  records[0].pieces);
        EXPECT_EQ((Records{"bstrDirectory: Failed to determine if the directory exists"}), records[2].pieces);
    }
}

TEST_F(QueriesTest, CreateDirReportsTheFailingComponent) {
    static int calls;
    calls = 0;
    // The second directory of the chain cannot be created.
    ScopedWin32Override<decltype(win32.CreateDirectoryW)> failing(
        win32.CreateDirectoryW, [](LPCWSTR path, LPSECURITY_ATTRIBUTES sa) __attribute__((stdcall)) -> BOOL {
            if (++calls == 2) {
                ::SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            return ::CreateDirectoryW(path, sa);
        });
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), object->CreateDir(Bstr(dir.path() + "\\a\\b\\c")));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((dir / "a").c_str())) << "what was created stays";
    const auto records = ReadLog();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ((Records{"szDirPath: " + dir.path() + "\\a\\b", "Error: Failed to create the directory"}),
              records[0].pieces);
}

// What each operation writes: one attribute added to those present, or
// FILE_ATTRIBUTE_NORMAL alone. Checked at the seam, since Wine reports a file
// without attributes as archive; and on a real directory.
TEST_F(QueriesTest, AttributeOperationsWriteTheRightSet) {
    const std::string path = dir / "a.txt";
    WriteBytes(path, "x");
    static DWORD present, written;
    ScopedWin32Override<decltype(win32.GetFileAttributesW)> reading(
        win32.GetFileAttributesW, [](LPCWSTR) __attribute__((stdcall)) -> DWORD { return present; });
    ScopedWin32Override<decltype(win32.SetFileAttributesW)> writing(
        win32.SetFileAttributesW, [](LPCWSTR, DWORD value) __attribute__((stdcall)) -> BOOL {
            written = value;
            return TRUE;
        });
    struct { HRESULT (STDMETHODCALLTYPE IQVFileIO::*operation)(BSTR); DWORD present, written; } cases[] = {
        {&IQVFileIO::SetAsReadOnly, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},
        {&IQVFileIO::SetAsHidden, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},
        {&IQVFileIO::SetAsArchive, FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
        {&IQVFileIO::ClearFileAttributes, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE,
         FILE_ATTRIBUTE_NORMAL},
    };
    for (const auto& c : cases) {
        present = c.present, written = 0;
        EXPECT_EQ(S_OK, (object.get()->*c.operation)(Bstr(path)));
        EXPECT_EQ(c.written, written) << &c - cases;
    }
}

// Wine keeps no read-only attribute on a directory, so a directory is
// checked with the hidden one.
TEST_F(QueriesTest, DirectoryAttributesAreSetAndCleared) {
    const std::string sub = dir / "sub";
    ASSERT_TRUE(::CreateDirectoryA(sub.c_str(), nullptr));
    ASSERT_EQ(S_OK, object->SetAsHidden(Bstr(sub)));
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN,
              ::GetFileAttributesA(sub.c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_EQ(S_OK, object->ClearFileAttributes(Bstr(sub)));
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, ::GetFileAttributesA(sub.c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(ReadLog().empty());
}

TEST_F(QueriesTest, FailingAttributeWriteLeavesTwoRecords) {
    const std::string path = dir / "a.txt";
    WriteBytes(path, "x");
    ScopedWin32Override<decltype(win32.SetFileAttributesW)> failing(
        win32.SetFileAttributesW, [](LPCWSTR, DWORD) __attribute__((stdcall)) -> BOOL {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        });
    EXPECT_EQ(E_ACCESSDENIED, object->SetAsHidden(Bstr(path)));
    const auto records = ReadLog();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ((Records{"szDirPath: " + path, "Error: Failed to set the file attribute(s)"}), records[0].pieces);
    EXPECT_EQ((Records{"bstrFullPath: Failed to set the file attribute(s)"}), records[1].pieces);
    EXPECT_EQ(L"Failed to set the file attribute(s)", TakeErrorInfo().description);
}

// In a double-byte code page 260 characters can need more than 260 bytes:
// such a path is refused as invalid, never cut or overrun.
TEST_F(QueriesTest, PathTooLongInAnsiIsRefused) {
    ScopedWin32Override<decltype(win32.WideCharToMultiByte)> doubled(
        win32.WideCharToMultiByte,
        [](UINT, DWORD, LPCWSTR text, int length, LPSTR out, int size, LPCSTR, LPBOOL) __attribute__((stdcall)) -> int {
            if (!out) return length * 2;
            for (int i = 0; i < length && 2 * i + 1 < size; ++i) out[2 * i] = '\x95', out[2 * i + 1] = 'a';
            return length * 2;
        });
    const std::wstring path(200, L'a');
    EXPECT_EQ(E_INVALIDARG, object->CreateDir(Bstr(path)));
    VARIANT_BOOL answer = 42;
    EXPECT_EQ(E_INVALIDARG, object->FileExists(Bstr(path), &answer));
    EXPECT_EQ(42, answer);
    const auto records = ReadLog();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ((Records{"bstrFullPath: Invalid path name"}), records[0].pieces);
    EXPECT_EQ(L"Invalid path name", TakeErrorInfo().description);
}

}  // namespace
