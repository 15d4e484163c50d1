// Read against the floor: the least work that gives the same text from the
// same file (one ReadFile of the whole file, CR LF folded to LF, one
// SysAllocStringLen and one MultiByteToWideChar into it). Both are timed as
// calls alone, their results freed at once, best of several runs, on files
// of 10 and 40 MB. Prints MB/s and the ratio.
#include "object/qvfileio.h"
#include <cstdio>
#include <memory>
#include <string>

namespace {

const int kRuns = 7;

void MakeFile(const std::string& path, size_t bytes) {
    std::string chunk;
    for (int i = 0; chunk.size() < 64 * 1024; ++i)
        chunk += "line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog\r\n";
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (size_t written = 0; written < bytes; written += chunk.size()) {
        DWORD done = 0;
        ::WriteFile(file.get(), chunk.data(), static_cast<DWORD>(std::min(chunk.size(), bytes - written)), &done,
                    nullptr);
    }
}

BSTR Floor(const char* path) {
    unique_hfile file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size = {};
    ::GetFileSizeEx(file.get(), &size);
    std::unique_ptr<char[]> bytes(new char[static_cast<size_t>(size.QuadPart)]);
    DWORD got = 0;
    ::ReadFile(file.get(), bytes.get(), static_cast<DWORD>(size.QuadPart), &got, nullptr);
    char* out = bytes.get();
    for (DWORD i = 0; i < got; ++i)
        if (!(bytes[i] == '\r' && i + 1 < got && bytes[i + 1] == '\n')) *out++ = bytes[i];
    const int length = static_cast<int>(out - bytes.get());
    BSTR text = ::SysAllocStringLen(nullptr, static_cast<UINT>(length));
    ::MultiByteToWideChar(CP_ACP, 0, bytes.get(), length, text, length);
    return text;
}

// One timed call; `best` keeps the shortest time in seconds.
template <class Fn>
void Time(Fn fn, double& best, UINT& length) {
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    BSTR text = fn();
    ::QueryPerformanceCounter(&end);
    length = ::SysStringLen(text);
    ::SysFreeString(text);
    best = std::min(best, double(end.QuadPart - start.QuadPart) / frequency.QuadPart);
}

}  // namespace

int main() {
    ::CoInitialize(nullptr);
    com_ptr<IQVFileIO> qv;
    if (FAILED(QVFileIO::CreateInstance(nullptr, IID_IQVFileIO, qv.put_void()))) return 1;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    printf("size     Read MB/s (best ms)    floor MB/s (best ms)   Read/floor\n");
    for (size_t megabytes : {10u, 40u}) {
        const std::string path = std::string(temp) + "qvfloor-" + std::to_string(megabytes) + "mb.txt";
        MakeFile(path, megabytes << 20);
        unique_bstr widePath(NewBstrFromAnsi(path));
        UINT readLength = 0, floorLength = 0;
        double read = 1e9, floor = 1e9;
        // Taken in turns, so that neither gains from running second.
        for (int i = 0; i < kRuns; ++i) {
            Time([&] { return Floor(path.c_str()); }, floor, floorLength);
            Time(
                [&] {
                    BSTR text = nullptr;
                    qv->Read(widePath.get(), &text);
                    return text;
                },
                read, readLength);
        }
        ::DeleteFileA(path.c_str());
        if (readLength != floorLength) printf("different texts: %u and %u characters\n", readLength, floorLength);
        printf("%2u MB    %7.1f (%6.1f)       %7.1f (%6.1f)       %.2f\n", unsigned(megabytes), megabytes / read,
               read * 1000, megabytes / floor, floor * 1000, floor / read);
    }
    qv.reset();
    ::CoUninitialize();
    return 0;
}
