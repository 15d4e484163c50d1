// The administrator's policy where Wine and Windows differ: Windows shows a
// symbolic link to a file as a reparse point and opens its target; Wine 8
// shows it as a plain file. Windows' view is pinned through the seam.
#include "support.h"
#include <cwchar>
#include <functional>

namespace {

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
    ScopedKey policy(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\QVFileIO");
    const std::wstring folders = Bstr(dir / "allowed").str() + L'\0';
    policy.Set(L"Folders", REG_MULTI_SZ, folders.c_str(), (folders.size() + 1) * sizeof(wchar_t));
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

TEST_F(ConfinementTest, BadEntriesAllowNothingTheyShouldNot) {
    ScratchDir dir;
    ::CreateDirectoryA((dir / "allowed").c_str(), nullptr);
    WriteBytes(dir / "allowed\\a.txt", "a");
    WriteBytes(dir / "secret.txt", "secret");
    // Thousands of entries: long ones, wildcards, relative ones, a file.
    std::wstring folders;
    for (int i = 0; i < 3000; ++i) folders += L"C:\\qvnone\\" + std::wstring(290, L'a' + i % 26) + L'\0';
    for (const wchar_t* bad : {L"C:\\*", L"qvrelative", L"C:", L"\\rooted"}) folders += std::wstring(bad) + L'\0';
    folders += Bstr(dir / "secret.txt").str() + L'\0' + Bstr(dir / "allowed").str() + L'\0';
    const wchar_t keys[] = L"HKXX\\Software\0Software\\NoRoot\0HKCU\\\\Software\0";
    ScopedKey policy(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\QVFileIO");
    policy.Set(L"Folders", REG_MULTI_SZ, folders.c_str(), (folders.size() + 1) * sizeof(wchar_t));
    policy.Set(L"RegistryKeys", REG_MULTI_SZ, keys, sizeof keys);
    DeleteLog();
    com_ptr<IClassFactory> factory;
    com_ptr<IQVFileIO> confined;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, factory.put_void()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IQVFileIO, confined.put_void()));
    EXPECT_EQ(7u, ReadLog().size()) << "one record for each entry that allows nothing";

    Bstr text;
    EXPECT_EQ(S_OK, confined->Read(Bstr(dir / "allowed\\a.txt"), text.put()));
    EXPECT_EQ(S_OK, confined->Read(Bstr(dir / "secret.txt"), text.put())) << "a file named is read";
    EXPECT_EQ(E_ACCESSDENIED, confined->Write(Bstr(L"x"), Bstr(dir / "secret.txt"), VARIANT_TRUE, VARIANT_TRUE,
                                              VARIANT_TRUE)) << "but nothing is below it";
    EXPECT_EQ(E_ACCESSDENIED, confined->Read(Bstr(dir / "allowed\\..\\other.txt"), text.put()));
    EXPECT_EQ(E_ACCESSDENIED, confined->Read(Bstr(std::string(260, 'x')), text.put()));
    EXPECT_EQ(E_ACCESSDENIED, confined->CreateRegistryKey(QV_KEY_CURRENT_USER, Bstr(L"Software\\NoRoot"), Bstr(L"v"),
                                                          Bstr(L"x"), QV_REG_SZ));
}

namespace {

// A part of a path swapped between the look at its folder's listing and
// its open: what opens is not the entry listed. Pinned through the seam,
// since no interleaving can be chosen from outside: the part whose final
// path ends in `g_swapped` reports another file number when opened. A file
// opened for its content is judged by its final path instead
// (FileLinkLeadingOutIsOutside); the calls that act on the entry itself
// look at the listing.
std::wstring g_swapped;
NtQueryInformationFileFn g_numbers;
NTSTATUS NTAPI SwappedNumber(HANDLE file, PIO_STATUS_BLOCK io, PVOID info, ULONG length, int type) {
    const NTSTATUS status = g_numbers(file, io, info, length, type);
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD size = ::GetFinalPathNameByHandleW(file, path, MAX_PATH * 2, 0);
    const size_t tail = g_swapped.size();
    if (status == 0 && type == kFileInternalInformation && size >= tail && _wcsicmp(path + size - tail, g_swapped.c_str()) == 0)
        ++static_cast<LARGE_INTEGER*>(info)->QuadPart;
    return status;
}

}  // namespace

namespace {

// An object made under a policy of the one folder `folder`, and the policy
// key, removed with it.
class ConfinedObject {
public:
    explicit ConfinedObject(const std::string& folder) : policy_(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\QVFileIO") {
        const std::wstring folders = Bstr(folder).str() + L'\0';
        policy_.Set(L"Folders", REG_MULTI_SZ, folders.c_str(), (folders.size() + 1) * sizeof(wchar_t));
        com_ptr<IClassFactory> factory;
        if (DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, factory.put_void()) == S_OK)
            factory->CreateInstance(nullptr, IID_IQVFileIO, object_.put_void());
    }
    IQVFileIO* get() const { return object_.get(); }

private:
    ScopedKey policy_;
    com_ptr<IQVFileIO> object_;
};

}  // namespace

TEST_F(ConfinementTest, PartSwappedBeforeItsOpenIsRefusedWhereTheCallActs) {
    ScratchDir dir;
    ::CreateDirectoryA((dir / "allowed").c_str(), nullptr);
    ::CreateDirectoryA((dir / "allowed\\sub").c_str(), nullptr);
    const std::string file = dir / "allowed\\sub\\f.txt";
    ConfinedObject object(dir / "allowed");
    IQVFileIO* confined = object.get();
    ASSERT_TRUE(confined);
    g_numbers = win32.NtQueryInformationFile;
    ScopedWin32Override<decltype(win32.NtQueryInformationFile)> numbers(win32.NtQueryInformationFile, &SwappedNumber);
    const Bstr path(file), copy(dir / "allowed\\copy.txt");
    const struct {
        const char* what;
        bool listsFile;
        std::function<HRESULT()> call;
    } calls[] = {
        {"Read", false, [&] { Bstr text; return confined->Read(path, text.put()); }},
        {"Write", false, [&] { return confined->Write(Bstr(L"new"), path, VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE); }},
        {"Append", false, [&] { return confined->Append(Bstr(L"new"), path, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE); }},
        {"SetAsHidden", true, [&] { return confined->SetAsHidden(path); }},
        {"DeleteFile", true, [&] { return confined->DeleteFile(path); }},
        {"CopyFile", false, [&] { return confined->CopyFile(path, copy, VARIANT_FALSE, VARIANT_FALSE); }},
        {"MoveFileOrDirectory", true, [&] { return confined->MoveFileOrDirectory(path, copy); }},
        // A walk lists the folder whole once and opens each entry as listed.
        {"DeleteDirectory", true, [&] { return confined->DeleteDirectory(Bstr(dir / "allowed\\sub"), VARIANT_TRUE, VARIANT_TRUE); }},
        {"GetDirectoryContents", false, [&] { Bstr found; return confined->GetDirectoryContents(Bstr(dir / "allowed\\sub\\*"), 1, 1, found.put()); }},
    };
    for (const wchar_t* swapped : {L"\\allowed\\sub", L"\\allowed\\sub\\f.txt"}) {
        g_swapped = swapped;
        for (const auto& c : calls) {
            if (wcslen(swapped) > 13 && !c.listsFile) continue;
            WriteBytes(file, "old");
            for (const char* sibling : {"a.txt", "b.txt", "c.txt"}) WriteBytes(dir / "allowed\\sub\\" + sibling, "");
            DeleteLog();
            EXPECT_TRUE(FAILED(c.call())) << c.what << " with " << AnsiOf(swapped) << " swapped";
            EXPECT_EQ("old", ReadBytes(file)) << c.what;
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((dir / "allowed\\copy.txt").c_str())) << c.what;
            const std::string log = ReadLogBytes();
            EXPECT_NE(std::string::npos, log.find("szFinalPath: " + dir.path() + AnsiOf(swapped))) << c.what;
        }
    }
}

// A named folder is opened once for the object's life, yet one renamed and
// made anew beside is used anew: its name is asked again after a second.
TEST_F(ConfinementTest, NamedFolderMadeAnewIsUsedAnew) {
    ScratchDir dir;
    ::CreateDirectoryA((dir / "allowed").c_str(), nullptr);
    ConfinedObject object(dir / "allowed");
    IQVFileIO* confined = object.get();
    ASSERT_TRUE(confined);
    const Bstr path(dir / "allowed\\x.txt");
    ASSERT_EQ(S_OK, confined->Write(Bstr(L"old"), path, VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE));

    ASSERT_TRUE(::MoveFileA((dir / "allowed").c_str(), (dir / "before").c_str()));
    ASSERT_TRUE(::CreateDirectoryA((dir / "allowed").c_str(), nullptr));
    ::Sleep(1100);
    EXPECT_EQ(S_OK, confined->Write(Bstr(L"new"), path, VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE));
    EXPECT_EQ("new", ReadBytes(dir / "allowed\\x.txt"));
    EXPECT_EQ("old", ReadBytes(dir / "before\\x.txt"));
}

// A read-only file is written over and appended to under a policy: its
// attributes cleared first leave no handle behind that the write would
// collide with.
TEST_F(ConfinementTest, ReadOnlyFileIsWrittenOver) {
    ScratchDir dir;
    ::CreateDirectoryA((dir / "allowed").c_str(), nullptr);
    const std::string file = dir / "allowed\\ro.txt";
    ConfinedObject object(dir / "allowed");
    IQVFileIO* confined = object.get();
    ASSERT_TRUE(confined);
    const Bstr path(file);
    for (const auto& write : std::vector<std::function<HRESULT()>>{
             [&] { return confined->Write(Bstr(L"new"), path, VARIANT_TRUE, VARIANT_FALSE, VARIANT_TRUE); },
             [&] { return confined->WriteToExistingFile(Bstr(L"new"), path, VARIANT_FALSE, VARIANT_TRUE); },
             [&] { return confined->Append(Bstr(L"new"), path, VARIANT_FALSE, VARIANT_FALSE, VARIANT_TRUE); }}) {
        WriteBytes(file, "old");
        ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(S_OK, write());
        EXPECT_NE(std::string::npos, ReadBytes(file).find("new"));
        ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// A deletion under a policy clears the attributes through a handle that may
// delete too, where that is granted: a file another handle holds without
// delete sharing fails as it does without a policy, its attributes put back.
TEST_F(ConfinementTest, FileHeldWithoutDeleteSharingFailsAsWithoutAPolicy) {
    ScratchDir dir;
    ::CreateDirectoryA((dir / "allowed").c_str(), nullptr);
    const std::string file = dir / "allowed\\held.txt";
    WriteBytes(file, "held");
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ConfinedObject confined(dir / "allowed");
    ASSERT_TRUE(confined.get());
    unique_hfile other(::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(other.valid());
    for (IQVFileIO* deleting : {object.get(), confined.get()}) {
        DeleteLog();
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), deleting->DeleteFile(Bstr(file)));
        EXPECT_EQ(L"Failed to delete the file", TakeErrorInfo().description);
        EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, ::GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_HIDDEN) << "put back";
        EXPECT_EQ(1u, ReadLog().size());
    }
    other.reset();
    EXPECT_EQ(S_OK, confined.get()->DeleteFile(Bstr(file)));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(file.c_str()));
}
