// The error log: every failure the system detects is appended, as one
// record, to "QVFileIOLog.txt" in the Windows directory, or, for a user who
// may not write there, in the "QVFileIO" folder of the user's local
// application data folder.
#pragma once
#include "platform/windows.h"
#include <cstddef>

class ErrorLog {
public:
    ErrorLog();
    virtual ~ErrorLog();

    // Appends one record. After the message-box flag come the label/value
    // pieces, ended by the literal "END" or by a null piece. Never fails
    // in a way the caller can see.
    void ErrorReport(HRESULT hr, const char* sourceFile, int line, int messageBox, ...);

    // The same record from a counted list of pieces ("END" or null still
    // ends the list early).
    void ErrorReportPieces(HRESULT hr, const char* sourceFile, int line, int messageBox,
                           const char* const* pieces, size_t count) noexcept;

    const char* LogFilePath() const { return logFilePath_; }
    bool LoggingEnabled() const { return enabled_ != 0; }

private:
    char logFilePath_[MAX_PATH];
    int enabled_;
};
