#include "server/module.h"
#include "tests/cpp/support.h"
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // "--report-worker N": a worker of the log's concurrency test, not a test run.
    if (argc == 3 && strcmp(argv[1], "--report-worker") == 0) return RunReportWorker(atoi(argv[2]));
    ::testing::InitGoogleTest(&argc, argv);
    ::CoInitialize(nullptr);
    // The product is linked into this program: its module is the program.
    Module::Attach(::GetModuleHandleA(nullptr));
    const int result = RUN_ALL_TESTS();
    Module::Detach();
    ::CoUninitialize();
    return result;
}
