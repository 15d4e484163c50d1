// Names that Windows treats as devices: nothing is written, created, copied
// or moved there (writing to NUL would report success and keep nothing),
// and a device is not a file. Names that merely begin like one are files.
#include "tests/cpp/support.h"
#include <functional>

using DeviceTest = QVFileIOTest;

TEST_F(DeviceTest, WritingOperationsRefuseDeviceNames) {
    ScratchDir dir;
    WriteBytes(dir / "a.txt", "kept");
    const Bstr file(dir / "a.txt"), data(L"x");
    struct Case {
        const char* operation;
        std::function<HRESULT(BSTR)> call;
        const wchar_t* description;
    };
    IQVFileIO* qv = object.get();
    const Case cases[] = {
        {"Write", [&](BSTR p) { return qv->Write(data, p, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE); },
         L"Failed to write to the file"},
        {"Append", [&](BSTR p) { return qv->Append(data, p, VARIANT_TRUE, VARIANT_TRUE, VARIANT_FALSE); },
         L"Failed to write to the file"},
        {"WriteToExistingFile", [&](BSTR p) { return qv->WriteToExistingFile(data, p, VARIANT_FALSE, VARIANT_TRUE); },
         L"Failed to write to the file"},
        {"CreateFile", [&](BSTR p) { return qv->CreateFile(p, VARIANT_TRUE, VARIANT_TRUE); }, L"Failed to create the file"},
        {"CreateDir", [&](BSTR p) { return qv->CreateDir(p); }, L"Failed to create the directory"},
        {"CopyFile to", [&](BSTR p) { return qv->CopyFile(file, p, VARIANT_TRUE, VARIANT_TRUE); }, L"Failed to copy the file"},
        {"CopyFile from", [&](BSTR p) { return qv->CopyFile(p, Bstr(dir / "b.txt"), VARIANT_TRUE, VARIANT_TRUE); },
         L"Failed to copy the file"},
        {"MoveFileOrDirectory", [&](BSTR p) { return qv->MoveFileOrDirectory(file, p); },
         L"Failed to move the file or directory"},
    };
    const std::string devices[] = {"nul", "NUL.txt", dir / "con.log", "com1.", dir / "lpt9.dat", "conin$", "\\\\.\\COM1"};
    for (const std::string& device : devices) {
        for (const Case& c : cases) {
            EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_NAME), c.call(Bstr(device))) << c.operation << " " << device;
            EXPECT_EQ(c.description, TakeErrorInfo().description) << c.operation << " " << device;
        }
        VARIANT_BOOL exists = -1;
        EXPECT_EQ(S_OK, object->FileExists(Bstr(device), &exists));
        EXPECT_EQ(0, exists) << device << " is not a file";
    }
    EXPECT_EQ("kept", ReadBytes(dir / "a.txt"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((dir / "b.txt").c_str()));

    for (const char* name : {"console.txt", "nullable.log", "com10.txt"}) {
        EXPECT_EQ(S_OK, object->Write(data, Bstr(dir / name), VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE)) << name;
        VARIANT_BOOL exists = 0;
        EXPECT_EQ(S_OK, object->FileExists(Bstr(dir / name), &exists));
        EXPECT_EQ(1, exists) << name;
    }
}
