#include "tests/cpp/support.h"
#include <cstdio>
#include <fstream>
#include <sstream>

Bstr::Bstr(const std::string& ansi) {
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], chars);
    value_.reset(::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

std::string LogFilePath() {
    char directory[MAX_PATH] = {};
    ::GetWindowsDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\QVFileIOLog.txt";
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadLogBytes() { return ReadBytes(LogFilePath()); }

void DeleteLog() { ::DeleteFileA(LogFilePath().c_str()); }

std::vector<LogRecord> ReadLog() {
    const std::string text = ReadLogBytes();
    const std::string marker = "\r\nTime: (mm/dd/yy)   ";
    std::vector<LogRecord> records;
    size_t at = text.find(marker);
    while (at != std::string::npos) {
        const size_t next = text.find(marker, at + marker.size());
        std::string body = text.substr(at + marker.size(), next == std::string::npos ? std::string::npos : next - at - marker.size());
        LogRecord record;
        auto takeLine = [&body](const char* label) {
            std::string line = body.substr(0, body.find("\r\n"));
            body.erase(0, line.size() + 2);
            const size_t labelLength = strlen(label);
            return line.compare(0, labelLength, label) == 0 ? line.substr(labelLength) : "?" + line;
        };
        record.time = takeLine("");
        record.file = takeLine("File:    ");
        record.line = atoi(takeLine("Line:    ").c_str());
        record.hresult = takeLine("HRESULT: ");
        const size_t reasonEnd = body.find("\r\r\n");
        record.reason = body.substr(0, reasonEnd);
        if (record.reason.compare(0, 9, "Reason:  ") == 0) record.reason.erase(0, 9);
        body.erase(0, reasonEnd == std::string::npos ? body.size() : reasonEnd + 3);
        size_t start = 0;
        while (start < body.size()) {
            size_t end = body.find("\r\n", start);
            if (end == std::string::npos) end = body.size();
            record.pieces.push_back(body.substr(start, end - start));
            start = end + 2;
        }
        records.push_back(record);
        at = next;
    }
    return records;
}

std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    for (const LogRecord& record : ReadLog())
        for (const std::string& piece : record.pieces) lines.push_back(record.hresult + " " + piece);
    return lines;
}

ErrorInfo TakeErrorInfo() {
    ErrorInfo result;
    com_ptr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.put()) != S_OK || !info) return result;
    result.present = true;
    Bstr description, source;
    info->GetDescription(description.put());
    info->GetSource(source.put());
    info->GetGUID(&result.guid);
    result.description = description.str();
    result.source = source.str();
    return result;
}

std::string Hex(HRESULT hr) {
    char text[16];
    snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(hr));
    return text;
}

ScratchDir::ScratchDir() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%sqvtest-%lu-%u", temp, ::GetCurrentProcessId(), ++counter);
    path_ = name;
    ::CreateDirectoryA(path_.c_str(), nullptr);
}

namespace {
void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileA(child.c_str());
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(path.c_str());
}
}  // namespace

ScratchDir::~ScratchDir() { RemoveTree(path_); }

void QVFileIOTest::SetUp() {
    DeleteLog();
    com_ptr<IClassFactory> factory;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, factory.put_void()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IQVFileIO, object.put_void()));
    ::SetErrorInfo(0, nullptr);
}

void QVFileIOTest::TearDown() { object.reset(); }

std::string AnsiOf(const wchar_t* name) {
    char buffer[4 * MAX_PATH] = {};
    if (name) ::WideCharToMultiByte(CP_ACP, 0, name, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}
