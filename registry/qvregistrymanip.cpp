// The registry manipulator's ten methods. Keys are owned by unique_hkey, so
// each is closed on every path out; on the success path the close is made
// by hand, since its failure is reported there.
#include "registry/qvregistrymanip.h"
#include "object/frame.h"
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

const char kManipModule[] = "QVRegistryManip.cpp";

const char kInvalidKeyPath[] = "Invalid key path.";
const char kFailedToCreateKey[] = "Failed to create the registry key.";
const char kFailedToSetValue[] = "Failed to set the registry value.";
const char kFailedToOpenKey[] = "Failed to open the registry key";
const char kFailedToReadData[] = "Failed to read the registy key data";
const char kFailedToCloseKey[] = "Failed to close the registry key";
const char kFailedToDeleteKey[] = "Failed to delete the registry key.";
const char kKeyOrDataNull[] = "The registry key or data is null.  Please enter values for these parameters.";

// The size of a text value's buffer and of a sub-key name's, in characters.
const DWORD kValueChars = 260;
const DWORD kNameChars = 260;

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A value's bytes as the registry's ANSI calls give them: a text value in
// the code page, any other as it is stored. ERROR_MORE_DATA when they do
// not fit `size` bytes; `size` gets how many there are.
LONG QueryAnsiBytes(HKEY key, const wchar_t* name, BYTE* data, DWORD& size, DWORD& type) {
    DWORD stored = 0;
    LONG code = win32.RegQueryValueExW(key, name, nullptr, &type, nullptr, &stored);
    if (code != ERROR_SUCCESS) return code;
    if (!IsText(type)) return win32.RegQueryValueExW(key, name, nullptr, &type, data, &size);
    std::wstring text(stored / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    code = win32.RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &got);
    if (code != ERROR_SUCCESS) return code;
    text.resize(got / sizeof(wchar_t));
    const std::string bytes = ToAnsi(text);
    const DWORD room = size;
    size = static_cast<DWORD>(bytes.size());
    if (bytes.size() > room) return ERROR_MORE_DATA;
    memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

// Closes a key that the method is done with; false when the close fails.
bool Close(unique_hkey& key) { return win32.RegCloseKey(key.release()) == ERROR_SUCCESS; }

// The HRESULT of a registry call's error code.
HRESULT FromCode(LONG code) { return HResultFromFailedCall(static_cast<DWORD>(code)); }

// The answer of creating a key or setting a value: a path the registry
// refuses has its own message.
const char* WriteFailure(LONG code, const char* otherMessage) {
    return code == ERROR_BAD_PATHNAME ? kInvalidKeyPath : otherMessage;
}

}  // namespace

HRESULT QVRegistryManip::Record(HRESULT hr, int line, std::initializer_list<const char*> pieces,
                                const char*& message) {
    message = *(pieces.end() - 1);
    ErrorReportPieces(hr, kManipModule, line, 0, pieces.begin(), pieces.size());
    return hr;
}

HRESULT QVRegistryManip::CreateKey(HKEY root, const wchar_t* subKey, const char*& message, HKEY* key) {
    try {
        const LONG code = keys::Create(root, subKey, KEY_ALL_ACCESS, key);
        if (code != ERROR_SUCCESS)
            return Record(FromCode(code), __LINE__, {"hKey: ", WriteFailure(code, kFailedToCreateKey)}, message);
        message = nullptr;
        return S_OK;
    } catch (...) {
        return Record(E_FAIL, __LINE__, {"hKey: ", kFailedToCreateKey}, message);
    }
}

HRESULT QVRegistryManip::SetValue(HKEY key, const wchar_t* valueName, BSTR data, DWORD type,
                                  const char*& message) {
    try {
        LONG code;
        if (type == REG_DWORD) {
            // The C library's atol rule: white space, a sign, digits; none is 0.
            const DWORD number = static_cast<DWORD>(strtol(AnsiData(data).data(), nullptr, 10));
            code = win32.RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(&number), sizeof number);
        } else if (IsText(type)) {
            // The text as the caller wrote it, up to its first NUL.
            const size_t length = data ? wcslen(data) : 0;
            code = win32.RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(data ? data : L""),
                                        static_cast<DWORD>((length + 1) * sizeof(wchar_t)));
        } else {
            // Any other type keeps the text's ANSI bytes, as stored before.
            const AnsiData bytes(data);
            code = win32.RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                        static_cast<DWORD>(bytes.size() + 1));
        }
        if (code != ERROR_SUCCESS)
            return Record(FromCode(code), __LINE__, {"hKey: ", WriteFailure(code, kFailedToSetValue)}, message);
        message = nullptr;
        return S_OK;
    } catch (...) {
        return Record(E_FAIL, __LINE__, {"hKey: ", kFailedToSetValue}, message);
    }
}

HRESULT QVRegistryManip::CreateKeyWithValue(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, BSTR bstrData,
                                            DWORD dwType, const char*& message) {
    try {
        ArgCopy subKey(bstrSubKey), valueName(bstrValueName), data(bstrData);
        if (!subKey.get() || !data.get()) return Record(E_INVALIDARG, __LINE__, {"bstrFilePath: ", kKeyOrDataNull}, message);
        unique_hkey key;
        HRESULT hr = CreateKey(root, subKey.get(), message, key.put());
        if (FAILED(hr)) return Record(hr, __LINE__, {"bstrFilePath: ", message}, message);
        hr = SetValue(key.get(), valueName.get(), data.get(), dwType, message);
        if (FAILED(hr)) return Record(hr, __LINE__, {"bstrFilePath: ", message}, message);
        if (!Close(key)) return Record(E_FAIL, __LINE__, {"hKey: ", kFailedToCloseKey}, message);
        return S_OK;
    } catch (...) {
        return Record(E_FAIL, __LINE__, {"bstrSubKey: ", kFailedToCreateKey}, message);
    }
}

HRESULT QVRegistryManip::ReadText(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, bool nameRequired,
                                  BSTR* bstrData, const char*& message) {
    ArgCopy subKey(bstrSubKey), valueName(bstrValueName);
    if (*bstrData) return message = kOutParameterNotNull, E_INVALIDARG;
    if (!subKey.get() || (nameRequired && !valueName.get())) return message = kKeyOrDataNull, E_INVALIDARG;
    unique_hkey key;
    LONG code = keys::Open(root, subKey.get(), KEY_READ, key.put());
    if (code != ERROR_SUCCESS) return message = kFailedToOpenKey, FromCode(code);
    // A text value is read as the registry keeps it, in Unicode, up to its
    // first NUL; any other as its bytes' characters in the code page. Either
    // fits 260 characters with its closing zero, or is refused.
    // One query answers a text value; the type it gives (also when the value
    // does not fit) sends any other to its bytes.
    wchar_t wide[kValueChars] = {};
    DWORD type = REG_NONE, size = sizeof wide;
    code = win32.RegQueryValueExW(key.get(), valueName.get(), nullptr, &type, reinterpret_cast<BYTE*>(wide), &size);
    std::wstring text;
    if ((code == ERROR_SUCCESS || code == ERROR_MORE_DATA) && IsText(type)) {
        text.assign(wide, wcsnlen(wide, kValueChars));
    } else if (code == ERROR_SUCCESS || code == ERROR_MORE_DATA) {
        char value[kValueChars] = {};
        size = sizeof value;
        code = QueryAnsiBytes(key.get(), valueName.get(), reinterpret_cast<BYTE*>(value), size, type);
        text = FromAnsi(value, strnlen(value, kValueChars));
    }
    if (code != ERROR_SUCCESS) return message = kFailedToReadData, FromCode(code);
    if (!Close(key)) return message = kFailedToCloseKey, E_FAIL;
    *bstrData = NewBstr(text);
    return S_OK;
}

HRESULT QVRegistryManip::ReadMachineString(BSTR bstrSubKey, BSTR bstrValueName, BSTR* bstrData,
                                           const char*& message) {
    return ReadText(HKEY_LOCAL_MACHINE, bstrSubKey, bstrValueName, true, bstrData, message);
}

HRESULT QVRegistryManip::ReadString(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, BSTR* bstrData,
                                    const char*& message) {
    return ReadText(root, bstrSubKey, bstrValueName, false, bstrData, message);
}

HRESULT QVRegistryManip::ReadNumber(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, long* number,
                                    const char*& message) {
    ArgCopy subKey(bstrSubKey), valueName(bstrValueName);
    if (!subKey.get() || !valueName.get()) return message = kKeyOrDataNull, E_INVALIDARG;
    unique_hkey key;
    LONG code = keys::Open(root, subKey.get(), KEY_READ, key.put());
    if (code != ERROR_SUCCESS) return message = kFailedToOpenKey, FromCode(code);
    // A value shorter than 4 bytes leaves the rest of the number zero; a
    // text value counts by its bytes in the code page ("d" is 100).
    DWORD value = 0, size = sizeof value, type = REG_NONE;
    code = QueryAnsiBytes(key.get(), valueName.get(), reinterpret_cast<BYTE*>(&value), size, type);
    if (code != ERROR_SUCCESS) return message = kFailedToReadData, FromCode(code);
    if (!Close(key)) return message = kFailedToCloseKey, E_FAIL;
    *number = static_cast<long>(value);
    return S_OK;
}

HRESULT QVRegistryManip::DeleteKey(HKEY root, BSTR bstrSubKey, const char*& message) {
    try {
        message = nullptr;
        // A null sub-key goes to the system as a null name: its answer decides.
        ArgCopy subKey(bstrSubKey);
        const LONG code = keys::Delete(root, subKey.get());
        if (code != ERROR_SUCCESS) return Record(E_FAIL, __LINE__, {"DeleteKey: ", kFailedToDeleteKey}, message);
        return S_OK;
    } catch (...) {
        return Record(E_FAIL, __LINE__, {"DeleteKey: ", kFailedToDeleteKey}, message);
    }
}

HRESULT QVRegistryManip::DeleteValue(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, const char*& message) {
    try {
        ArgCopy subKey(bstrSubKey), valueName(bstrValueName);
        if (!subKey.get() || !valueName.get())
            return Record(E_INVALIDARG, __LINE__, {"bstrFilePath: ", kKeyOrDataNull}, message);
        const std::string subKeyText = ToAnsi(subKey.get()), nameText = ToAnsi(valueName.get());
        unique_hkey key;
        LONG code = keys::Open(root, subKey.get(), KEY_WRITE, key.put());
        if (code != ERROR_SUCCESS)
            return Record(FromCode(code), __LINE__, {"bstrSubKey: ", subKeyText.c_str(), "Error: ", kFailedToOpenKey},
                          message);
        code = win32.RegDeleteValueW(key.get(), valueName.get());
        if (code != ERROR_SUCCESS)
            return Record(FromCode(code), __LINE__, {"bstrSubKey: ", nameText.c_str(), "Error: ", kFailedToReadData},
                          message);
        if (!Close(key)) return Record(E_FAIL, __LINE__, {"OpenKey: ", kFailedToCloseKey}, message);
        return S_OK;
    } catch (...) {
        return Record(E_FAIL, __LINE__, {"Error: ", kFailedToReadData}, message);
    }
}

HRESULT QVRegistryManip::CountSubKeys(HKEY root, BSTR bstrSubKey, long* count, const char*& message) {
    try {
        ArgCopy subKey(bstrSubKey);
        if (!subKey.get()) return Record(E_INVALIDARG, __LINE__, {"bstrFilePath: ", kKeyOrDataNull}, message);
        const std::string subKeyText = ToAnsi(subKey.get());
        unique_hkey key;
        LONG code = keys::Open(root, subKey.get(), KEY_READ, key.put());
        if (code != ERROR_SUCCESS)
            return Record(FromCode(code), __LINE__, {"bstrSubKey: ", subKeyText.c_str(), "Error: ", kFailedToOpenKey},
                          message);
        DWORD subKeys = 0;
        code = win32.RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr);
        if (code != ERROR_SUCCESS) {
            // The box names the error the call returned: registry calls do
            // not set the thread's last error.
            char* text = nullptr;
            win32.FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                 reinterpret_cast<char*>(&text), 0, nullptr);
            const unique_hlocal owner(text);
            win32.MessageBoxA(nullptr, text ? text : "", "Error", MB_OK | MB_ICONINFORMATION);
            key.reset();
            return Record(FromCode(code), __LINE__,
                          {"bstrSubKey: ", subKeyText.c_str(), "Error: ", kFailedToReadData}, message);
        }
        if (!Close(key)) return Record(E_FAIL, __LINE__, {"OpenKey: ", kFailedToCloseKey}, message);
        *count = static_cast<long>(subKeys);
        return S_OK;
    } catch (...) {
        return Record(E_FAIL, __LINE__, {"Error: ", kFailedToReadData}, message);
    }
}

HRESULT QVRegistryManip::GetSubKeyNameAt(HKEY root, BSTR bstrSubKey, DWORD index, BSTR* name, const char*& message) {
    try {
        wchar_t buffer[kNameChars] = {};
        ArgCopy subKey(bstrSubKey);
        if (*name) return Record(E_INVALIDARG, __LINE__, {"bstrDrive: ", kOutParameterNotNull}, message);
        if (!subKey.get()) return Record(E_INVALIDARG, __LINE__, {"bstrFilePath: ", kKeyOrDataNull}, message);
        const std::string subKeyText = ToAnsi(subKey.get());
        unique_hkey key;
        LONG code = keys::Open(root, subKey.get(), KEY_READ, key.put());
        if (code != ERROR_SUCCESS)
            return Record(FromCode(code), __LINE__, {"bstrSubKey: ", subKeyText.c_str(), "Error: ", kFailedToOpenKey},
                          message);
        DWORD length = kNameChars;
        code = win32.RegEnumKeyExW(key.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (code != ERROR_SUCCESS)
            return Record(FromCode(code), __LINE__,
                          {"bstrSubKey: ", subKeyText.c_str(), "Error: ", kFailedToReadData}, message);
        if (!Close(key)) return Record(E_FAIL, __LINE__, {"OpenKey: ", kFailedToCloseKey}, message);
        *name = NewBstr(std::wstring(buffer, wcsnlen(buffer, kNameChars)));
        return S_OK;
    } catch (...) {
        return Record(E_FAIL, __LINE__, {"Error: ", kFailedToReadData}, message);
    }
}
