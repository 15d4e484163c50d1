// File size and time stamps: the texts of chosen times, sizes the system
// would have to cut, and the calls that Wine does not make fail.
#include "tests/cpp/support.h"
#include <functional>

namespace {

// The size that FindFirstFileW reports for every file.
unsigned long long fakeSize;
HANDLE WINAPI FindWithSize(LPCWSTR name, LPWIN32_FIND_DATAW data) {
    const HANDLE search = ::FindFirstFileW(name, data);
    data->nFileSizeHigh = static_cast<DWORD>(fakeSize >> 32);
    data->nFileSizeLow = static_cast<DWORD>(fakeSize);
    return search;
}

DWORD failure;
BOOL WINAPI FailGetFileTime(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME) { return ::SetLastError(failure), FALSE; }
BOOL WINAPI FailToLocal(const FILETIME*, LPFILETIME) { return ::SetLastError(failure), FALSE; }
BOOL WINAPI FailToSystem(const FILETIME*, LPSYSTEMTIME) { return ::SetLastError(failure), FALSE; }
BOOL WINAPI FailClose(HANDLE handle) {
    ::CloseHandle(handle);  // the real handle still goes
    return ::SetLastError(failure), FALSE;
}
BOOL WINAPI FailFindClose(HANDLE search) {
    ::FindClose(search);
    return ::SetLastError(failure), FALSE;
}

class PropertiesTest : public QVFileIOTest {
protected:
    void SetUp() override {
        QVFileIOTest::SetUp();
        WriteBytes(file, "12345");
    }
    // Sets all three times of the file to one local time.
    void SetLocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
        SYSTEMTIME local = {year, month, 0, day, hour, minute, second, 0};
        FILETIME localTime, time;
        ASSERT_TRUE(::SystemTimeToFileTime(&local, &localTime));
        ASSERT_TRUE(::LocalFileTimeToFileTime(&localTime, &time));
        unique_hfile handle(::CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(::SetFileTime(handle.get(), &time, &time, &time));
    }
    std::wstring Description() { return TakeErrorInfo().description; }
    ScratchDir dir;
    std::string file = dir / "a.txt";
};

TEST_F(PropertiesTest, DatesAndTimesWithoutLeadingZeros) {
    const struct {
        WORD year, month, day, hour, minute, second;
        const wchar_t *date, *time;
    } cases[] = {
        {2004, 3, 7, 9, 5, 7, L"3/7/2004", L"9:5:7"},
        {2004, 3, 7, 21, 5, 7, L"3/7/2004", L"21:5:7"},
        {2003, 12, 31, 23, 59, 59, L"12/31/2003", L"23:59:59"},
        {2003, 12, 25, 0, 0, 0, L"12/25/2003", L"0:0:0"},
    };
    using Getter = HRESULT (STDMETHODCALLTYPE IQVFileIO::*)(BSTR, BSTR*);
    const struct {
        Getter getter;
        bool date;
    } getters[] = {
        {&IQVFileIO::GetCreationDate, true},     {&IQVFileIO::GetCreationTime, false},
        {&IQVFileIO::GetLastAccessedDate, true}, {&IQVFileIO::GetLastAccessedTime, false},
        {&IQVFileIO::GetLastModifiedDate, true}, {&IQVFileIO::GetLastModifiedTime, false},
    };
    for (const auto& c : cases) {
        SetLocalTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
        for (const auto& g : getters) {
            Bstr text;
            ASSERT_EQ(S_OK, (object.get()->*g.getter)(Bstr(file), text.put()));
            EXPECT_EQ(g.date ? c.date : c.time, text.str());
        }
    }
}

TEST_F(PropertiesTest, SizeOfTwoGigabytesOrMoreIsRefused) {
    ScopedWin32Override<decltype(win32.FindFirstFileW)> fake(win32.FindFirstFileW, &FindWithSize);
    const struct {
        unsigned long long size;
        HRESULT hr;
    } cases[] = {
        {0x7FFFFFFFull, S_OK},
        {0x80000000ull, HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW)},
        {5000000000ull, HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW)},
    };
    for (const auto& c : cases) {
        fakeSize = c.size;
        long size = -7;
        EXPECT_EQ(c.hr, object->GetFileSize(Bstr(file), &size)) << c.size;
        EXPECT_EQ(c.hr == S_OK ? 0x7FFFFFFFL : -7L, size) << "a size that does not fit is not written";
    }
    EXPECT_EQ(L"The file is 2 GB or larger: its size does not fit the result", Description());
}

TEST_F(PropertiesTest, FailingCallsAfterTheOpen) {
    failure = ERROR_INVALID_HANDLE;
    const std::string path = "bstrFullpath: " + file, Path = "bstrFullPath: " + file;
    const struct {
        std::function<void()> arm;
        std::string hresult, record, description;
    } cases[] = {
        {[] { win32.GetFileTime = &FailGetFileTime; }, "80004004", path + "|Error: Failed to get the date/time info",
         "Failed to get the date/time info"},
        {[] { win32.FileTimeToLocalFileTime = &FailToLocal; }, "80070006",
         "flWriteTime: Failed to convert the file time", "Failed to convert the file time"},
        {[] { win32.FileTimeToSystemTime = &FailToSystem; }, "80070006", Path + "|Error: Failed to convert the file time",
         "Failed to convert the file time"},
        {[] { win32.CloseHandle = &FailClose; }, "80070006", Path + "|Error: Failed to close the file",
         "Failed to close the file"},
    };
    for (const auto& c : cases) {
        const Win32Api saved = win32;
        DeleteLog();
        c.arm();
        BSTR text = nullptr;
        const HRESULT hr = object->GetLastModifiedTime(Bstr(file), &text);
        win32 = saved;
        EXPECT_EQ(E_ABORT, hr) << c.record;
        EXPECT_EQ(nullptr, text) << "the text is discarded";
        EXPECT_EQ(std::wstring(c.description.begin(), c.description.end()), Description());
        const std::vector<LogRecord> log = ReadLog();
        ASSERT_EQ(2u, log.size()) << c.record;
        std::string worker;
        for (const std::string& piece : log[0].pieces) worker += (worker.empty() ? "" : "|") + piece;
        EXPECT_EQ(c.record, worker);
        EXPECT_EQ(c.hresult, log[0].hresult) << c.record;
    }
    // The file is not left open: an exclusive open succeeds.
    EXPECT_TRUE(unique_hfile(::CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)).valid());

    // GetFileSize has written the size when closing its search fails.
    ScopedWin32Override<decltype(win32.FindClose)> fake(win32.FindClose, &FailFindClose);
    long size = -7;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE), object->GetFileSize(Bstr(file), &size));
    EXPECT_EQ(5, size);
    EXPECT_EQ(L"Failed to close the search", Description());
}

}  // namespace
