// A stand-in for the host product's helper "Ormik.exe", and, copied to
// C:\Program.exe, for a program planted where a search for the helper would
// look. It writes its command line to <name>-started.txt beside itself (name
// being its own file name without ".exe"), waits until <name>-release.txt
// appears there (20 s at most), then writes <name>-done.txt. A test sees
// which program was started, with what, and that the caller did not wait.
#include <windows.h>
#include <string>

int main() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self);
    folder.erase(folder.rfind('\\') + 1);
    std::string name(self + folder.size());
    name.erase(name.rfind('.'));
    // Written beside, then renamed: a test that sees the file sees it whole.
    auto write = [&](const char* what, const char* text) {
        const std::string path = folder + name + what, part = path + ".part";
        HANDLE file = CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
        CloseHandle(file);
        MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    };
    write("-started.txt", GetCommandLineA());
    const std::string release = folder + name + "-release.txt";
    for (int i = 0; i < 200 && GetFileAttributesA(release.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    write("-done.txt", "done");
    return 0;
}
