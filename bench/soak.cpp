// The soak: one object of the registered library, created as a host creates
// it, called 100,000 times (every operation, with good and with refused
// arguments). Prints the process's handles, private bytes and GDI/USER
// objects before and after, and the calls per second.
//   soak.exe [calls]
#include "tests/cpp/workload.h"
#include <cstdio>
#include <cstdlib>
#include <string>


int main(int argc, char** argv) {
    const long target = argc > 1 ? atol(argv[1]) : 100000;
    ::CoInitialize(nullptr);
    int status = 0;
    {
        com_ptr<IQVFileIO> object;
        const HRESULT hr = ::CoCreateInstance(CLSID_QVFileIO, nullptr, CLSCTX_INPROC_SERVER, IID_IQVFileIO,
                                              object.put_void());
        if (FAILED(hr)) {
            printf("the class is not registered: %08lX\n", static_cast<unsigned long>(hr));
            return 1;
        }
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        const std::string folder = std::string(temp) + "qvfileio-soak";
        ::CreateDirectoryA(folder.c_str(), nullptr);
        Workload work(object.get(), folder, L"Software\\QVFileIOSoak");
        // Warming up: what the process keeps once (libraries, type
        // information, the system's own caches) is taken before the count.
        for (long warm = 0; warm < target / 20;) warm += work.Round();
        const ProcessFigures before = MeasureProcess();
        const DWORD start = ::GetTickCount();
        long calls = 0;
        while (calls < target) calls += work.Round();
        const DWORD elapsed = ::GetTickCount() - start;
        const ProcessFigures after = MeasureProcess();
        printf("%ld calls of %u operations in %.1f s: %.0f calls/s\n", calls, unsigned(work.Called().size()),
               elapsed / 1000.0, calls * 1000.0 / (elapsed ? elapsed : 1));
        printf("                 before      after\n");
        printf("handles       %9lu  %9lu\n", before.handles, after.handles);
        printf("private bytes %9llu  %9llu\n", before.privateBytes, after.privateBytes);
        printf("GDI objects   %9lu  %9lu\n", before.gdiObjects, after.gdiObjects);
        printf("USER objects  %9lu  %9lu\n", before.userObjects, after.userObjects);
        status = before.handles == after.handles && before.gdiObjects == after.gdiObjects &&
                         before.userObjects == after.userObjects
                     ? 0
                     : 2;
        ::RemoveDirectoryA(folder.c_str());
    }
    ::CoUninitialize();
    return status;
}
