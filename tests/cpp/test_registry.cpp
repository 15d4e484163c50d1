// The registry operations where the registry must be made to fail, with
// null texts that no script can pass, and with stored values at the edges
// of the buffers.
#include "tests/cpp/support.h"

namespace {

const wchar_t kKey[] = L"Software\\QVFileIORegistryTest";
const char kKeyAnsi[] = "Software\\QVFileIORegistryTest";
const char kReadFailed[] = "Failed to read the registy key data";

LONG failure;
HKEY keyLeft;  // the key a failing close was given
LONG WINAPI FailClose(HKEY key) {
    ::RegCloseKey(key);  // the real key still goes
    keyLeft = key;
    return failure;
}
LONG WINAPI FailQueryInfo(HKEY, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                          LPDWORD, PFILETIME) {
    return failure;
}
LONG WINAPI NameTooLong(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME) { return ERROR_MORE_DATA; }
LONG WINAPI ThrowOnSet(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD) { throw std::bad_alloc(); }
LONG WINAPI ThrowOnOpen(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) { throw std::bad_alloc(); }

struct Box {
    static int shown;
    static std::string text, caption;
    static UINT style;
    static int WINAPI Show(HWND, LPCSTR t, LPCSTR c, UINT s) {
        ++shown, text = t, caption = c, style = s;
        return IDOK;
    }
};
int Box::shown;
std::string Box::text, Box::caption;
UINT Box::style;

class RegistryTest : public QVFileIOTest {
protected:
    void SetUp() override {
        QVFileIOTest::SetUp();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kKeyAnsi);
        ASSERT_EQ(S_OK, object->CreateRegistryKey(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"Text"), Bstr(L"t"), QV_REG_SZ));
        DeleteLog();
    }
    void TearDown() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kKeyAnsi);
        QVFileIOTest::TearDown();
    }
    void Store(const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_CURRENT_USER, kKeyAnsi, name, type, bytes.data(),
                                                   static_cast<DWORD>(bytes.size())));
    }
    std::wstring Description() { return TakeErrorInfo().description; }
};

TEST_F(RegistryTest, ValuesAtTheEdgesOfTheBuffers) {
    Store("Exact", REG_BINARY, std::string(260, 'x'));  // no terminating zero
    Store("Over", REG_SZ, std::string(260, 'y') + '\0');
    Store("Short", REG_BINARY, std::string("\x05\x01", 2));
    Bstr text;
    EXPECT_EQ(S_OK, object->ReadRegistryStringData(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"Exact"), text.put()));
    EXPECT_EQ(std::wstring(260, L'x'), text.str()) << "read no further than the buffer";
    Bstr over;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MORE_DATA),
              object->ReadRegistryStringData(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"Over"), over.put()));
    EXPECT_TRUE(over.null());
    long number = -7;
    EXPECT_EQ(S_OK, object->ReadRegistryNumericData(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"Short"), &number));
    EXPECT_EQ(0x0105, number) << "the bytes a short value leaves are zero";
    EXPECT_TRUE(ReadLog().empty());
}

TEST_F(RegistryTest, NullTextsAndHeldOutStrings) {
    const std::wstring nullMessage = L"The registry key or data is null.  Please enter values for these parameters.";
    EXPECT_EQ(E_INVALIDARG, object->CreateRegistryKey(QV_KEY_CURRENT_USER, nullptr, Bstr(L"v"), Bstr(L"d"), QV_REG_SZ));
    EXPECT_EQ(nullMessage, Description());
    EXPECT_EQ(E_INVALIDARG, object->CreateRegistryKey(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"v"), nullptr, QV_REG_SZ));
    EXPECT_EQ(S_OK, object->CreateRegistryKey(QV_KEY_CURRENT_USER, Bstr(kKey), nullptr, Bstr(L"default"), QV_REG_SZ));
    Bstr text;
    EXPECT_EQ(S_OK, object->ReadRegistryStringData(QV_KEY_CURRENT_USER, Bstr(kKey), nullptr, text.put()));
    EXPECT_EQ(L"default", text.str());
    long number = -7;
    EXPECT_EQ(E_INVALIDARG, object->ReadRegistryNumericData(QV_KEY_CURRENT_USER, Bstr(kKey), nullptr, &number));
    EXPECT_EQ(-7, number);
    EXPECT_EQ(E_INVALIDARG, object->DeleteRegistryValue(QV_KEY_CURRENT_USER, Bstr(kKey), nullptr));

    // An out-string already held is refused before the registry is touched.
    BSTR held = ::SysAllocString(L"");
    EXPECT_EQ(E_INVALIDARG, object->ReadRegistryStringData(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"Text"), &held));
    EXPECT_EQ(L"The out-parameter was passed as non-null.", Description());
    EXPECT_EQ(E_INVALIDARG, object->GetRegSubKeyName(QV_KEY_CURRENT_USER, Bstr(kKey), 0, &held));
    EXPECT_EQ(0u, ::SysStringLen(held));
    ::SysFreeString(held);

    // An unmapped root writes no out-value either.
    number = -7;
    EXPECT_EQ(E_INVALIDARG, object->GetSubKeyCount(static_cast<lKEY_NAME>(4), Bstr(kKey), &number));
    EXPECT_EQ(-7, number);
    EXPECT_EQ(L"Failed to find the predefined registry key", Description());
}

TEST_F(RegistryTest, CloseFailingAfterSuccess) {
    failure = ERROR_INVALID_HANDLE;
    ScopedWin32Override<decltype(win32.RegCloseKey)> fake(win32.RegCloseKey, &FailClose);
    long count = -7;
    EXPECT_EQ(E_FAIL, object->GetSubKeyCount(QV_KEY_CURRENT_USER, Bstr(kKey), &count));
    EXPECT_EQ(-7, count) << "nothing is written after a failed close";
    EXPECT_EQ(L"Failed to close the registry key", Description());
    EXPECT_EQ(E_FAIL, object->CreateRegistryKey(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"v"), Bstr(L"d"), QV_REG_SZ));
    Bstr text;
    EXPECT_EQ(E_FAIL, object->ReadRegistryStringData(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"Text"), text.put()));
    EXPECT_TRUE(text.null());
    EXPECT_EQ((std::vector<std::string>{"80004005 OpenKey: Failed to close the registry key",
                                        "80004005 bstrSubKey: Failed to close the registry key",
                                        "80004005 hKey: Failed to close the registry key",
                                        "80004005 bstrSubKey: Failed to close the registry key"}),
              LogLines());
}

TEST_F(RegistryTest, CountThatCannotBeReadShowsItsBoxOnce) {
    failure = ERROR_ACCESS_DENIED;
    ScopedWin32Override<decltype(win32.RegQueryInfoKeyW)> fake(win32.RegQueryInfoKeyW, &FailQueryInfo);
    ScopedWin32Override<decltype(win32.MessageBoxA)> box(win32.MessageBoxA, &Box::Show);
    Box::shown = 0;
    long count = -7;
    EXPECT_EQ(E_ACCESSDENIED, object->GetSubKeyCount(QV_KEY_CURRENT_USER, Bstr(kKey), &count));
    EXPECT_EQ(-7, count);
    EXPECT_EQ(1, Box::shown);
    EXPECT_EQ("Error", Box::caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONINFORMATION), Box::style);
    char system[256] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0,
                     system, sizeof system, nullptr);
    EXPECT_EQ(system, Box::text);
    EXPECT_EQ((std::vector<std::string>{"80070005 bstrSubKey: " + std::string(kKeyAnsi),
                                        "80070005 Error: " + std::string(kReadFailed),
                                        "80070005 bstrSubKey: " + std::string(kReadFailed)}),
              LogLines());
}

TEST_F(RegistryTest, NameTooLongAndExceptionInsideAGuardedMethod) {
    {
        ScopedWin32Override<decltype(win32.RegEnumKeyExW)> fake(win32.RegEnumKeyExW, &NameTooLong);
        Bstr name;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MORE_DATA),
                  object->GetRegSubKeyName(QV_KEY_CURRENT_USER, Bstr(L"Software"), 0, name.put()));
        EXPECT_TRUE(name.null());
        EXPECT_EQ(std::wstring(kReadFailed, kReadFailed + strlen(kReadFailed)), Description());
    }
    DeleteLog();
    ScopedWin32Override<decltype(win32.RegSetValueExW)> fake(win32.RegSetValueExW, &ThrowOnSet);
    EXPECT_EQ(E_FAIL, object->CreateRegistryKey(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"v"), Bstr(L"d"), QV_REG_SZ));
    EXPECT_EQ(L"Failed to set the registry value.", Description());
    EXPECT_EQ((std::vector<std::string>{"80004005 hKey: Failed to set the registry value.",
                                        "80004005 bstrFilePath: Failed to set the registry value.",
                                        "80004005 bstrSubKey: Failed to set the registry value."}),
              LogLines());
}

// The reads' running out of memory is described, without a record, as
// their every failure.
TEST_F(RegistryTest, ReadsOutOfMemoryAreDescribed) {
    ScopedWin32Override<decltype(win32.RegOpenKeyExW)> fake(win32.RegOpenKeyExW, &ThrowOnOpen);
    Bstr text;
    EXPECT_EQ(E_OUTOFMEMORY, object->ReadRegistryStringData(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"Text"), text.put()));
    EXPECT_EQ(L"Not enough memory to complete the operation", Description());
    long number = 0;
    EXPECT_EQ(E_OUTOFMEMORY, object->ReadRegistryNumericData(QV_KEY_CURRENT_USER, Bstr(kKey), Bstr(L"Text"), &number));
    EXPECT_EQ(L"Not enough memory to complete the operation", Description());
    EXPECT_TRUE(ReadLog().empty());
}

}  // namespace
