// IsValidFileOrDirectoryName through the interface: answers, the refused
// flag, and the test on characters rather than ANSI bytes.
#include "tests/cpp/support.h"

namespace {

struct NameCase {
    const wchar_t* name;
    long kind;
    VARIANT_BOOL expected;
};

class ValidationTest : public QVFileIOTest {};

TEST_F(ValidationTest, AnswersNamesAndPaths) {
    const NameCase cases[] = {
        {L"C:\\temp\\a.txt", 1, 1}, {L"C:\\temp\\a.txt", 0, 0}, {L"a.txt", 0, 1},   {L"a.txt", 1, 1},
        {L"   ", 1, 0},             {L" a", 1, 1},              {L"", 0, 0},        {L"a/b", 1, 1},
        {L"a/b", 0, 0},             {L"C:\\a:b", 1, 1},         {L"C:\\a:b", 0, 0}, {L"a*b", 1, 0},
        {L"a?b", 0, 0},             {L"a\"b", 1, 0},            {L"a<b", 1, 0},     {L"a>b", 1, 0},
        {L"a|b", 0, 0},             {L"a\tb", 0, 1},            {L"a\x01" L"b", 1, 1},
        // Not in the ANSI code page: a name like any other.
        {L"a\x4e00" L"b", 1, 1}, {L"\xd83d\xde00", 0, 1},
    };
    for (const NameCase& c : cases) {
        VARIANT_BOOL valid = 42;
        ASSERT_EQ(S_OK, object->IsValidFileOrDirectoryName(Bstr(c.name), c.kind, &valid)) << c.kind;
        EXPECT_EQ(c.expected, valid) << "kind " << c.kind << " name #" << (&c - cases);
    }
    EXPECT_TRUE(ReadLog().empty()) << "an invalid name is an answer, not a failure";
}

TEST_F(ValidationTest, LengthLimitIs260Characters) {
    VARIANT_BOOL valid = 42;
    ASSERT_EQ(S_OK, object->IsValidFileOrDirectoryName(Bstr(std::wstring(260, L'a')), 0, &valid));
    EXPECT_EQ(1, valid);
    ASSERT_EQ(S_OK, object->IsValidFileOrDirectoryName(Bstr(std::wstring(261, L'a')), 0, &valid));
    EXPECT_EQ(0, valid);
    ASSERT_EQ(S_OK, object->IsValidFileOrDirectoryName(nullptr, 1, &valid));
    EXPECT_EQ(0, valid);
}

TEST_F(ValidationTest, CopyEndsAtFirstNul) {
    // "a.txt" NUL "*": the copy holds only "a.txt".
    const wchar_t text[] = L"a.txt\0*";
    Bstr withNul(std::wstring(text, 7));
    VARIANT_BOOL valid = 42;
    ASSERT_EQ(S_OK, object->IsValidFileOrDirectoryName(withNul, 0, &valid));
    EXPECT_EQ(1, valid);
}

TEST_F(ValidationTest, RefusedFlagIsLoggedAndLeavesOutValue) {
    for (long flag : {2L, -1L}) {
        DeleteLog();
        VARIANT_BOOL valid = 42;
        EXPECT_EQ(E_INVALIDARG, object->IsValidFileOrDirectoryName(nullptr, flag, &valid));
        EXPECT_EQ(42, valid);
        const ErrorInfo info = TakeErrorInfo();
        ASSERT_TRUE(info.present);
        EXPECT_EQ(L"Invalid flag value", info.description);
        EXPECT_EQ(L"QVFileIOSvr.QVFileIO3.1", info.source);
        EXPECT_TRUE(IsEqualGUID(IID_IQVFileIO, info.guid));
        const auto records = ReadLog();
        ASSERT_EQ(1u, records.size());
        EXPECT_EQ("80070057", records[0].hresult);
        EXPECT_EQ("QVFileIO.cpp", records[0].file);
        EXPECT_EQ(std::vector<std::string>{"bstrName: Invalid flag value"}, records[0].pieces);
    }
}

// The test is on characters, whatever the ANSI code page makes of them: a
// character whose double-byte form has a backslash as its trail byte is no
// separator (pinned through the conversion seam, since the prefix's code
// page is single-byte), and a fullwidth backslash or asterisk is an
// ordinary character to the system.
TEST_F(ValidationTest, JudgesCharactersNotTheirAnsiBytes) {
    ScopedWin32Override<decltype(win32.WideCharToMultiByte)> dbcs(
        win32.WideCharToMultiByte,
        [](UINT, DWORD, LPCWSTR, int, LPSTR out, int size, LPCSTR, LPBOOL) __attribute__((stdcall)) -> int {
            static const char bytes[] = {'\x95', '\x5c', 'a'};  // a lead byte, a trail byte 0x5C, 'a'
            if (out && size >= 3) memcpy(out, bytes, 3);
            return 3;
        });
    for (const wchar_t* name : {L"\x8868" L"a", L"a\xff3c" L"b", L"a\xff0a" L"b"}) {
        VARIANT_BOOL valid = 42;
        ASSERT_EQ(S_OK, object->IsValidFileOrDirectoryName(Bstr(name), 0, &valid));
        EXPECT_EQ(1, valid) << AnsiOf(name);
    }
}

}  // namespace
