// The registry operations: each maps its root key and calls one method of the
// manipulator on the object itself. Five of them record a failure and hand
// its message on; the two reads only hand it on.
#include "object/qvfileio.h"
#include <new>

namespace {

const char kNoPredefinedKey[] = "Failed to find the predefined registry key";

// The predefined key of an lKEY_NAME; false for a value that names none
// (QV_KEY_DYN_DATA included).
bool FindPredefinedKey(lKEY_NAME kKey, HKEY& root) {
    switch (kKey) {
    case QV_KEY_CLASSES_ROOT: root = HKEY_CLASSES_ROOT; return true;
    case QV_KEY_CURRENT_USER: root = HKEY_CURRENT_USER; return true;
    case QV_KEY_LOCAL_MACHINE: root = HKEY_LOCAL_MACHINE; return true;
    case QV_KEY_CURRENT_CONFIG: root = HKEY_CURRENT_CONFIG; return true;
    default: return false;
    }
}

const char* RootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    return "HKEY_CURRENT_CONFIG";
}

}  // namespace

HRESULT QVFileIO::ConfineKey(HKEY root, BSTR subKey, Confinement::KeyAccess access) {
    if (!Confined()) return S_OK;
    ArgCopy copy(subKey);
    const std::string text = ToAnsi(copy.get());
    if (confinement_.AllowsKey(root, copy.get(), access)) return S_OK;
    const std::string key = std::string(RootName(root)) + (text.empty() ? "" : "\\") + text;
    return RefuseByPolicy("bstrSubKey: ", key.c_str());
}

// The steps every registry operation shares. An unmapped root fails with
// E_INVALIDARG before the registry is touched, so that a caller testing the
// HRESULT sees the failure; then the administrator's policy judges the key
// by the root the caller names. These operations have no catch-all message of
// their own; only an allocation can throw on their way, and it is answered
// with E_OUTOFMEMORY, recorded and described as every failure is, rather than
// left to escape the object.
template <class Call>
HRESULT QVFileIO::RegistryOperation(lKEY_NAME kKey, BSTR subKey, Confinement::KeyAccess access, bool record,
                                     Call&& call) noexcept {
    try {
        const JudgedCalls judged(Judge());
        HKEY root = nullptr;
        const char* message = kNoPredefinedKey;
        HRESULT hr = E_INVALIDARG;
        if (FindPredefinedKey(kKey, root)) {
            if (FAILED(hr = ConfineKey(root, subKey, access))) return hr;
            hr = call(root, message);
        }
        return SUCCEEDED(hr) ? S_OK : RegistryFailure(hr, message, record);
    } catch (...) {
        return RegistryFailure(E_OUTOFMEMORY, kOutOfMemory, record);
    }
}

// The two reads hand the message over without a record.
HRESULT QVFileIO::RegistryFailure(HRESULT hr, const char* message, bool record) noexcept {
    if (!message) message = "";
    if (record) return Fail(hr, __LINE__, {"bstrSubKey: ", message});
    ComErrorInfo(message);
    return hr;
}

STDMETHODIMP QVFileIO::CreateRegistryKey(lKEY_NAME kKey, BSTR bstrSubKey, BSTR bstrKeyValue, BSTR bstrKeyData,
                                         lDATA_TYPE lDataType) {
    return RegistryOperation(kKey, bstrSubKey, Confinement::KeyAccess::Write, true, [&](HKEY root, const char*& message) {
        return CreateKeyWithValue(root, bstrSubKey, bstrKeyValue, bstrKeyData, static_cast<DWORD>(lDataType), message);
    });
}

STDMETHODIMP QVFileIO::DeleteRegistryKey(lKEY_NAME kKey, BSTR bstrSubRegKey) {
    return RegistryOperation(kKey, bstrSubRegKey, Confinement::KeyAccess::DeleteKey, true,
                             [&](HKEY root, const char*& message) { return DeleteKey(root, bstrSubRegKey, message); });
}

STDMETHODIMP QVFileIO::DeleteRegistryValue(lKEY_NAME kKey, BSTR bstrSubKey, BSTR bstrKeyValue) {
    return RegistryOperation(kKey, bstrSubKey, Confinement::KeyAccess::Write, true, [&](HKEY root, const char*& message) {
        return DeleteValue(root, bstrSubKey, bstrKeyValue, message);
    });
}

STDMETHODIMP QVFileIO::ReadRegistryStringData(lKEY_NAME kKey, BSTR bstrSubKey, BSTR bstrRegValue, BSTR* bstrRegData) {
    if (!bstrRegData) return E_POINTER;
    return RegistryOperation(kKey, bstrSubKey, Confinement::KeyAccess::Read, false, [&](HKEY root, const char*& message) {
        return ReadString(root, bstrSubKey, bstrRegValue, bstrRegData, message);
    });
}

STDMETHODIMP QVFileIO::ReadRegistryNumericData(lKEY_NAME kKey, BSTR bstrSubKey, BSTR bstrRegValue, long* lpRegData) {
    if (!lpRegData) return E_POINTER;
    return RegistryOperation(kKey, bstrSubKey, Confinement::KeyAccess::Read, false, [&](HKEY root, const char*& message) {
        return ReadNumber(root, bstrSubKey, bstrRegValue, lpRegData, message);
    });
}

STDMETHODIMP QVFileIO::GetSubKeyCount(lKEY_NAME kKey, BSTR bstrSubKey, long* lpRegData) {
    if (!lpRegData) return E_POINTER;
    return RegistryOperation(kKey, bstrSubKey, Confinement::KeyAccess::Read, true, [&](HKEY root, const char*& message) {
        return CountSubKeys(root, bstrSubKey, lpRegData, message);
    });
}

STDMETHODIMP QVFileIO::GetRegSubKeyName(lKEY_NAME kKey, BSTR bstrSubKey, long lRegKeyIndex, BSTR* bstrRegKeyName) {
    if (!bstrRegKeyName) return E_POINTER;
    // A negative index is taken as an unsigned number: past every sub-key.
    return RegistryOperation(kKey, bstrSubKey, Confinement::KeyAccess::Read, true, [&](HKEY root, const char*& message) {
        return GetSubKeyNameAt(root, bstrSubKey, static_cast<DWORD>(lRegKeyIndex), bstrRegKeyName, message);
    });
}
