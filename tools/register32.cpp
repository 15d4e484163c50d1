// Registers a 32-bit QVFileIO3.dll from a 64-bit process without running
// any of its code: what its DllRegisterServer writes when the 32-bit
// regsvr32 runs it on 64-bit Windows. The Windows Installer package is
// built from that registration, also where 32-bit programs cannot run.
// The library's registration script, its "REGISTRY" resource, is read as
// data and run by the registrar that DllRegisterServer runs, against a
// scratch key standing for HKEY_CLASSES_ROOT; its keys are then copied to
// where a 32-bit program's keys go: the keys that 64-bit Windows keeps
// apart for 32-bit programs (the class key among them) below
// Classes\Wow6432Node, the others (the ProgID) to the key both views share.
// Its type library, read without loading the library, goes to
// RegisterTypeLib as DllRegisterServer hands it over: RegisterTypeLib files
// it by its own syskind (win32) under the key both views share, and writes
// the interfaces' keys into both views, whichever width calls it.
//   register32.exe DLL     (DLL: the library's Windows path, which the
//                           registration names)
#include "platform/raii.h"
#include "server/registration.h"
#include <cstdio>
#include <string>

namespace {

const char kScratch[] = "Software\\QVFileIO register32 scratch";  // below HKEY_CURRENT_USER

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "register32: %s (0x%08lx)\n", what, static_cast<unsigned long>(hr));
    return 1;
}

// Below Classes, 64-bit Windows keeps these apart for 32-bit programs and
// shares every other key between both views.
bool KeptApart(const char* name) {
    for (const char* apart : {"CLSID", "DirectShow", "Interface", "Media Type", "MediaFoundation"})
        if (::lstrcmpiA(name, apart) == 0) return true;
    return false;
}

// The registration script run against the scratch key.
HRESULT RunScriptInScratch(HMODULE library, const std::string& path, HKEY scratch) {
    LONG status = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    const HRESULT hr = RunClassScript(library, path, true);
    status = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    return FAILED(hr) ? hr : HRESULT_FROM_WIN32(status);
}

// Each key of the scratch copied into its view of the machine's classes.
HRESULT CopyToViews(HKEY scratch) {
    char name[256];
    DWORD length = sizeof name;
    for (DWORD i = 0; ::RegEnumKeyExA(scratch, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = sizeof name) {
        const std::string target = std::string("Software\\Classes\\") + (KeptApart(name) ? "Wow6432Node\\" : "") + name;
        unique_hkey to;
        LONG status = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, target.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, to.put(), nullptr);
        if (status == ERROR_SUCCESS) status = ::RegCopyTreeA(scratch, name, to.get());
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: register32 DLL\n");
        return 2;
    }
    // The full path, as the library's own GetModuleFileName would give it.
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = ::GetFullPathNameW(argv[1], MAX_PATH, path, nullptr);
    if (length == 0 || length >= MAX_PATH) return Fail("the library's path is not usable", E_INVALIDARG);
    char ansi[2 * MAX_PATH + 2] = {};
    if (!::WideCharToMultiByte(CP_ACP, 0, path, -1, ansi, sizeof ansi, nullptr, nullptr))
        return Fail("the library's path has no ANSI form", HRESULT_FROM_WIN32(::GetLastError()));

    com_ptr<ITypeLib> types;
    HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, types.put());
    if (FAILED(hr)) return Fail("the library's type library cannot be read", hr);
    TLIBATTR* attributes = nullptr;
    hr = types->GetLibAttr(&attributes);
    if (FAILED(hr)) return Fail("the library's type library cannot be read", hr);
    const SYSKIND syskind = attributes->syskind;
    types->ReleaseTLibAttr(attributes);
    if (syskind != SYS_WIN32) return Fail("this is not the 32-bit library", E_INVALIDARG);

    unique_hmodule data(::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!data) return Fail("the library cannot be read", HRESULT_FROM_WIN32(::GetLastError()));
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    unique_hkey scratch;
    hr = HRESULT_FROM_WIN32(::RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                              KEY_ALL_ACCESS, nullptr, scratch.put(), nullptr));
    if (SUCCEEDED(hr)) hr = RunScriptInScratch(data.get(), ansi, scratch.get());
    if (SUCCEEDED(hr)) hr = CopyToViews(scratch.get());
    scratch.reset();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    if (FAILED(hr)) return Fail("the registration script failed", hr);
    hr = RegisterTypeLibrary(types.get(), path);
    if (FAILED(hr)) return Fail("the type library was not registered", hr);
    std::printf("registered %s as the 32-bit library\n", ansi);
    return 0;
}
