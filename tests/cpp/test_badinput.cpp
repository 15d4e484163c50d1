// Every operation of the interface with bad input: null, empty, a text of
// 100,000 characters, odd characters, double-byte characters, wildcards,
// device names and paths of 259 to 262 characters for every text argument;
// -1, 0 to 5 (every root key and then some) and 2^31-1 for every flag and
// number. Any HRESULT is an answer; what must not happen is a crash, an
// exception leaving the object, a leak of an out-value, or a change outside
// the scratch folder and key. Dialogs and message boxes that an operation
// shows are closed at once.
#include "tests/cpp/support.h"
#include "tests/cpp/workload.h"
#include <functional>
#include <set>

namespace {

// Benign values for the arguments that are not under test.
enum class Arg { File, OtherFile, Dir, NewDir, Pattern, Name, Data, SubKey, ValueName, Server };

struct Operation {
    const char* name;
    std::vector<Arg> texts;
    std::function<HRESULT(IQVFileIO*, const BSTR*, long)> call;
};

// Calls with an out BSTR free what they were given.
template <class Fn>
HRESULT WithBstr(Fn fn) {
    BSTR out = nullptr;
    const HRESULT hr = fn(&out);
    if (out) {
        EXPECT_LE(::SysStringLen(out), 0x7FFFFFFFu);
        ::SysFreeString(out);
    }
    return hr;
}

VARIANT_BOOL Flag(long n) { return static_cast<VARIANT_BOOL>(n); }

const std::vector<Operation>& Operations() {
    static const std::vector<Operation> operations = {
        {"CreateDir", {Arg::NewDir}, [](IQVFileIO* q, const BSTR* t, long) { return q->CreateDir(t[0]); }},
        {"GetFreeDiskSpace", {Arg::Dir},
         [](IQVFileIO* q, const BSTR* t, long) { long v = 0; return q->GetFreeDiskSpace(t[0], &v); }},
        {"Write", {Arg::Data, Arg::File},
         [](IQVFileIO* q, const BSTR* t, long n) { return q->Write(t[0], t[1], Flag(n), Flag(n), Flag(n)); }},
        {"IsValidFileOrDirectoryName", {Arg::Name},
         [](IQVFileIO* q, const BSTR* t, long n) { VARIANT_BOOL v = 0; return q->IsValidFileOrDirectoryName(t[0], n, &v); }},
        {"DirectoryExists", {Arg::Dir},
         [](IQVFileIO* q, const BSTR* t, long) { VARIANT_BOOL v = 0; return q->DirectoryExists(t[0], &v); }},
        {"FileExists", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) { VARIANT_BOOL v = 0; return q->FileExists(t[0], &v); }},
        {"CreateFile", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long n) { return q->CreateFile(t[0], Flag(n), Flag(n)); }},
        {"WriteToExistingFile", {Arg::Data, Arg::File},
         [](IQVFileIO* q, const BSTR* t, long n) { return q->WriteToExistingFile(t[0], t[1], Flag(n), Flag(n)); }},
        {"Append", {Arg::Data, Arg::File},
         [](IQVFileIO* q, const BSTR* t, long n) { return q->Append(t[0], t[1], Flag(n), Flag(n), Flag(n)); }},
        {"SetAsReadOnly", {Arg::File}, [](IQVFileIO* q, const BSTR* t, long) { return q->SetAsReadOnly(t[0]); }},
        {"SetAsHidden", {Arg::File}, [](IQVFileIO* q, const BSTR* t, long) { return q->SetAsHidden(t[0]); }},
        {"SetAsArchive", {Arg::File}, [](IQVFileIO* q, const BSTR* t, long) { return q->SetAsArchive(t[0]); }},
        {"ClearFileAttributes", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) { return q->ClearFileAttributes(t[0]); }},
        {"Read", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) { return WithBstr([&](BSTR* o) { return q->Read(t[0], o); }); }},
        {"DeleteFile", {Arg::OtherFile}, [](IQVFileIO* q, const BSTR* t, long) { return q->DeleteFile(t[0]); }},
        {"DeleteDirectory", {Arg::NewDir},
         [](IQVFileIO* q, const BSTR* t, long n) { return q->DeleteDirectory(t[0], Flag(n), Flag(n)); }},
        {"MoveFileOrDirectory", {Arg::OtherFile, Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) { return q->MoveFileOrDirectory(t[0], t[1]); }},
        {"CopyFile", {Arg::File, Arg::OtherFile},
         [](IQVFileIO* q, const BSTR* t, long n) { return q->CopyFile(t[0], t[1], Flag(n), Flag(n)); }},
        {"GetFileSize", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) { long v = 0; return q->GetFileSize(t[0], &v); }},
        {"GetCreationDate", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) { return WithBstr([&](BSTR* o) { return q->GetCreationDate(t[0], o); }); }},
        {"GetCreationTime", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) { return WithBstr([&](BSTR* o) { return q->GetCreationTime(t[0], o); }); }},
        {"GetLastAccessedDate", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) {
             return WithBstr([&](BSTR* o) { return q->GetLastAccessedDate(t[0], o); });
         }},
        {"GetLastAccessedTime", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) {
             return WithBstr([&](BSTR* o) { return q->GetLastAccessedTime(t[0], o); });
         }},
        {"GetLastModifiedDate", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) {
             return WithBstr([&](BSTR* o) { return q->GetLastModifiedDate(t[0], o); });
         }},
        {"GetLastModifiedTime", {Arg::File},
         [](IQVFileIO* q, const BSTR* t, long) {
             return WithBstr([&](BSTR* o) { return q->GetLastModifiedTime(t[0], o); });
         }},
        {"DriveExists", {Arg::Dir},
         [](IQVFileIO* q, const BSTR* t, long) { VARIANT_BOOL v = 0; return q->DriveExists(t[0], &v); }},
        {"GetDirectoryContents", {Arg::Pattern},
         [](IQVFileIO* q, const BSTR* t, long n) {
             return WithBstr([&](BSTR* o) { return q->GetDirectoryContents(t[0], Flag(n), Flag(n), o); });
         }},
        {"IsDirectoryName", {Arg::Dir},
         [](IQVFileIO* q, const BSTR* t, long) { VARIANT_BOOL v = 0; return q->IsDirectoryName(t[0], &v); }},
        {"IsEmptyDirectory", {Arg::Dir},
         [](IQVFileIO* q, const BSTR* t, long) { VARIANT_BOOL v = 0; return q->IsEmptyDirectory(t[0], &v); }},
        {"FindFileOrDirectory", {Arg::Dir, Arg::Name},
         [](IQVFileIO* q, const BSTR* t, long) {
             return WithBstr([&](BSTR* o) { return q->FindFileOrDirectory(t[0], t[1], o); });
         }},
        {"BrowseAllDrives", {Arg::Data},
         [](IQVFileIO* q, const BSTR* t, long) { return WithBstr([&](BSTR* o) { return q->BrowseAllDrives(t[0], o); }); }},
        {"MapNetworkDrive", {Arg::Server, Arg::SubKey, Arg::ValueName, Arg::ValueName, Arg::ValueName},
         [](IQVFileIO* q, const BSTR* t, long) {
             return WithBstr([&](BSTR* o) { return q->MapNetworkDrive(t[0], t[1], t[2], t[3], t[4], o); });
         }},
        {"CreateRegistryKey", {Arg::SubKey, Arg::ValueName, Arg::Data},
         [](IQVFileIO* q, const BSTR* t, long n) {
             return q->CreateRegistryKey(static_cast<lKEY_NAME>(n), t[0], t[1], t[2], static_cast<lDATA_TYPE>(n));
         }},
        {"DeleteRegistryKey", {Arg::SubKey},
         [](IQVFileIO* q, const BSTR* t, long n) { return q->DeleteRegistryKey(static_cast<lKEY_NAME>(n), t[0]); }},
        {"DeleteRegistryValue", {Arg::SubKey, Arg::ValueName},
         [](IQVFileIO* q, const BSTR* t, long n) {
             return q->DeleteRegistryValue(static_cast<lKEY_NAME>(n), t[0], t[1]);
         }},
        {"ReadRegistryStringData", {Arg::SubKey, Arg::ValueName},
         [](IQVFileIO* q, const BSTR* t, long n) {
             return WithBstr(
                 [&](BSTR* o) { return q->ReadRegistryStringData(static_cast<lKEY_NAME>(n), t[0], t[1], o); });
         }},
        {"ReadRegistryNumericData", {Arg::SubKey, Arg::ValueName},
         [](IQVFileIO* q, const BSTR* t, long n) {
             long v = 0;
             return q->ReadRegistryNumericData(static_cast<lKEY_NAME>(n), t[0], t[1], &v);
         }},
        {"GetSubKeyCount", {Arg::SubKey},
         [](IQVFileIO* q, const BSTR* t, long n) {
             long v = 0;
             return q->GetSubKeyCount(static_cast<lKEY_NAME>(n), t[0], &v);
         }},
        {"GetRegSubKeyName", {Arg::SubKey},
         [](IQVFileIO* q, const BSTR* t, long n) {
             return WithBstr([&](BSTR* o) { return q->GetRegSubKeyName(static_cast<lKEY_NAME>(n), t[0], n, o); });
         }},
        {"GetScriptPath", {},
         [](IQVFileIO* q, const BSTR*, long) { return WithBstr([&](BSTR* o) { return q->GetScriptPath(o); }); }},
        {"GetWorkstationName", {},
         [](IQVFileIO* q, const BSTR*, long) { return WithBstr([&](BSTR* o) { return q->GetWorkstationName(o); }); }},
        {"StartOrmik", {}, [](IQVFileIO* q, const BSTR*, long) { return q->StartOrmik(); }},
    };
    return operations;
}

const char kRegistryScratch[] = "Software\\QVFileIOTest";

// The names directly below a few registry keys, to remove afterwards what
// the calls created there.
struct RegistryPlace {
    HKEY root;
    const char* path;
};
const RegistryPlace kPlaces[] = {
    {HKEY_CURRENT_USER, ""}, {HKEY_LOCAL_MACHINE, ""}, {HKEY_CURRENT_USER, "Software"},
    {HKEY_LOCAL_MACHINE, "Software"}, {HKEY_CLASSES_ROOT, ""}, {HKEY_CURRENT_CONFIG, ""},
};
using Names = std::set<std::string>;
void ListNames(const RegistryPlace& place, Names& keys, Names& values) {
    unique_hkey key;
    if (::RegOpenKeyExA(place.root, place.path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    char name[1024];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (::RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        keys.insert(name);
    }
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (::RegEnumValueA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        values.insert(name);
    }
}

// The names in a directory.
void ListEntries(const std::string& directory, Names& names) {
    WIN32_FIND_DATAA found;
    unique_hfind search(::FindFirstFileA((directory + "\\*").c_str(), &found));
    if (search) do names.insert(found.cFileName); while (::FindNextFileA(search.get(), &found));
}

int WINAPI NoMessageBox(HWND, LPCSTR, LPCSTR, UINT) { return IDOK; }

class BadInputTest : public QVFileIOTest {};

TEST_F(BadInputTest, EveryOperationSurvivesBadArguments) {
    ASSERT_EQ(42u, Operations().size());
    ScratchDir scratch;
    char previousDirectory[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previousDirectory);
    // A relative name would land in the scratch directory.
    ASSERT_TRUE(::SetCurrentDirectoryA(scratch.path().c_str()));
    WriteBytes(scratch / "b.txt", "data");

    Names keysBefore[sizeof kPlaces / sizeof *kPlaces], valuesBefore[sizeof kPlaces / sizeof *kPlaces];
    for (size_t i = 0; i < sizeof kPlaces / sizeof *kPlaces; ++i) ListNames(kPlaces[i], keysBefore[i], valuesBefore[i]);

    ScopedWin32Override<decltype(win32.MessageBoxA)> noBox(win32.MessageBoxA, &NoMessageBox);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, &CloseDialogs);

    auto benign = [&](Arg arg) -> std::string {
        switch (arg) {
        case Arg::File: return scratch / "b.txt";
        case Arg::OtherFile: return scratch / "c.txt";
        case Arg::Dir: return scratch.path();
        case Arg::NewDir: return scratch / "made\\deeper";
        case Arg::Pattern: return scratch / "*";
        case Arg::Name: return "b.txt";
        case Arg::Data: return "some data";
        case Arg::SubKey: return std::string(kRegistryScratch) + "\\BadInput";
        case Arg::ValueName: return "Value";
        case Arg::Server: return "\\\\server\\share";
        }
        return "";
    };

    // The bad texts: null, empty, 100,000 characters, odd characters (format
    // directives, control characters, characters outside the code page, a
    // lone surrogate, a NUL and text after it).
    std::wstring odd = L"%s%n%x%%\x01\x1f\x7f\t\r\n<>|\"*?:\\/..\\\x00e9\x4e00\xd800\xdfff\xfffe\xffff ";
    odd += L'\0';
    odd += L"tail";
    Bstr empty(L""), longText(L"C:\\" + std::wstring(100000 - 3, L'x')), oddText(odd),
        doubleByte(L"\x4e2d\x6587\\\x6587\x4ef6.txt"), star(L"*"), wildcards(L"?*.*"), con(L"CON"), nul(L"NUL"),
        com1(L"COM1"), lpt1(L"LPT1"), conTxt(L"CON.txt");
    std::vector<std::pair<const char*, BSTR>> bad = {
        {"null", nullptr}, {"empty", empty}, {"100,000 characters", longText}, {"odd characters", oddText},
        {"double-byte characters", doubleByte}, {"a star", star}, {"wildcards", wildcards}, {"CON", con},
        {"NUL", nul}, {"COM1", com1}, {"LPT1", lpt1}, {"CON.txt", conTxt}};
    // Paths of 259 to 262 characters inside the scratch folder.
    std::vector<Bstr> longPaths;
    for (size_t length = 259; length <= 262; ++length)
        longPaths.emplace_back(scratch.path() + "\\" + std::string(length - scratch.path().size() - 1, 'p'));
    for (const Bstr& path : longPaths) bad.push_back({"a path of 259 to 262 characters", path});

    Names rootBefore, tempBefore;
    const std::string temp = scratch.path().substr(0, scratch.path().rfind('\\'));
    ListEntries("C:", rootBefore);
    ListEntries(temp, tempBefore);

    int calls = 0;
    for (const Operation& operation : Operations()) {
        const size_t count = operation.texts.size();
        std::vector<Bstr> benignTexts;
        for (Arg arg : operation.texts) benignTexts.emplace_back(benign(arg));
        for (long number : {-1L, 0L, 1L, 2L, 3L, 4L, 5L, 0x7FFFFFFFL}) {
            BSTR texts[5] = {};
            // Only the flags and numbers bad.
            for (size_t i = 0; i < count; ++i) texts[i] = benignTexts[i];
            operation.call(object.get(), texts, number);
            ++calls;
            // The bad texts with two of the numbers: the others only change
            // flags, root keys and indexes.
            if (number != -1 && number != 2) continue;
            for (const auto& value : bad) {
                // Every text argument bad at once, then one at a time.
                for (size_t i = 0; i < count; ++i) texts[i] = value.second;
                operation.call(object.get(), texts, number);
                ++calls;
                for (size_t p = 0; count > 1 && p < count; ++p) {
                    for (size_t i = 0; i < count; ++i) texts[i] = i == p ? value.second : BSTR(benignTexts[i]);
                    operation.call(object.get(), texts, number);
                    ++calls;
                }
            }
            if (count == 0) {
                operation.call(object.get(), texts, number);
                ++calls;
            }
        }
        ::SetErrorInfo(0, nullptr);
    }
    ::KillTimer(nullptr, timer);
    ::SetCurrentDirectoryA(previousDirectory);

    // The object still answers as before.
    VARIANT_BOOL valid = 42;
    EXPECT_EQ(S_OK, object->IsValidFileOrDirectoryName(Bstr(L"a.txt"), 0, &valid));
    EXPECT_EQ(1, valid);
    EXPECT_GT(calls, 42 * 8);

    // Nothing appeared beside the scratch folder or in the drive's root.
    Names rootAfter, tempAfter;
    ListEntries("C:", rootAfter);
    ListEntries(temp, tempAfter);
    EXPECT_EQ(rootBefore, rootAfter);
    EXPECT_EQ(tempBefore, tempAfter);

    // Remove what the calls left in the registry.
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        ::RegDeleteTreeA(root, kRegistryScratch);
        ::RegDeleteKeyA(root, kRegistryScratch);
    }
    for (size_t i = 0; i < sizeof kPlaces / sizeof *kPlaces; ++i) {
        Names keys, values;
        ListNames(kPlaces[i], keys, values);
        unique_hkey key;
        if (::RegOpenKeyExA(kPlaces[i].root, kPlaces[i].path, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) continue;
        for (const std::string& name : keys)
            if (!keysBefore[i].count(name)) {
                ::RegDeleteTreeA(key.get(), name.c_str());
                ::RegDeleteKeyA(key.get(), name.c_str());
            }
        for (const std::string& name : values)
            if (!valuesBefore[i].count(name)) ::RegDeleteValueA(key.get(), name.c_str());
    }
}

}  // namespace
