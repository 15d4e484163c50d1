// Shared helpers of the C++ tests: the object created through the class
// object, the caller's error information, the log's records and scratch
// directories.
#pragma once
#include "platform/raii.h"
#include "platform/win32.h"
#include "qvfileio_idl.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
STDAPI DllCanUnloadNow();

// A BSTR owned by the test.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : value_(text ? ::SysAllocString(text) : nullptr) {}
    explicit Bstr(const std::wstring& text) : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    explicit Bstr(const std::string& ansi);
    operator BSTR() const { return value_.get(); }
    BSTR* put() { return value_.put(); }
    std::wstring str() const { return value_ ? std::wstring(value_.get(), ::SysStringLen(value_.get())) : L""; }
    bool null() const { return !value_; }

private:
    unique_bstr value_;
};

// One record of the error log.
struct LogRecord {
    std::string time;     // the Time line without its label
    std::string file;     // after "File:    "
    int line = 0;         // after "Line:    "
    std::string hresult;  // after "HRESULT: "
    std::string reason;   // after "Reason:  ", without its line end
    std::vector<std::string> pieces;  // the lines after the Reason line
};

std::string LogFilePath();
std::string ReadLogBytes();
std::vector<LogRecord> ReadLog();
// Every piece line of the log, each after its record's HRESULT: "80070005 Error: ...".
std::vector<std::string> LogLines();
void DeleteLog();

// The caller's error information after a failed call.
struct ErrorInfo {
    bool present = false;
    std::wstring description, source;
    GUID guid = GUID_NULL;
};
ErrorInfo TakeErrorInfo();

std::string Hex(HRESULT hr);
// A name that the product handed to the system, in the ANSI code page, to
// compare with a test's own paths.
std::string AnsiOf(const wchar_t* name);

// A fresh directory below the temporary directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// The worker process of the log's concurrency test: reports `reports`
// failures through an ErrorLog of its own and returns the exit code.
int RunReportWorker(int reports);

// Keys of the registry written by a test and removed after it, whatever happens.
class ScopedKey {
public:
    ScopedKey(HKEY root, const wchar_t* path) : root_(root), path_(path) {
        ::RegDeleteTreeW(root_, path_.c_str());
        ::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, key_.put(),
                          nullptr);
    }
    ~ScopedKey() {
        key_.reset();
        ::RegDeleteTreeW(root_, path_.c_str());
    }
    void Set(const wchar_t* name, DWORD type, const void* data, size_t size) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(data),
                                                  static_cast<DWORD>(size)));
    }
    void Set(const wchar_t* name, DWORD value) { Set(name, REG_DWORD, &value, sizeof value); }

private:
    HKEY root_;
    std::wstring path_;
    unique_hkey key_;
};

// Every test starts with an empty log and a new object created through the
// class object, as COM would create it.
class QVFileIOTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    com_ptr<IQVFileIO> object;
};
