// The administrator's policy where Wine and Windows differ: Windows shows a
// symbolic link to a file as a reparse point and opens its target; Wine 8
// shows it as a plain file. Windows' view is pinned through the seam.
#include "support.h"
#include <cwchar>

namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\QVFileIO";

// The machine policy for the life of the object: Folders names one folder.
class ScopedPolicy {
public:
    explicit ScopedPolicy(const std::wstring& folder) {
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                          nullptr);
        const std::wstring value = folder + L'\0';
        ::RegSetValueExW(key, L"Folders", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
    }
    ~ScopedPolicy() { ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, KEY_WOW64_64KEY, 0); }
};

// Windows' view of the file allowed\link.txt, a link to `g_target`.
const wchar_t kLink[] = L"\\allowed\\link.txt";
std::wstring g_target;
bool IsLink(const std::wstring& path) {
    const size_t length = wcslen(kLink);
    return path.size() >= length && _wcsicmp(path.c_str() + path.size() - length, kLink) == 0;
}
DWORD WINAPI LinkAttributes(LPCWSTR path) {
    const DWORD attributes = ::GetFileAttributesW(path);
    return IsLink(path) ? attributes | FILE_ATTRIBUTE_REPARSE_POINT : attributes;
}
DWORD WINAPI LinkFinalPath(HANDLE file, LPWSTR buffer, DWORD size, DWORD flags) {
    const DWORD length = ::GetFinalPathNameByHandleW(file, buffer, size, flags);
    if (length == 0 || length >= size || !IsLink(buffer)) return length;
    const std::wstring target = L"\\\\?\\" + g_target;
    if (target.size() >= size) return static_cast<DWORD>(target.size() + 1);
    wcscpy(buffer, target.c_str());
    return static_cast<DWORD>(target.size());
}

}  // namespace

using ConfinementTest = QVFileIOTest;

TEST_F(ConfinementTest, FileLinkLeadingOutIsOutside) {
    ScratchDir dir;
    ::CreateDirectoryA((dir / "allowed").c_str(), nullptr);
    ::CreateDirectoryA((dir / "secret").c_str(), nullptr);
    WriteBytes(dir / "allowed\\link.txt", "stand-in");
    WriteBytes(dir / "allowed\\plain.txt", "plain");
    WriteBytes(dir / "secret\\s.txt", "secret");
    g_target = Bstr(dir / "secret\\s.txt").str();
    ScopedPolicy policy(Bstr(dir / "allowed").str());
    ScopedWin32Override<decltype(win32.GetFileAttributesW)> attributes(win32.GetFileAttributesW, &LinkAttributes);
    ScopedWin32Override<decltype(win32.GetFinalPathNameByHandleW)> final(win32.GetFinalPathNameByHandleW,
                                                                          &LinkFinalPath);
    com_ptr<IClassFactory> factory;
    com_ptr<IQVFileIO> confined;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, factory.put_void()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IQVFileIO, confined.put_void()));

    Bstr text;
    EXPECT_EQ(E_ACCESSDENIED, confined->Read(Bstr(dir / "allowed\\link.txt"), text.put()));
    EXPECT_EQ(L"Refused by the administrator's policy", TakeErrorInfo().description);
    EXPECT_EQ(E_ACCESSDENIED, confined->Write(Bstr(L"x"), Bstr(dir / "allowed\\link.txt"), VARIANT_TRUE, VARIANT_TRUE,
                                              VARIANT_TRUE));
    EXPECT_EQ("secret", ReadBytes(dir / "secret\\s.txt"));
    EXPECT_EQ(S_OK, confined->Read(Bstr(dir / "allowed\\plain.txt"), text.put()));
    const std::vector<LogRecord> log = ReadLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ("szDirPath: " + (dir / "allowed\\link.txt"), log[0].pieces.at(0));
}
