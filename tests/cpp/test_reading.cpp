// Read: the text-mode translation, the 79-byte pieces, the failures, and the
// decoder's equality with the plain piece-by-piece algorithm.
#include "tests/cpp/support.h"
#include "fileops/pieces.h"
#include <random>

namespace {

class ReadTest : public QVFileIOTest {
protected:
    // Reads `bytes` from a file through the object.
    std::wstring ReadBack(const std::string& bytes) {
        const std::string path = dir / "file.txt";
        WriteBytes(path, bytes);
        Bstr text(L"sentinel");
        EXPECT_EQ(S_OK, object->Read(Bstr(path), text.put()));
        EXPECT_FALSE(text.null()) << "an empty file gives an empty string, not null";
        return text.str();
    }
    void ExpectOpenFailure(const std::string& path) {
        DeleteLog();
        Bstr text(L"sentinel");
        BSTR out = text;
        EXPECT_EQ(HRESULT(0x8007006E), object->Read(Bstr(path), &out));
        EXPECT_EQ(BSTR(text), out) << "out-value untouched";
        EXPECT_EQ(L"Failed to open the file", TakeErrorInfo().description);
        const auto records = ReadLog();
        ASSERT_EQ(1u, records.size());
        EXPECT_EQ("8007006E", records[0].hresult);
        EXPECT_EQ(std::vector<std::string>{"szDirPath: Failed to open the file"}, records[0].pieces);
    }
    ScratchDir dir;
};

// The plain algorithm: one piece at a time, up to 79 bytes or a zero byte
// (consumed), each converted by itself and appended.
std::wstring PiecesOf(const std::string& translated, UINT codePage) {
    std::wstring result;
    size_t at = 0;
    while (at < translated.size()) {
        std::string piece;
        while (at < translated.size() && piece.size() < 79) {
            const char c = translated[at++];
            if (c == '\0') break;
            piece += c;
        }
        if (piece.empty()) continue;
        const int chars = ::MultiByteToWideChar(codePage, 0, piece.data(), int(piece.size()), nullptr, 0);
        std::wstring wide(size_t(chars), L'\0');
        ::MultiByteToWideChar(codePage, 0, piece.data(), int(piece.size()), &wide[0], chars);
        result += wide;
    }
    return result;
}

// msvcrt's text mode: CR LF arrives as LF, a lone CR stays, Ctrl-Z ends.
std::string TextMode(const std::string& bytes) {
    std::string translated;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x1a') break;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        translated += bytes[i];
    }
    return translated;
}

TEST_F(ReadTest, TranslatesTextModeAndDropsZeroBytes) {
    struct Case {
        std::string bytes;
        std::wstring text;
    } cases[] = {
        {"a\r\nb", L"a\nb"},
        {"a\nb", L"a\nb"},
        {"a\rb\r", L"a\rb\r"},  // a lone CR stays
        {"a\r\r\nb", L"a\r\nb"},
        {std::string("one\0two", 7), L"onetwo"},
        {std::string("\0\0x\0", 4), L"x"},
        {"ab\x1a" "cd\r\n", L"ab"},  // Ctrl-Z ends the data
        {"\x1a" "abc", L""},
        {"caf\xe9 \xe0", L"caf\xe9 \xe0"},
        {"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, ReadBack(c.bytes)) << "bytes " << c.bytes;
    EXPECT_TRUE(ReadLog().empty());
}

TEST_F(ReadTest, PieceBoundaries) {
    for (size_t length : {78u, 79u, 80u, 158u, 159u}) {
        std::string bytes;
        for (size_t i = 0; i < length; ++i) bytes += char('a' + i % 26);
        EXPECT_EQ(std::wstring(bytes.begin(), bytes.end()), ReadBack(bytes)) << length << " bytes";
    }
    // A CR LF pair split by the 79th byte still arrives as one LF.
    const std::string x78(78, 'x');
    EXPECT_EQ(std::wstring(78, L'x') + L"\ny", ReadBack(x78 + "\r\ny"));
    // A zero byte right after a full piece, and at the very start.
    EXPECT_EQ(std::wstring(79, L'x') + L"z", ReadBack(std::string(79, 'x') + std::string("\0z", 2)));
}

TEST_F(ReadTest, LargeFileEqualsPieceByPieceResult) {
    std::mt19937 random(7);
    std::string bytes;
    const char alphabet[] = "abcdefghij \r\n\r\n\r\0\xe9\xfc\x80";
    while (bytes.size() < 3 * 1024 * 1024 + 17) bytes += alphabet[random() % (sizeof alphabet - 1)];
    const std::wstring expected = PiecesOf(TextMode(bytes), CP_ACP);
    ASSERT_GT(expected.size(), 2u * 1024 * 1024);
    EXPECT_TRUE(expected == ReadBack(bytes)) << "the large file differs from the piece-by-piece result";
}

TEST_F(ReadTest, MissingFileAndDirectoryFailToOpen) {
    ExpectOpenFailure(dir / "missing.txt");
    ExpectOpenFailure(dir / "no\\such\\dir.txt");
    ExpectOpenFailure(dir.path());
}

TEST_F(ReadTest, InvalidPathAndNullOut) {
    Bstr text(L"sentinel");
    BSTR out = text;
    EXPECT_EQ(E_INVALIDARG, object->Read(Bstr(L"C:\\a*b.txt"), &out));
    EXPECT_EQ(BSTR(text), out);
    EXPECT_EQ(L"Invalid path name", TakeErrorInfo().description);
    const auto records = ReadLog();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(std::vector<std::string>{"bstrFullPath: Invalid path name"}, records[0].pieces);

    const std::string path = dir / "a.txt";
    WriteBytes(path, "a");
    EXPECT_EQ(E_POINTER, object->Read(Bstr(path), nullptr));
}

TEST_F(ReadTest, ReadsWhileAnotherHandleWrites) {
    const std::string path = dir / "shared.txt";
    WriteBytes(path, "shared");
    unique_hfile writer(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.valid());
    Bstr text;
    ASSERT_EQ(S_OK, object->Read(Bstr(path), text.put()));
    EXPECT_EQ(L"shared", text.str());
}

// A failing read is a failure, not the text read so far (here: none).
// Wine enforces no byte-range lock on reads, so the failing file is Linux's
// own memory file of the process, whose read at offset 0 fails with EIO.
TEST_F(ReadTest, FailingReadIsAFailure) {
    Bstr text(L"sentinel");
    BSTR out = text;
    EXPECT_EQ(E_FAIL, object->Read(Bstr(L"Z:\\proc\\self\\mem"), &out));
    EXPECT_EQ(BSTR(text), out);
    EXPECT_EQ(L"Failed to read from the file", TakeErrorInfo().description);
    const auto records = ReadLog();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("80004005", records[0].hresult);
    EXPECT_EQ(std::vector<std::string>{"szDirPath: Failed to read from the file"}, records[0].pieces);
}

// In a double-byte code page each piece is converted alone: a character
// whose lead byte is the 79th byte of a piece is not joined with its trail
// byte. The decoder must give that whatever the sizes it is fed in.
TEST(PieceDecoderTest, DoubleByteCodePageConvertsPiecesAlone) {
    const UINT shiftJis = 932;
    CPINFO info;
    ASSERT_TRUE(::GetCPInfo(shiftJis, &info)) << "code page 932 is needed for this test";
    const std::string straddling = std::string(78, 'a') + "\x88\xa0" + "b";  // lead byte at position 79
    PieceDecoder one(shiftJis);
    one.Feed(straddling.data(), straddling.size());
    const std::wstring text = one.Finish();
    EXPECT_EQ(PiecesOf(straddling, shiftJis), text);
    EXPECT_EQ(81u, text.size()) << "78 letters, two halves converted alone, b";

    std::mt19937 random(11);
    std::string bytes;
    const char alphabet[] = "ab\x88\xa0\x82\xa0\0\n";
    while (bytes.size() < 200000) bytes += alphabet[random() % (sizeof alphabet - 1)];
    const std::wstring expected = PiecesOf(bytes, shiftJis);
    for (size_t feed : {1u, 7u, 79u, 80u, 4096u, 200000u}) {
        PieceDecoder decoder(shiftJis);
        for (size_t at = 0; at < bytes.size(); at += feed)
            decoder.Feed(bytes.data() + at, std::min(feed, bytes.size() - at));
        EXPECT_TRUE(expected == decoder.Finish()) << "fed in blocks of " << feed;
    }
    PieceDecoder latin(1252);
    for (size_t at = 0; at < bytes.size(); at += 333) latin.Feed(bytes.data() + at, std::min<size_t>(333, bytes.size() - at));
    EXPECT_TRUE(PiecesOf(bytes, 1252) == latin.Finish()) << "single-byte code page";
}

}  // namespace
