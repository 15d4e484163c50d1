// DllRegisterServer and DllUnregisterServer: the registration script kept
// as the "REGISTRY" resource, and the type library.
#include "platform/hresult.h"
#include "platform/raii.h"
#include "server/module.h"
#include "server/registrar.h"
#include "server/registration.h"
#include "server/resource.h"
#include "qvfileio_idl.h"
#include <cstdio>
#include <string>

namespace {

// The library's own full file name, never shortened.
HRESULT ModuleFileName(std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(Module::Instance(), buffer, MAX_PATH);
    if (length == 0) return HResultFromLastError();
    if (length >= MAX_PATH) return HResultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, length);
    return S_OK;
}

HRESULT RunOwnClassScript(bool registering) {
    std::string path;
    const HRESULT hr = ModuleFileName(path);
    return FAILED(hr) ? hr : RunClassScript(Module::Instance(), path, registering);
}

// The type library of the module's own resources, or of the ".tlb" file
// beside it. `loadedFrom` receives the path it came from.
HRESULT LoadOwnTypeLib(ITypeLib** library, std::wstring& loadedFrom) {
    std::string path;
    HRESULT hr = ModuleFileName(path);
    if (FAILED(hr)) return hr;
    wchar_t wide[MAX_PATH + 8] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    loadedFrom = wide;
    hr = ::LoadTypeLib(loadedFrom.c_str(), library);
    if (SUCCEEDED(hr)) return hr;
    const size_t dot = loadedFrom.find_last_of(L'.');
    const size_t separator = loadedFrom.find_last_of(L"\\/:");
    if (dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator)) loadedFrom.resize(dot);
    loadedFrom += L".tlb";
    return ::LoadTypeLib(loadedFrom.c_str(), library);
}

// The view of the registry that the other width of this library uses: on
// 64-bit Windows the class key is kept apart for 32 and 64 bits, while the
// ProgID and the type library's key are shared by both.
const REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::string GuidText(REFGUID guid) {
    wchar_t wide[40] = {};
    ::StringFromGUID2(guid, wide, 40);
    char text[40] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// Removes this view's class key; true when the other width's library is
// still registered. On 32-bit Windows there is no other view: the flag is
// ignored there, and the key just removed is not found again.
bool RemoveOwnClassKeepingOther() {
    const std::string classKey = GuidText(CLSID_QVFileIO);
    unique_hkey classes;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_ALL_ACCESS, classes.put()) == ERROR_SUCCESS)
        ::RegDeleteTreeA(classes.get(), classKey.c_str());
    unique_hkey other;
    return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, ("CLSID\\" + classKey + "\\InprocServer32").c_str(), 0,
                           KEY_READ | kOtherView, other.put()) == ERROR_SUCCESS;
}

}  // namespace

HRESULT RunClassScript(HMODULE module, const std::string& path, bool registering) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(IDR_QVFILEIO_REGISTRY), "REGISTRY");
    if (!found) return HResultFromLastError();
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return HResultFromLastError();
    const std::string script(static_cast<const char*>(data), ::SizeofResource(module, found));
    std::string quoted;
    for (char c : path) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return RunRegistrationScript(script, {{"Module", quoted}}, registering);
}

HRESULT RegisterTypeLibrary(ITypeLib* library, const std::wstring& path) {
    std::wstring helpDirectory = path.substr(0, path.find_last_of(L"\\/:") + 1);
    return ::RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()), const_cast<LPOLESTR>(helpDirectory.c_str()));
}

STDAPI DllRegisterServer() {
    HRESULT hr = RunOwnClassScript(true);
    if (FAILED(hr)) return hr;
    com_ptr<ITypeLib> library;
    std::wstring path;
    hr = LoadOwnTypeLib(library.put(), path);
    return FAILED(hr) ? hr : RegisterTypeLibrary(library.get(), path);
}

STDAPI DllUnregisterServer() {
    // While the other width stays registered, only what is this width's own
    // goes: its class key and its entry of the type library.
    const bool otherWidthStays = RemoveOwnClassKeepingOther();
    if (!otherWidthStays) RunOwnClassScript(false);
    com_ptr<ITypeLib> library;
    std::wstring path;
    if (FAILED(LoadOwnTypeLib(library.put(), path))) return S_OK;
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes)) || !attributes) return S_OK;
    if (otherWidthStays) {
        char entry[128];
        snprintf(entry, sizeof entry, "TypeLib\\%s\\%x.%x\\%lx\\%s", GuidText(attributes->guid).c_str(),
                 attributes->wMajorVerNum, attributes->wMinorVerNum, static_cast<unsigned long>(attributes->lcid),
                 attributes->syskind == SYS_WIN64 ? "win64" : "win32");
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, entry);
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, entry);
        library->ReleaseTLibAttr(attributes);
        return S_OK;
    }
    using UnRegisterFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    unique_hmodule oleaut(::LoadLibraryA("oleaut32.dll"));
    if (oleaut) {
        if (auto unregister = reinterpret_cast<UnRegisterFn>(::GetProcAddress(oleaut.get(), "UnRegisterTypeLib")))
            unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                       attributes->syskind);
    }
    library->ReleaseTLibAttr(attributes);
    return S_OK;
}
