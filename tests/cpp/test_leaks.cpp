// A long-lived host calls us thousands of times: every handle taken is given
// back. The soak program (make soak) runs the same rounds a hundred thousand
// times and prints the figures.
#include "tests/cpp/support.h"
#include "tests/cpp/workload.h"

namespace {

int WINAPI NoMessageBox(HWND, LPCSTR, LPCSTR, UINT) { return IDOK; }

TEST_F(QVFileIOTest, ThousandsOfCallsGiveBackEveryHandle) {
    ScopedWin32Override<decltype(win32.MessageBoxA)> noBox(win32.MessageBoxA, &NoMessageBox);
    ScratchDir dir;
    Workload work(object.get(), dir.path(), L"Software\\QVFileIOLeakTest");
    // The first rounds load what a process keeps: libraries, type information.
    work.Round();
    work.Round();
    const ProcessFigures before = MeasureProcess();
    ASSERT_GT(before.handles, 0u);
    int calls = 0;
    while (calls < 3000) calls += work.Round();
    const ProcessFigures after = MeasureProcess();
    EXPECT_EQ(before.handles, after.handles) << "after " << calls << " calls";
    EXPECT_EQ(before.gdiObjects, after.gdiObjects);
    EXPECT_EQ(before.userObjects, after.userObjects);
    EXPECT_EQ(42u, work.Called().size()) << "every operation is called";
    DeleteLog();
}

}  // namespace
