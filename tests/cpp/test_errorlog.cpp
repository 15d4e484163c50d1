// ErrorLog and ErrorReport: the bytes of a record, the pieces, the log's
// path and when logging is off, the message box, failing writes, and
// several processes reporting at once.
#include "errorlog/errorlog.h"
#include "tests/cpp/support.h"
#include <cstring>

namespace {

const char kParameterIncorrect[] = "The parameter is incorrect.\r\n";
const char kWorkerSource[] = "C:\\src\\tests\\worker.cpp";
const char kWorkerLabel[] = "Worker: ";
const char kWorkerValue[] = "report";

// What the seams hand back. Plain globals: the replacements are plain
// functions.
const char* g_systemText = kParameterIncorrect;  // null: no text for the code
struct FormatCall {
    DWORD flags = 0, id = 0, language = 0;
    LPCVOID source = nullptr;
    int calls = 0;
} g_format;

DWORD WINAPI FakeFormatMessage(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer, DWORD,
                               va_list*) {
    g_format.flags = flags;
    g_format.source = source;
    g_format.id = id;
    g_format.language = language;
    ++g_format.calls;
    if (!g_systemText) return 0;
    const size_t length = strlen(g_systemText);
    char* text = static_cast<char*>(::LocalAlloc(LMEM_FIXED, length + 1));
    memcpy(text, g_systemText, length + 1);
    *reinterpret_cast<char**>(buffer) = text;
    return static_cast<DWORD>(length);
}

void WINAPI FixedLocalTime(LPSYSTEMTIME time) {
    // 3 January 2005, 09:05:07
    *time = SYSTEMTIME{2005, 1, 1, 3, 9, 5, 7, 0};
}

const char* g_windowsDirectory = nullptr;  // null: the call fails
UINT g_windowsDirectorySize = 0;
UINT WINAPI FakeWindowsDirectory(LPSTR buffer, UINT size) {
    g_windowsDirectorySize = size;
    if (!g_windowsDirectory) return 0;
    const UINT length = static_cast<UINT>(strlen(g_windowsDirectory));
    if (length + 1 > size) return length + 1;
    memcpy(buffer, g_windowsDirectory, length + 1);
    return length;
}

struct MessageBoxCall {
    int calls = 0;
    HWND owner = nullptr;
    std::string text, caption;
    UINT type = 0;
} g_box;
int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    ++g_box.calls;
    g_box.owner = owner;
    g_box.text = text ? text : "(null)";
    g_box.caption = caption ? caption : "(null)";
    g_box.type = type;
    return IDOK;
}

// The system's own text for a code, as FormatMessageA gives it.
std::string SystemText(HRESULT hr) {
    char* text = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, static_cast<DWORD>(hr),
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text ? text : "";
    ::LocalFree(text);
    return result;
}

// Every LF as CR LF, as the text-mode log receives it.
std::string AsWritten(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// A record up to and including the Reason line, at the pinned time.
std::string Head(const std::string& hresult, const std::string& file, int line,
                 const std::string& reason = kParameterIncorrect) {
    return "\r\nTime: (mm/dd/yy)   1/3/2005   9:5:7 \r\nFile:    " + file + "\r\nLine:    " + std::to_string(line) +
           "\r\nHRESULT: " + hresult + "\r\nReason:  " + AsWritten(reason);
}

bool LogExists() { return ::GetFileAttributesA(LogFilePath().c_str()) != INVALID_FILE_ATTRIBUTES; }

class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLog();
        g_systemText = kParameterIncorrect;
        g_format = FormatCall();
        g_box = MessageBoxCall();
    }
    void TearDown() override { DeleteLog(); }

    ScopedWin32Override<decltype(win32.GetLocalTime)> time_{win32.GetLocalTime, &FixedLocalTime};
    ScopedWin32Override<decltype(win32.FormatMessageA)> text_{win32.FormatMessageA, &FakeFormatMessage};
    ScopedWin32Override<decltype(win32.MessageBoxA)> box_{win32.MessageBoxA, &FakeMessageBox};
};

TEST_F(ErrorLogTest, RecordByteForByte) {
    ErrorLog log;
    log.ErrorReport(E_INVALIDARG, "C:\\src\\object\\QVFileIO.cpp", 123, 0, "szDirPath: ", "C:\\data\\new", "Error: ",
                    "Failed to create the directory", "END");
    EXPECT_EQ(Head("80070057", "QVFileIO.cpp", 123) +
                  "szDirPath: C:\\data\\new\r\nError: Failed to create the directory\r\n",
              ReadLogBytes());

    // The system text is asked for the code in the user's default language.
    EXPECT_EQ(1, g_format.calls);
    EXPECT_EQ(static_cast<DWORD>(E_INVALIDARG), g_format.id);
    EXPECT_EQ(0x400u, g_format.language);
    EXPECT_EQ(nullptr, g_format.source);
    EXPECT_EQ(static_cast<DWORD>(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER),
              g_format.flags & (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE));
    EXPECT_EQ(0, g_box.calls) << "no box unless asked for";
}

TEST_F(ErrorLogTest, FileLineAndHresultFields) {
    ErrorLog log;
    // Only the part after the last backslash; a slash is no separator; a
    // name without backslash is written whole; format characters are text.
    log.ErrorReport(E_ACCESSDENIED, "plain.cpp", -5, 0, "END");
    log.ErrorReport(S_OK, "C:\\a\\b/c.cpp", 0, 0, "END");
    log.ErrorReport(static_cast<HRESULT>(0x8000000A), "C:\\x\\%s%n%d.cpp", 2147483647, 0, "%s: ", "%n%x", "END");
    log.ErrorReport(E_INVALIDARG, "C:\\dir\\", 1, 0, "END");
    log.ErrorReport(E_INVALIDARG, nullptr, 1, 0, "END");
    EXPECT_EQ(Head("80070005", "plain.cpp", -5) + Head("0", "b/c.cpp", 0) +
                  Head("8000000A", "%s%n%d.cpp", 2147483647) + "%s: %n%x\r\n" + Head("80070057", "", 1) +
                  Head("80070057", "", 1),
              ReadLogBytes());
}

TEST_F(ErrorLogTest, ReasonIsTheSystemText) {
    ScopedWin32Override<decltype(win32.FormatMessageA)> real(win32.FormatMessageA, ::FormatMessageA);
    const std::string invalid = SystemText(E_INVALIDARG), success = SystemText(S_OK);
    ASSERT_FALSE(invalid.empty());
    ASSERT_FALSE(success.empty());
    ASSERT_EQ("\r\n", invalid.substr(invalid.size() - 2)) << "the system's texts end in CR LF";

    ErrorLog log;
    log.ErrorReport(E_INVALIDARG, "C:\\m\\QVFileIO.cpp", 10, 0, "bstrFullPath: ", "Invalid path name", "END");
    log.ErrorReport(S_OK, "C:\\m\\QVFileIO.cpp", 11, 0, "END");
    const std::string bytes = ReadLogBytes();
    EXPECT_EQ(Head("80070057", "QVFileIO.cpp", 10, invalid) + "bstrFullPath: Invalid path name\r\n" +
                  Head("0", "QVFileIO.cpp", 11, success),
              bytes);
    EXPECT_NE(std::string::npos, bytes.find(".\r\r\nbstrFullPath: ")) << "the Reason line ends CR CR LF";
}

TEST_F(ErrorLogTest, PiecesInPairsAndTheirEnd) {
    ErrorLog log;
    const char* const nullPiece = nullptr;
    log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "b: ", "2", "END", "c: ", "3", "END");
    log.ErrorReport(E_INVALIDARG, "a.cpp", 2, 0, "a: ", "1", nullPiece, "b: ", "2", "END");
    log.ErrorReport(E_INVALIDARG, "a.cpp", 3, 0, "x: ", "end", "End", "END");
    // "End" above was the third piece: left without line end, so the next
    // record is not separated by an empty line.
    log.ErrorReport(E_INVALIDARG, "a.cpp", 4, 0, "END");
    log.ErrorReport(E_INVALIDARG, "a.cpp", 5, 0, "", "", "", "", "END");
    log.ErrorReport(E_INVALIDARG, "a.cpp", 6, 0, nullPiece, "never", "END");
    EXPECT_EQ(Head("80070057", "a.cpp", 1) + "a: 1\r\nb: 2\r\n" +
                  Head("80070057", "a.cpp", 2) + "a: 1\r\n" +
                  Head("80070057", "a.cpp", 3) + "x: end\r\nEnd" +
                  Head("80070057", "a.cpp", 4) +
                  Head("80070057", "a.cpp", 5) + "\r\n\r\n" +
                  Head("80070057", "a.cpp", 6),
              ReadLogBytes());
    const std::string bytes = ReadLogBytes();
    EXPECT_NE(std::string::npos, bytes.find("End\r\nTime: ")) << "no empty line after an odd piece";
}

TEST_F(ErrorLogTest, AppendsAndCreatesTheFileAgain) {
    WriteBytes(LogFilePath(), "earlier text");
    ErrorLog log;
    log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "END");
    EXPECT_EQ("earlier text" + Head("80070057", "a.cpp", 1) + "a: 1\r\n", ReadLogBytes()) << "appended, not replaced";

    // No handle is held between reports: the log can be deleted, and the
    // next report creates it again, starting with the opening line feed.
    ASSERT_TRUE(::DeleteFileA(LogFilePath().c_str()));
    log.ErrorReport(E_INVALIDARG, "a.cpp", 2, 0, "b: ", "2", "END");
    EXPECT_EQ(Head("80070057", "a.cpp", 2) + "b: 2\r\n", ReadLogBytes());
}

TEST_F(ErrorLogTest, SharedWithOtherOpenersAndDroppedWhenLocked) {
    ErrorLog log;
    {
        unique_hfile reader(::CreateFileA(LogFilePath().c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr));
        ASSERT_TRUE(reader);
        log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "END");
    }
    EXPECT_EQ(Head("80070057", "a.cpp", 1) + "a: 1\r\n", ReadLogBytes()) << "written beside a sharing opener";
    {
        unique_hfile exclusive(
            ::CreateFileA(LogFilePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(exclusive);
        log.ErrorReport(E_INVALIDARG, "a.cpp", 2, 0, "b: ", "2", "END");  // dropped without notice
    }
    log.ErrorReport(E_INVALIDARG, "a.cpp", 3, 0, "c: ", "3", "END");
    EXPECT_EQ(Head("80070057", "a.cpp", 1) + "a: 1\r\n" + Head("80070057", "a.cpp", 3) + "c: 3\r\n", ReadLogBytes());
}

TEST_F(ErrorLogTest, NoSystemTextStillStartsPiecesOnTheirOwnLine) {
    g_systemText = nullptr;
    ErrorLog log;
    log.ErrorReport(static_cast<HRESULT>(0x8FFF1234), "a.cpp", 1, 0, "Error: ", "x", "END");
    const std::string bytes = ReadLogBytes();
    const std::string head = "\r\nTime: (mm/dd/yy)   1/3/2005   9:5:7 \r\nFile:    a.cpp\r\nLine:    1\r\n"
                             "HRESULT: 8FFF1234\r\nReason:  ";
    ASSERT_EQ(head, bytes.substr(0, head.size()));
    const std::string tail = "\r\nError: x\r\n";
    ASSERT_GE(bytes.size(), head.size() + tail.size() - 2);
    EXPECT_EQ(tail, bytes.substr(bytes.size() - tail.size()));
}

// Texts longer than the 2048-byte work buffer are shortened, never written
// past it: the record keeps its shape and the pieces follow on their own line.
TEST_F(ErrorLogTest, OverlongReasonAndFileAreShortened) {
    const std::string longText = std::string(4998, 'R') + "\r\n";
    g_systemText = longText.c_str();
    const std::string longSource = "C:\\src\\" + std::string(5000, 'f');
    ErrorLog log;
    log.ErrorReport(E_INVALIDARG, longSource.c_str(), 7, 0, "Error: ", "too long", "END");
    log.ErrorReport(E_INVALIDARG, "a.cpp", 8, 0, "Error: ", "next", "END");

    const std::string bytes = ReadLogBytes();
    const std::string timeLine = "\r\nTime: (mm/dd/yy)   1/3/2005   9:5:7 \r\n";
    ASSERT_EQ(timeLine, bytes.substr(0, timeLine.size()));
    size_t at = timeLine.size();
    const size_t fileEnd = bytes.find("\r\n", at);
    const std::string fileLine = bytes.substr(at, fileEnd - at);
    EXPECT_EQ("File:    ffff", fileLine.substr(0, 13));
    EXPECT_LT(fileLine.size(), 2048u);
    EXPECT_EQ(std::string::npos, fileLine.find_first_not_of('f', 9)) << "only the name's own characters";
    at = fileEnd + 2;
    const std::string middle = "Line:    7\r\nHRESULT: 80070057\r\n";
    ASSERT_EQ(middle, bytes.substr(at, middle.size()));
    at += middle.size();
    const size_t reasonEnd = bytes.find("\r\r\n", at);
    ASSERT_NE(std::string::npos, reasonEnd);
    const std::string reasonLine = bytes.substr(at, reasonEnd - at);
    EXPECT_EQ("Reason:  RRRR", reasonLine.substr(0, 13));
    EXPECT_LT(reasonLine.size(), 2048u);
    EXPECT_EQ(std::string::npos, reasonLine.find_first_not_of('R', 9));
    at = reasonEnd + 3;
    const std::string rest = "Error: too long\r\n" + timeLine + "File:    a.cpp\r\nLine:    8\r\n";
    EXPECT_EQ(rest, bytes.substr(at, rest.size()));
    const std::string end = "\r\r\nError: next\r\n";
    EXPECT_EQ(end, bytes.substr(bytes.size() - end.size()));
}

TEST_F(ErrorLogTest, LogPathFromTheWindowsDirectory) {
    ScopedWin32Override<decltype(win32.GetWindowsDirectoryA)> directory(win32.GetWindowsDirectoryA,
                                                                        &FakeWindowsDirectory);
    struct Case {
        std::string directory;
        bool enabled;
        std::string path;
    };
    const std::string dir243 = "C:\\" + std::string(240, 'd');  // 243 + 1 + 15 = 259 characters
    const std::string dir244 = dir243 + "d";
    const Case cases[] = {
        {"C:\\WINDOWS", true, "C:\\WINDOWS\\QVFileIOLog.txt"},
        {"C:\\", true, "C:\\\\QVFileIOLog.txt"},  // the backslash is added all the same
        {dir243, true, dir243 + "\\QVFileIOLog.txt"},
        {dir244, false, ""},
        {"C:\\" + std::string(256, 'd'), false, ""},  // 259 characters: fits, the joined path does not
        {"C:\\" + std::string(300, 'd'), false, ""},  // does not fit the buffer
    };
    for (const Case& c : cases) {
        g_windowsDirectory = c.directory.c_str();
        ErrorLog log;
        EXPECT_EQ(260u, g_windowsDirectorySize);
        EXPECT_EQ(c.enabled, log.LoggingEnabled()) << c.directory.size();
        EXPECT_EQ(c.path, log.LogFilePath()) << c.directory.size();
    }
    g_windowsDirectory = nullptr;
    ErrorLog failed;
    EXPECT_FALSE(failed.LoggingEnabled());
    EXPECT_EQ(std::string(), failed.LogFilePath());
}

TEST_F(ErrorLogTest, NothingIsWrittenWhenLoggingIsOff) {
    ScopedWin32Override<decltype(win32.GetWindowsDirectoryA)> directory(win32.GetWindowsDirectoryA,
                                                                        &FakeWindowsDirectory);
    const std::string tooLong = "C:\\" + std::string(250, 'd');
    for (const char* windows : {static_cast<const char*>(nullptr), tooLong.c_str()}) {
        g_windowsDirectory = windows;
        ErrorLog log;
        log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "END");
        EXPECT_FALSE(LogExists());
        EXPECT_EQ(0, g_box.calls);
    }
}

TEST_F(ErrorLogTest, MessageBoxOnlyWhenAskedAndEvenWithLoggingOff) {
    const std::string expectedText =
        "The following error was detected:\r\n\r\n\r\nThe parameter is incorrect.\r\n\r\n\r\n"
        "The operation was not completed successfully";
    {
        ScopedWin32Override<decltype(win32.GetWindowsDirectoryA)> directory(win32.GetWindowsDirectoryA,
                                                                            &FakeWindowsDirectory);
        g_windowsDirectory = nullptr;
        ErrorLog off;
        off.ErrorReport(E_INVALIDARG, "a.cpp", 1, 1, "a: ", "1", "END");
        EXPECT_EQ(1, g_box.calls);
        EXPECT_EQ(expectedText, g_box.text);
        EXPECT_EQ("QVFileIO Error", g_box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK), g_box.type);
        EXPECT_EQ(nullptr, g_box.owner);
        EXPECT_FALSE(LogExists());
    }
    g_box = MessageBoxCall();
    ErrorLog log;
    log.ErrorReport(E_INVALIDARG, "a.cpp", 2, 0, "a: ", "1", "END");
    EXPECT_EQ(0, g_box.calls);
    log.ErrorReport(E_INVALIDARG, "a.cpp", 3, -1, "b: ", "2", "END");
    EXPECT_EQ(1, g_box.calls) << "any non-zero flag asks for the box";
    EXPECT_EQ(expectedText, g_box.text);
    EXPECT_EQ(Head("80070057", "a.cpp", 2) + "a: 1\r\n" + Head("80070057", "a.cpp", 3) + "b: 2\r\n", ReadLogBytes());

    // An overlong system text is shortened in the box as well.
    const std::string longText = std::string(4998, 'R') + "\r\n";
    g_systemText = longText.c_str();
    log.ErrorReport(E_INVALIDARG, "a.cpp", 4, 1, "END");
    EXPECT_EQ(2, g_box.calls);
    const std::string start = "The following error was detected:\r\n\r\n\r\nRRR";
    EXPECT_EQ(start, g_box.text.substr(0, start.size()));
    EXPECT_LT(g_box.text.size(), 2048u);
}

// A write that fails part-way (a full disk) takes back what reached the
// file: the log ends as before, in whole records, and the next is whole.
struct WriteSpy {
    int calls = 0;
    int failAt = 0;  // 0: never fail
    size_t bytes = 0;
} g_write;
BOOL WINAPI FailingWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    ++g_write.calls;
    DWORD done = 0;
    if (g_write.calls == g_write.failAt) {
        // The disk fills up half-way through this write.
        ::WriteFile(file, data, size / 2, &done, overlapped);
        g_write.bytes += done;
        if (written) *written = done;
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    const BOOL ok = ::WriteFile(file, data, size, &done, overlapped);
    g_write.bytes += done;
    if (written) *written = done;
    return ok;
}

TEST_F(ErrorLogTest, FailedWriteDropsTheRestOfTheRecord) {
    ScopedWin32Override<decltype(win32.WriteFile)> spy(win32.WriteFile, &FailingWrite);
    ErrorLog log;
    const std::string full = Head("80070057", "a.cpp", 1) + "a: 1\r\nb: 2\r\n";
    g_write = WriteSpy();
    log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "b: ", "2", "END");
    ASSERT_EQ(full, ReadLogBytes());
    const int writes = g_write.calls;
    ASSERT_GE(writes, 1);

    for (int failAt = 1; failAt <= writes; ++failAt) {
        g_write = WriteSpy();
        g_write.failAt = failAt;
        log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "b: ", "2", "END");
        EXPECT_EQ(failAt, g_write.calls) << "no write after the failed one";
        EXPECT_GT(g_write.bytes, 0u);
        EXPECT_EQ(full, ReadLogBytes()) << "failing write " << failAt;
    }

    // The next report is whole again.
    g_write = WriteSpy();
    log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "b: ", "2", "END");
    EXPECT_EQ(full + full, ReadLogBytes());
}

// A record cut off where it stood (the process ended in the middle of its
// write) is followed by the next failure's record, whole: it opens with a
// line end of its own, so it starts on a line of its own wherever the cut
// fell.
TEST_F(ErrorLogTest, CutOffRecordIsFollowedByAWholeOne) {
    ErrorLog log;
    log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "b: ", "2", "END");
    const std::string full = ReadLogBytes();
    for (size_t cut : {size_t(1), size_t(9), full.find("\r\r\n") + 1, full.find("b: ") + 1, full.size() - 1}) {
        WriteBytes(LogFilePath(), full.substr(0, cut));
        log.ErrorReport(E_INVALIDARG, "a.cpp", 1, 0, "a: ", "1", "b: ", "2", "END");
        const std::vector<LogRecord> records = ReadLog();
        ASSERT_FALSE(records.empty()) << cut;
        const LogRecord& last = records.back();
        EXPECT_EQ("1/3/2005   9:5:7 ", last.time) << cut;
        EXPECT_EQ("80070057", last.hresult) << cut;
        EXPECT_EQ((std::vector<std::string>{"a: 1", "b: 2"}), last.pieces) << cut;
        EXPECT_EQ(full, ReadLogBytes().substr(cut)) << cut;
    }
}

// Four processes of this program report 1,000 failures each at the same
// time: every line of the log is whole, every record's lines are there, and
// they stand together in their order.
TEST(ErrorLogConcurrencyTest, FourProcessesLeaveWholeRecords) {
    DeleteLog();
    const int kWorkers = 4, kReports = 1000;
    char program[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
    std::vector<PROCESS_INFORMATION> workers;
    for (int i = 0; i < kWorkers; ++i) {
        std::string command = "\"" + std::string(program) + "\" --report-worker " + std::to_string(kReports);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(::CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &process))
            << ::GetLastError();
        ::CloseHandle(process.hThread);
        workers.push_back(process);
    }
    for (PROCESS_INFORMATION& process : workers) {
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, INFINITE));
        DWORD code = 99;
        ::GetExitCodeProcess(process.hProcess, &code);
        EXPECT_EQ(0u, code);
        ::CloseHandle(process.hProcess);
    }

    const std::string reason = "Reason:  " + AsWritten(SystemText(E_INVALIDARG));
    const std::string reasonLine = reason.substr(0, reason.size() - 2);  // up to the final CR LF
    const std::string pieceLine = std::string(kWorkerLabel) + kWorkerValue;
    int empty = 0, time = 0, file = 0, line = 0, hresult = 0, reasons = 0, pieces = 0, other = 0;
    // Each line's place in its record: 0 the empty line before it ... 6 the piece.
    int lineIndex = 0, outOfPlace = 0;
    std::string firstOther;
    const std::string bytes = ReadLogBytes();
    ASSERT_EQ("\r\n", bytes.substr(bytes.size() - 2));
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find("\r\n", at);
        const std::string text = bytes.substr(at, end - at);
        at = end + 2;
        unsigned m = 0, d = 0, y = 0, h = 0, mi = 0, sec = 0;
        char again[64] = {};
        const bool isTime =
            sscanf(text.c_str(), "Time: (mm/dd/yy)   %u/%u/%u   %u:%u:%u", &m, &d, &y, &h, &mi, &sec) == 6 &&
            snprintf(again, sizeof again, "Time: (mm/dd/yy)   %u/%u/%u   %u:%u:%u ", m, d, y, h, mi, sec) > 0 &&
            text == again && m >= 1 && m <= 12 && y >= 2000;
        int place = -1;
        if (text.empty()) ++empty, place = 0;
        else if (text == "File:    worker.cpp") ++file, place = 2;
        else if (text == "HRESULT: 80070057") ++hresult, place = 4;
        else if (text == reasonLine) ++reasons, place = 5;
        else if (text == pieceLine) ++pieces, place = 6;
        else if (text.compare(0, 9, "Line:    ") == 0 && text.find_first_not_of("0123456789", 9) == std::string::npos)
            ++line, place = 3;
        else if (isTime)
            ++time, place = 1;
        else if (++other == 1)
            firstOther = text;
        if (place != lineIndex++ % 7) ++outOfPlace;
    }
    const int total = kWorkers * kReports;
    EXPECT_EQ(0, other) << "first stray line: " << firstOther;
    EXPECT_EQ(0, outOfPlace) << "lines of another record inside a record";
    EXPECT_EQ(total, empty);
    EXPECT_EQ(total, time);
    EXPECT_EQ(total, file);
    EXPECT_EQ(total, line);
    EXPECT_EQ(total, hresult);
    EXPECT_EQ(total, reasons);
    EXPECT_EQ(total, pieces);
    DeleteLog();
}

}  // namespace

// The worker of the concurrency test (main runs it for --report-worker N).
int RunReportWorker(int reports) {
    ErrorLog log;
    for (int i = 0; i < reports; ++i)
        log.ErrorReport(E_INVALIDARG, kWorkerSource, 100 + i, 0, kWorkerLabel, kWorkerValue, "END");
    return 0;
}
