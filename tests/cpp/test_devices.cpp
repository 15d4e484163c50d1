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

TEST_F(DeviceTest, SizeAndTimesRefuseDeviceNames) {
    ScratchDir dir;
    IQVFileIO* qv = object.get();
    using Getter = HRESULT (STDMETHODCALLTYPE IQVFileIO::*)(BSTR, BSTR*);
    auto time = [qv](Getter getter) {
        return [qv, getter](BSTR p) {
            Bstr text;
            return (qv->*getter)(p, text.put());
        };
    };
    const struct {
        std::function<HRESULT(BSTR)> call;
        const char* message;
    } cases[] = {
        {[qv](BSTR p) { long size = -1; return qv->GetFileSize(p, &size); }, "Failed to get the file size"},
        {time(&IQVFileIO::GetCreationDate), "Failed to get the file's creation date"},
        {time(&IQVFileIO::GetCreationTime), "Failed to get the file's creation time"},
        {time(&IQVFileIO::GetLastAccessedDate), "Failed to get the last accessed date"},
        {time(&IQVFileIO::GetLastAccessedTime), "Failed to get the last accessed time"},
        {time(&IQVFileIO::GetLastModifiedDate), "Failed to get the last modified date"},
        {time(&IQVFileIO::GetLastModifiedTime), "Failed to get the last modified time"},
    };
    for (const std::string& device : {dir / "nul", std::string("CON"), dir / "com1.txt"}) {
        for (const auto& c : cases) {
            DeleteLog();
            EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_NAME), c.call(Bstr(device))) << c.message << " " << device;
            EXPECT_EQ(Bstr(std::string(c.message)).str(), TakeErrorInfo().description) << device;
            EXPECT_EQ((std::vector<std::string>{"8007007B bstrFullpath: " + device, "8007007B Error: " + std::string(c.message)}),
                      LogLines()) << device;
        }
    }
}
