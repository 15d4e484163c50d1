#include "errorlog/errorlog.h"
#include "platform/raii.h"
#include "platform/win32.h"
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kLogFileName[] = "QVFileIOLog.txt";
const char kEndPiece[] = "END";
const size_t kWorkBufferSize = 2048;

const char kFallbackFolder[] = "QVFileIO";

// Opens the log for appending, creating it when missing.
HANDLE OpenLog(const char* path) {
    // Read access as well: a byte-range lock needs it.
    return win32.CreateFileA(path, FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The log of a user who may not write in the Windows directory:
// "QVFileIOLog.txt" in a "QVFileIO" folder of the user's local application
// data folder, the folders created on first use.
bool FallbackLogPath(char (&path)[MAX_PATH]) {
    char folder[MAX_PATH] = {};
    if (FAILED(win32.SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                      folder)))
        return false;
    int length = snprintf(path, sizeof path, "%s\\%s", folder, kFallbackFolder);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return false;
    win32.CreateDirectoryA(path, nullptr);  // there already, as a rule
    length = snprintf(path, sizeof path, "%s\\%s\\%s", folder, kFallbackFolder, kLogFileName);
    return length > 0 && static_cast<size_t>(length) < sizeof path;
}

// Writes the record as a text-mode stream would (each LF reaches the file as
// CR LF), gathering it whole and sending it in one append, so records of
// several writers never interleave. The append is made under an exclusive
// lock of one byte far beyond the log's data, because an append-only handle
// alone does not keep two processes' writes apart everywhere (Wine takes the
// end of the file and writes there in two steps). A record that does not fit
// (a full disk) is cut off again, still under the lock: the log never ends
// in part of a record.
class LogLineWriter {
public:
    LogLineWriter(HANDLE file, const char* path) : file_(file), path_(path) {}

    void Put(const char* text) {
        for (; *text; ++text) {
            if (*text == '\n') pending_ += '\r';
            pending_ += *text;
        }
    }
    void PutLine(const char* text) { Put(text); EndLine(); }
    void EndLine() { Put("\n"); }
    void Flush() {
        if (pending_.empty()) return;
        OVERLAPPED lockByte = {};
        lockByte.Offset = 0xFFFFFFF0;
        lockByte.OffsetHigh = 0x7FFFFFFF;
        // Without the lock (a file system that has none) the line is
        // written all the same.
        const bool locked = win32.LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockByte);
        long long end = 0;
        const bool endKnown = MoveFilePointer(file_, 0, FILE_END, &end);
        DWORD written = 0;
        const BOOL sent = win32.WriteFile(file_, pending_.data(), static_cast<DWORD>(pending_.size()), &written, nullptr);
        if ((!sent || written != pending_.size()) && endKnown) {
            // The append-only handle cannot cut: a second one does.
            unique_hfile cut(win32.CreateFileA(path_, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (cut && MoveFilePointer(cut.get(), end, FILE_BEGIN)) win32.SetEndOfFile(cut.get());
        }
        if (locked) win32.UnlockFileEx(file_, 0, 1, 0, &lockByte);
        pending_.clear();
    }

private:
    HANDLE file_;
    const char* path_;
    std::string pending_;
};

const char* FileNameOf(const char* path) {
    if (!path) return "";
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

// Formats into the 2048-byte work buffer; a longer result is cut to fit.
void FormatWork(char (&work)[kWorkBufferSize], const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(work, sizeof work, format, args);
    va_end(args);
}

void ShowMessageBox(const char* systemText) {
    char first[kWorkBufferSize];
    char second[kWorkBufferSize];
    FormatWork(first, "The following error was detected:\r\n\r\n\r\n%s", systemText);
    FormatWork(second, "%s\r\n\r\nThe operation was not completed successfully", first);
    win32.MessageBoxA(nullptr, second, "QVFileIO Error", MB_OK);
}

}  // namespace

ErrorLog::ErrorLog() : enabled_(0) {
    ZeroMemory(logFilePath_, sizeof logFilePath_);
    char directory[MAX_PATH + 1] = {};
    const UINT length = win32.GetWindowsDirectoryA(directory, MAX_PATH);
    if (length == 0 || length > MAX_PATH) return;
    const int joined = snprintf(logFilePath_, sizeof logFilePath_, "%s\\%s", directory, kLogFileName);
    if (joined > 0 && static_cast<size_t>(joined) < sizeof logFilePath_)
        enabled_ = 1;
    else
        ZeroMemory(logFilePath_, sizeof logFilePath_);
}

ErrorLog::~ErrorLog() {
    ZeroMemory(logFilePath_, sizeof logFilePath_);
    enabled_ = 0;
}

void ErrorLog::ErrorReport(HRESULT hr, const char* sourceFile, int line, int messageBox, ...) {
    try {
        std::vector<const char*> pieces;
        va_list args;
        va_start(args, messageBox);
        for (const char* piece = va_arg(args, const char*); piece && strcmp(piece, kEndPiece) != 0;
             piece = va_arg(args, const char*))
            pieces.push_back(piece);
        va_end(args);
        ErrorReportPieces(hr, sourceFile, line, messageBox, pieces.data(), pieces.size());
    } catch (...) {
    }
}

void ErrorLog::ErrorReportPieces(HRESULT hr, const char* sourceFile, int line, int messageBox,
                                 const char* const* pieces, size_t count) noexcept {
    try {
        char* rawText = nullptr;
        win32.FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(hr), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                         reinterpret_cast<char*>(&rawText), 0, nullptr);
        unique_hlocal systemTextOwner(rawText);
        // Without a system text (E_ABORT has none) the Reason line is left
        // empty but ended as the system's texts end, so every record has the
        // same shape and the pieces start on a line of their own.
        const char* systemText = rawText ? rawText : "\r\n";

        if (messageBox) ShowMessageBox(systemText);
        if (!enabled_) return;

        const char* fileName = FileNameOf(sourceFile);
        SYSTEMTIME now = {};
        win32.GetLocalTime(&now);

        // The Windows directory first; elsewhere only when it refuses us.
        const char* path = logFilePath_;
        char fallback[MAX_PATH] = {};
        unique_hfile file(OpenLog(path));
        if (!file && ::GetLastError() == ERROR_ACCESS_DENIED && FallbackLogPath(fallback)) {
            path = fallback;
            file.reset(OpenLog(path));
        }
        if (!file) return;

        LogLineWriter out(file.get(), path);
        char work[kWorkBufferSize];
        out.EndLine();
        FormatWork(work, "Time: (mm/dd/yy)   %i/%i/%i   %i:%i:%i ", now.wMonth, now.wDay, now.wYear, now.wHour,
                   now.wMinute, now.wSecond);
        out.PutLine(work);
        FormatWork(work, "File:    %s", fileName);
        out.PutLine(work);
        FormatWork(work, "Line:    %d", line);
        out.PutLine(work);
        FormatWork(work, "HRESULT: %X", static_cast<unsigned>(hr));
        out.PutLine(work);
        FormatWork(work, "Reason:  %s", systemText);
        const size_t reasonLength = strlen(work);
        if (reasonLength == sizeof work - 1 && work[reasonLength - 1] != '\n') {
            // Cut to fit the work buffer: keep the line end the text had.
            work[reasonLength - 2] = '\r';
            work[reasonLength - 1] = '\n';
        }
        out.Put(work);

        for (size_t i = 0; i < count; ++i) {
            if (!pieces[i] || strcmp(pieces[i], kEndPiece) == 0) break;
            out.Put(pieces[i]);
            if (i % 2 == 1) out.EndLine();
        }
        out.Flush();
    } catch (...) {
    }
}
