// Reads the type library embedded in a QVFileIO3.dll of either width without
// loading the library as code, as a 64-bit process can do with the 32-bit
// build on a host that runs no 32-bit programs.
//   typelib-check.exe DLL 32|64     exit status 0 when every check holds
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <cstring>

namespace {

int failures = 0;

void Expect(bool ok, const char* what, long actual) {
    std::printf("%s: %s (%ld)\n", ok ? "ok" : "FAIL", what, actual);
    if (!ok) ++failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: typelib-check DLL 32|64\n");
        return 2;
    }
    const SYSKIND expected = std::wcscmp(argv[2], L"64") == 0 ? SYS_WIN64 : SYS_WIN32;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(argv[1], REGKIND_NONE, &lib);
    Expect(SUCCEEDED(hr), "LoadTypeLibEx reads the embedded type library", hr);
    if (FAILED(hr)) return 1;

    TLIBATTR* attr = nullptr;
    if (SUCCEEDED(lib->GetLibAttr(&attr))) {
        Expect(attr->syskind == expected, "the library's syskind is its width's", attr->syskind);
        Expect(attr->wMajorVerNum == 1 && attr->wMinorVerNum == 0, "version 1.0",
               attr->wMajorVerNum * 100 + attr->wMinorVerNum);
        Expect(attr->lcid == 0x409, "locale 0x409", attr->lcid);
        lib->ReleaseTLibAttr(attr);
    }
    BSTR name = nullptr, doc = nullptr;
    lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    Expect(name && std::wcscmp(name, L"QVFILEIOSVRLib") == 0, "named QVFILEIOSVRLib", 0);
    Expect(doc && std::wcscmp(doc, L"QVFileIOSvr 3.0 Type Library") == 0, "described as \"QVFileIOSvr 3.0 Type Library\"", 0);
    SysFreeString(name);
    SysFreeString(doc);
    Expect(lib->GetTypeInfoCount() == 4, "four types: the interface, the class and the two enumerations",
           lib->GetTypeInfoCount());

    // The interface's own operations: 42, DISPIDs 1 to 42.
    long operations = 0;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind;
        ITypeInfo* info = nullptr;
        if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_DISPATCH) continue;
        if (FAILED(lib->GetTypeInfo(i, &info))) continue;
        TYPEATTR* type = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&type))) {
            for (WORD f = 0; f < type->cFuncs; ++f) {
                FUNCDESC* desc = nullptr;
                if (FAILED(info->GetFuncDesc(f, &desc))) continue;
                if (desc->memid >= 1 && desc->memid <= 42) ++operations;
                info->ReleaseFuncDesc(desc);
            }
            info->ReleaseTypeAttr(type);
        }
        info->Release();
    }
    Expect(operations == 42, "the dual interface has DISPIDs 1 to 42", operations);
    lib->Release();
    return failures == 0 ? 0 : 1;
}
