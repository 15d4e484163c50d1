// Write, WriteToExistingFile and CopyFile replacing a file's text: the new
// text is made beside the file and takes its place in one step. What the
// replaced file keeps of "the same file", the files written in place
// instead, and the leftover of a call cut off before. (tests/killwrite.sh
// cuts calls off.)
#include "tests/cpp/support.h"
#include <sddl.h>
#include <functional>
#include <memory>
#include <type_traits>

namespace {

// The file's index: a new file has another, a file written in place keeps it.
ULONGLONG FileIndex(const std::string& path) {
    unique_hfile file(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    ::GetFileInformationByHandle(file.get(), &info);
    return (ULONGLONG(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

// The file's owner, group and access control list, as bytes.
std::string Security(const std::string& path) {
    const SECURITY_INFORMATION kept = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    ::GetFileSecurityA(path.c_str(), kept, nullptr, 0, &needed);
    std::string bytes(needed, '\0');
    return needed && ::GetFileSecurityA(path.c_str(), kept, &bytes[0], needed, &needed) ? bytes : "none";
}

FILETIME CreationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftCreationTime;
}

// The creation time that the new file is given. Linux keeps no creation
// time that a program can set, so under Wine the call succeeds and changes
// nothing: what Windows keeps is checked here, at the seam.
struct GivenCreation {
    static FILETIME time;
    static BOOL WINAPI Set(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info, DWORD size) {
        if (kind == FileBasicInfo) {
            const auto* basic = static_cast<const FILE_BASIC_INFO*>(info);
            time.dwLowDateTime = basic->CreationTime.LowPart;
            time.dwHighDateTime = static_cast<DWORD>(basic->CreationTime.HighPart);
        }
        return ::SetFileInformationByHandle(file, kind, info, size);
    }
};
FILETIME GivenCreation::time;

// The writes so far: the first one of a replacement goes to the new file.
int g_writes;

// A seam entry replaced for the life of the returned holder (a lambda
// given for it turns into the entry's type).
template <class Fn>
std::shared_ptr<void> Faked(Fn& slot, typename std::enable_if<true, Fn>::type replacement) {
    return std::make_shared<ScopedWin32Override<Fn>>(slot, replacement);
}

class ReplacingTest : public QVFileIOTest {
protected:
    // The new file's name beside "t.txt".
    std::string Beside() const { return dir / "~t.txt.qvnew"; }
    bool NothingBeside() const { return ::GetFileAttributesA(Beside().c_str()) == INVALID_FILE_ATTRIBUTES; }
    // An access control list of its own, unlike the one a new file gets.
    static void GiveOwnAccessList(const std::string& path) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;WD)(A;;FR;;;BU)",
                                                                           SDDL_REVISION_1, &descriptor, nullptr));
        unique_hlocal owner(descriptor);
        ASSERT_TRUE(::SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
    }
    ScratchDir dir;
    const std::string file = dir / "t.txt";
};

TEST_F(ReplacingTest, ReplacedFileKeepsWhatMakesItTheSameFile) {
    const std::string source = dir / "source.txt";
    WriteBytes(source, "copied");
    ASSERT_TRUE(::SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    // The attributes that the file has afterwards are those of `model`:
    // its own, and for a copy the source's, as CopyFile gives them.
    const struct {
        const char* operation;
        DWORD attributes;
        const std::string& model;
        std::function<HRESULT()> call;
        const char* text;
    } cases[] = {
        {"Write", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, file,
         [&] { return object->Write(Bstr(L"new text"), Bstr(file), 0, 0, 0); }, "new text"},
        {"WriteToExistingFile of a read-only file", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, file,
         [&] { return object->WriteToExistingFile(Bstr(L"new text"), Bstr(file), 0, 1); }, "new text"},
        {"CopyFile", FILE_ATTRIBUTE_ARCHIVE, source, [&] { return object->CopyFile(Bstr(source), Bstr(file), 1, 0); },
         "copied"},
    };
    ScopedWin32Override<decltype(win32.SetFileInformationByHandle)> given(win32.SetFileInformationByHandle,
                                                                           &GivenCreation::Set);
    for (const auto& c : cases) {
        WriteBytes(file, "old");
        GiveOwnAccessList(file);
        ASSERT_TRUE(::SetFileAttributesA(file.c_str(), c.attributes)) << c.operation;
        const DWORD attributes = ::GetFileAttributesA(c.model.c_str());
        const std::string security = Security(file);
        const FILETIME creation = CreationTime(file);
        const ULONGLONG index = FileIndex(file);
        GivenCreation::time = FILETIME{};

        EXPECT_EQ(S_OK, c.call()) << c.operation;
        EXPECT_EQ(c.text, ReadBytes(file)) << c.operation;
        EXPECT_NE(index, FileIndex(file)) << c.operation << ": a new file took the old one's place";
        EXPECT_EQ(attributes, ::GetFileAttributesA(file.c_str())) << c.operation;
        EXPECT_TRUE(security == Security(file)) << c.operation << ": owner, group and access control list";
        EXPECT_EQ(0, ::CompareFileTime(&creation, &GivenCreation::time)) << c.operation << ": creation time";
        EXPECT_TRUE(NothingBeside()) << c.operation;
        EXPECT_EQ("", ReadLogBytes()) << c.operation;
        ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// Where the file cannot be replaced in one step, the text is written in
// place, as before: the call succeeds, the file keeps its index, and no
// new file is left beside it.
TEST_F(ReplacingTest, WrittenInPlaceWhereTheFileCannotBeReplaced) {
    const std::string link = dir / "link.txt";
    const struct {
        const char* what;
        std::function<std::shared_ptr<void>()> arrange;
    } cases[] = {
        {"a second name", [&] {
             EXPECT_TRUE(::CreateHardLinkA(link.c_str(), file.c_str(), nullptr));
             return std::shared_ptr<void>();
         }},
        {"held open by another program without delete sharing", [&] {
             const HANDLE other = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr);
             EXPECT_NE(INVALID_HANDLE_VALUE, other);
             return std::shared_ptr<void>(other, ::CloseHandle);
         }},
        {"a folder where no new file may be made", [] {
             return Faked(win32.CreateFileW,
                          [](LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                             DWORD flags, HANDLE templ) __attribute__((stdcall)) -> HANDLE {
                              if (disposition != CREATE_NEW)
                                  return ::CreateFileW(name, access, share, sa, disposition, flags, templ);
                              ::SetLastError(ERROR_ACCESS_DENIED);
                              return INVALID_HANDLE_VALUE;
                          });
         }},
        // Wine lists no streams: a list that goes on past the file's content.
        {"another data stream", [] {
             return Faked(win32.GetFileInformationByHandleEx, [](HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                                                 LPVOID info, DWORD size) __attribute__((stdcall)) -> BOOL {
                 if (kind != FileStreamInfo) return ::GetFileInformationByHandleEx(file, kind, info, size);
                 *static_cast<FILE_STREAM_INFO*>(info) = {sizeof(FILE_STREAM_INFO) + 16, 14, {}, {}, {L':'}};
                 return TRUE;
             });
         }},
        // Wine has none: a file that NTFS encrypts.
        {"an encrypted file", [] {
             return Faked(win32.GetFileInformationByHandleEx, [](HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                                                 LPVOID info, DWORD size) __attribute__((stdcall)) -> BOOL {
                 const BOOL got = ::GetFileInformationByHandleEx(file, kind, info, size);
                 if (kind == FileBasicInfo) static_cast<FILE_BASIC_INFO*>(info)->FileAttributes |= FILE_ATTRIBUTE_ENCRYPTED;
                 return got;
             });
         }},
        {"an owner that a new file cannot be given", [&] {
             GiveOwnAccessList(file);
             return Faked(win32.SetKernelObjectSecurity,
                          [](HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR) __attribute__((stdcall)) -> BOOL {
                              ::SetLastError(ERROR_INVALID_OWNER);
                              return FALSE;
                          });
         }},
        // Windows refuses to replace a file that is open anywhere.
        {"opened by another program before the rename", [] {
             return Faked(win32.MoveFileExW, [](LPCWSTR, LPCWSTR, DWORD) __attribute__((stdcall)) -> BOOL {
                 ::SetLastError(ERROR_ACCESS_DENIED);
                 return FALSE;
             });
         }},
        // In place the text needs no room beside the old one.
        {"no room on the disk for both texts", [] {
             g_writes = 0;
             return Faked(win32.WriteFile, [](HANDLE file, LPCVOID data, DWORD length, LPDWORD written,
                                              LPOVERLAPPED overlapped) __attribute__((stdcall)) -> BOOL {
                 if (g_writes++ > 0) return ::WriteFile(file, data, length, written, overlapped);
                 ::SetLastError(ERROR_DISK_FULL);
                 return FALSE;
             });
         }},
    };
    for (const auto& c : cases) {
        WriteBytes(file, "old text");
        const ULONGLONG index = FileIndex(file);
        {
            const std::shared_ptr<void> arranged = c.arrange();
            EXPECT_EQ(S_OK, object->WriteToExistingFile(Bstr(L"new"), Bstr(file), 0, 0)) << c.what;
        }
        EXPECT_EQ("new", ReadBytes(file)) << c.what;
        EXPECT_EQ(index, FileIndex(file)) << c.what;
        EXPECT_TRUE(NothingBeside()) << c.what;
        EXPECT_EQ("", ReadLogBytes()) << c.what;
        ::DeleteFileA(link.c_str());
    }
}

// The new file of a call cut off before (read-only, as it may be just before
// the rename) goes with the next replacement; the new file of a call that
// is still writing, held open without delete sharing, stays, and the file
// is written in place.
TEST_F(ReplacingTest, LeftoverGoesALiveNewFileStays) {
    const std::string source = dir / "source.txt";
    WriteBytes(source, "copied");
    const std::function<HRESULT()> calls[] = {[&] { return object->Write(Bstr(L"written"), Bstr(file), 0, 0, 0); },
                                              [&] { return object->CopyFile(Bstr(source), Bstr(file), 1, 0); }};
    for (const auto& call : calls) {
        WriteBytes(file, "old");
        WriteBytes(Beside(), "cut off");
        ASSERT_TRUE(::SetFileAttributesA(Beside().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        const ULONGLONG index = FileIndex(file);
        EXPECT_EQ(S_OK, call());
        EXPECT_NE(index, FileIndex(file));
        EXPECT_TRUE(NothingBeside());
    }
    EXPECT_EQ("copied", ReadBytes(file));

    unique_hfile live(::CreateFileA(Beside().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN,
                                    nullptr));
    ASSERT_TRUE(live.valid());
    const ULONGLONG index = FileIndex(file);
    EXPECT_EQ(S_OK, object->Write(Bstr(L"written"), Bstr(file), 0, 0, 0));
    EXPECT_EQ("written", ReadBytes(file));
    EXPECT_EQ(index, FileIndex(file));
    EXPECT_FALSE(NothingBeside());
    EXPECT_EQ("", ReadLogBytes());
}

}  // namespace
