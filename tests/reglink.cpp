// Makes or removes a registry symbolic link, which no script can: the
// confinement tests' way of planting a link inside an allowed key.
//   reglink ROOT SUBKEY TARGETROOT TARGETSUBKEY   ROOT: HKCU or HKLM; the
//                                                 target key must exist
//   reglink /d ROOT SUBKEY                        removes the link itself
#include <windows.h>
#include <winternl.h>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

HKEY Root(const wchar_t* name) { return wcscmp(name, L"HKLM") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

template <class Fn>
Fn FromNtdll(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name)));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool remove = argc == 4 && wcscmp(argv[1], L"/d") == 0;
    if (!remove && argc != 5) {
        fprintf(stderr, "usage: reglink ROOT SUBKEY TARGETROOT TARGETSUBKEY | reglink /d ROOT SUBKEY\n");
        return 2;
    }
    HKEY key = nullptr;
    if (remove) {
        LONG code = ::RegOpenKeyExW(Root(argv[2]), argv[3], REG_OPTION_OPEN_LINK, DELETE, &key);
        if (code != ERROR_SUCCESS) return printf("open: %ld\n", code), 1;
        const NTSTATUS status = FromNtdll<NTSTATUS(NTAPI*)(HANDLE)>("NtDeleteKey")(key);
        ::RegCloseKey(key);
        return status == 0 ? 0 : (printf("delete: %lx\n", static_cast<unsigned long>(status)), 1);
    }
    // The target by the registry's own name, which is what a link holds.
    HKEY target = nullptr;
    LONG code = ::RegOpenKeyExW(Root(argv[3]), argv[4], 0, KEY_QUERY_VALUE, &target);
    if (code != ERROR_SUCCESS) return printf("target: %ld\n", code), 1;
    std::vector<BYTE> name(4096);
    ULONG length = 0;
    const NTSTATUS status = FromNtdll<NTSTATUS(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG)>("NtQueryKey")(
        target, 3, name.data(), static_cast<ULONG>(name.size()), &length);
    ::RegCloseKey(target);
    if (status != 0) return printf("name: %lx\n", static_cast<unsigned long>(status)), 1;
    const ULONG bytes = *reinterpret_cast<ULONG*>(name.data());
    code = ::RegCreateKeyExW(Root(argv[1]), argv[2], 0, nullptr, REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK,
                             KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr);
    if (code != ERROR_SUCCESS) return printf("create: %ld\n", code), 1;
    code = ::RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, name.data() + sizeof(ULONG), bytes);
    ::RegCloseKey(key);
    return code == ERROR_SUCCESS ? 0 : (printf("link: %ld\n", code), 1);
}
