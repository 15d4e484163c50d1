// Rounds of calls of every operation of the interface, with good and with
// refused arguments, kept inside one scratch folder and one scratch registry
// key below HKEY_CURRENT_USER. The leak test and the soak program run it and
// compare the process's figures before and after.
#pragma once
#include "platform/raii.h"
#include "qvfileio_idl.h"
#include <set>
#include <string>

class Workload {
public:
    // `folder` must exist; `subKey` is created and removed below
    // HKEY_CURRENT_USER. Dialogs the calls open are closed by a timer.
    Workload(IQVFileIO* object, std::string folder, std::wstring subKey);
    ~Workload();
    Workload(const Workload&) = delete;
    Workload& operator=(const Workload&) = delete;

    // One round; returns the number of calls made.
    int Round();
    // The operations that the rounds called.
    const std::set<std::string>& Called() const { return called_; }

private:
    IQVFileIO* object_;
    std::string folder_;
    std::wstring subKey_;
    UINT_PTR timer_;
    std::set<std::string> called_;
};

// A timer callback that closes every window of this thread: a dialog or
// message box that an operation shows runs a message loop, which delivers it.
void CALLBACK CloseDialogs(HWND, UINT, UINT_PTR, DWORD);

// What the process holds: handles, private bytes, GDI and USER objects.
struct ProcessFigures {
    unsigned long handles;
    unsigned long long privateBytes;
    unsigned long gdiObjects, userObjects;
};
ProcessFigures MeasureProcess();
