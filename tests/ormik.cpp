// A stand-in for the host product's helper "Ormik.exe": writes its command
// line to ormik-started.txt beside itself, waits until ormik-release.txt
// appears there (20 s at most), then writes ormik-done.txt. A test sees
// what it was started with, and that the caller did not wait for it.
#include <windows.h>
#include <string>

int main() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self);
    folder.erase(folder.rfind('\\') + 1);
    // Written beside, then renamed: a test that sees the file sees it whole.
    auto write = [&](const char* name, const char* text) {
        const std::string part = folder + name + ".part";
        HANDLE file = CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
        CloseHandle(file);
        MoveFileExA(part.c_str(), (folder + name).c_str(), MOVEFILE_REPLACE_EXISTING);
    };
    write("ormik-started.txt", GetCommandLineA());
    for (int i = 0; i < 200 && GetFileAttributesA((folder + "ormik-release.txt").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    write("ormik-done.txt", "done");
    return 0;
}
