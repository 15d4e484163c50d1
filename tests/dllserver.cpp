// Calls DllRegisterServer (or, with /u, DllUnregisterServer) of a library
// and prints its HRESULT: what regsvr32 /s does not show.
//   dllserver [/u] LIBRARY
#include <windows.h>
#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    const bool unregister = argc == 3 && wcscmp(argv[1], L"/u") == 0;
    if (argc != (unregister ? 3 : 2)) {
        fprintf(stderr, "usage: dllserver [/u] LIBRARY\n");
        return 2;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    ::OleInitialize(nullptr);  // as regsvr32 does
    HMODULE library = ::LoadLibraryExW(argv[argc - 1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) {
        printf("LoadLibraryEx failed: error %lu\n", ::GetLastError());
        return 3;
    }
    using Entry = HRESULT(WINAPI*)();
    const auto call = reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(library, entry)));
    if (!call) {
        printf("%s not found\n", entry);
        return 4;
    }
    const HRESULT hr = call();
    printf("%s: 0x%08lX\n", entry, static_cast<unsigned long>(hr));
    ::FreeLibrary(library);
    ::OleUninitialize();
    return FAILED(hr) ? 5 : 0;
}
