// The volume that holds a path, as the system resolves it: a volume's root
// is never deleted, and a path that does not begin with its drive is written
// on the volume that holds it. A drive of its own is the script test
// roots.js's; here the system's answers are pinned through the seam.
#include "tests/cpp/support.h"

namespace {

using Records = std::vector<std::string>;

// A scratch folder that the system names as the root of a volume mounted
// there.
std::wstring mounted;
BOOL WINAPI MountedVolume(LPCWSTR path, LPWSTR root, DWORD size) {
    const size_t length = mounted.size();
    if (wcslen(path) >= length && ::CompareStringOrdinal(path, static_cast<int>(length), mounted.c_str(),
                                                         static_cast<int>(length), TRUE) == CSTR_EQUAL &&
        (path[length] == L'\0' || path[length] == L'\\')) {
        wcsncpy(root, (mounted + L"\\").c_str(), size);
        return TRUE;
    }
    return ::GetVolumePathNameW(path, root, size);
}

// The free space the volume is said to have, and the root asked.
ULONGLONG freeBytes;
std::wstring rootAsked;
BOOL WINAPI FreeSpaceEx(LPCWSTR root, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER) {
    rootAsked = root;
    available->QuadPart = freeBytes;
    return TRUE;
}

class VolumesTest : public QVFileIOTest {
protected:
    ScratchDir dir;
};

TEST_F(VolumesTest, AVolumesRootIsNeverDeleted) {
    mounted = Bstr(dir.path()).str();
    ScopedWin32Override<decltype(win32.GetVolumePathNameW)> fake(win32.GetVolumePathNameW, &MountedVolume);
    WriteBytes(dir / "a.txt", "kept");
    ::CreateDirectoryA((dir / "sub").c_str(), nullptr);
    ::CreateDirectoryA((dir / "gone").c_str(), nullptr);
    const struct {
        std::string path;
        HRESULT hr;
    } cases[] = {
        {"\\\\server\\share", E_ACCESSDENIED},
        {"\\\\server\\share\\", E_ACCESSDENIED},
        {dir.path(), E_ACCESSDENIED},
        {dir / "sub\\..", E_ACCESSDENIED},
        {dir / "gone", S_OK},  // a folder on that volume goes as any other
    };
    for (const auto& c : cases) {
        DeleteLog();
        EXPECT_EQ(c.hr, object->DeleteDirectory(Bstr(c.path), VARIANT_TRUE, VARIANT_TRUE)) << c.path;
        if (c.hr == S_OK) continue;
        EXPECT_EQ(L"Failed to delete the directory", TakeErrorInfo().description) << c.path;
        EXPECT_EQ((Records{"80070005 szDirPath: " + c.path, "80070005 Error: Failed to delete the directory"}),
                  LogLines());
    }
    EXPECT_EQ("kept", ReadBytes(dir / "a.txt"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((dir / "sub").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((dir / "gone").c_str()));
}

// A new file needs more than 128000 free bytes on the volume that holds it,
// as on a drive (the script test test_write.js writes through \\.\ for real).
TEST_F(VolumesTest, APathWithoutItsDriveIsWrittenOnItsVolume) {
    ScopedWin32Override<decltype(win32.GetDiskFreeSpaceExW)> fake(win32.GetDiskFreeSpaceExW, &FreeSpaceEx);
    const std::string device = "\\\\.\\" + dir.path();
    for (ULONGLONG bytes : {128000ULL, 128001ULL}) {
        freeBytes = bytes;
        const HRESULT hr = object->Write(Bstr(L"x"), Bstr(device + "\\new.txt"), 1, 0, 0);
        EXPECT_EQ(bytes > 128000 ? S_OK : E_ABORT, hr) << bytes;
        EXPECT_EQ(bytes > 128000, ::GetFileAttributesA((dir / "new.txt").c_str()) != INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(Bstr(device.substr(0, 7)).str(), rootAsked);
}

}  // namespace
