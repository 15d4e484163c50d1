#include "server/module.h"
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::CoInitialize(nullptr);
    // The product is linked into this program: its module is the program.
    Module::Attach(::GetModuleHandleA(nullptr));
    const int result = RUN_ALL_TESTS();
    Module::Detach();
    ::CoUninitialize();
    return result;
}
