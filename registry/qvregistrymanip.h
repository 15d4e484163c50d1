// The registry manipulator: the object's registry methods, on top of its
// error log. It holds no state of its own. Every method takes wide texts
// and hands them to the registry as they are (the registry keeps Unicode),
// closes every key it opens, and hands back one of its fixed messages
// through `message` on a failure. Keys are reached through platform/keys,
// which judges them where an administrator's policy applies.
#pragma once
#include "errorlog/errorlog.h"
#include <initializer_list>

class QVRegistryManip : public ErrorLog {
public:
    QVRegistryManip() = default;
    ~QVRegistryManip() override = default;

    // Steps of CreateKeyWithValue. `valueName` may be null: the key's default value.
    HRESULT CreateKey(HKEY root, const wchar_t* subKey, const char*& message, HKEY* key);
    HRESULT SetValue(HKEY key, const wchar_t* valueName, BSTR data, DWORD type, const char*& message);

    HRESULT CreateKeyWithValue(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, BSTR bstrData, DWORD dwType,
                               const char*& message);
    // The text reads and ReadNumber write no record: their callers decide.
    HRESULT ReadMachineString(BSTR bstrSubKey, BSTR bstrValueName, BSTR* bstrData, const char*& message);
    HRESULT ReadString(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, BSTR* bstrData, const char*& message);
    HRESULT DeleteKey(HKEY root, BSTR bstrSubKey, const char*& message);
    HRESULT DeleteValue(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, const char*& message);
    HRESULT ReadNumber(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, long* number, const char*& message);
    HRESULT CountSubKeys(HKEY root, BSTR bstrSubKey, long* count, const char*& message);
    HRESULT GetSubKeyNameAt(HKEY root, BSTR bstrSubKey, DWORD index, BSTR* name, const char*& message);

private:
    // One record under the source module "QVRegistryManip"; hands its last
    // piece back as the message and returns hr.
    HRESULT Record(HRESULT hr, int line, std::initializer_list<const char*> pieces, const char*& message);
    HRESULT ReadText(HKEY root, BSTR bstrSubKey, BSTR bstrValueName, bool nameRequired, BSTR* bstrData,
                     const char*& message);
};
