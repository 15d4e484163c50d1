// Listing, search and deleting where the system must be made to fail on
// purpose: searches that break off, closes that fail, an entry held open by
// the system, a child that cannot be deleted; and the limits of the search.
#include "tests/cpp/support.h"
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// The one path a fake refuses, and the error it gives.
struct Refused {
    static std::string path;
    static DWORD error;
    static BOOL Fail() {
        ::SetLastError(error);
        return FALSE;
    }
    static BOOL WINAPI FindNext(HANDLE search, LPWIN32_FIND_DATAW data) { return Fail(); }
    static BOOL WINAPI FindClose(HANDLE search) {
        ::FindClose(search);  // the real handle still goes
        return Fail();
    }
    static DWORD WINAPI Attributes(LPCWSTR name) {
        if (path != AnsiOf(name)) return ::GetFileAttributesW(name);
        ::SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    static BOOL WINAPI Delete(LPCWSTR name) { return path == AnsiOf(name) ? Fail() : ::DeleteFileW(name); }
};
std::string Refused::path;
DWORD Refused::error;

class ListingTest : public QVFileIOTest {
protected:
    void Touch(const std::string& path) { WriteBytes(path, "x"); }
    std::wstring Description() { return TakeErrorInfo().description; }
    ScratchDir dir;
};

TEST_F(ListingTest, TwoKindsOfEmptyListing) {
    Touch(dir / "a.txt");
    const struct {
        const char* pattern;
        VARIANT_BOOL files, directories;
        bool null;
    } cases[] = {
        {"*.none", 1, 1, true},  // nothing matches
        {"*", 0, 0, true},       // nothing is searched
        {"*.txt", 0, 1, false},  // a match that the filter leaves out
    };
    for (const auto& c : cases) {
        Bstr listing;
        ASSERT_EQ(S_OK, object->GetDirectoryContents(Bstr(dir / c.pattern), c.files, c.directories, listing.put()))
            << c.pattern;
        EXPECT_EQ(c.null, listing.null()) << c.pattern;
        EXPECT_EQ(L"", listing.str()) << c.pattern;
    }
    EXPECT_TRUE(ReadLog().empty());
}

TEST_F(ListingTest, SearchThatBreaksOffOrCannotClose) {
    Touch(dir / "a.txt");
    Refused::error = ERROR_NOT_ENOUGH_MEMORY;
    {
        ScopedWin32Override<decltype(win32.FindNextFileW)> fake(win32.FindNextFileW, &Refused::FindNext);
        BSTR sentinel = reinterpret_cast<BSTR>(0x1234);
        BSTR listing = sentinel;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY),
                  object->GetDirectoryContents(Bstr(dir / "*"), 1, 1, &listing));
        EXPECT_EQ(sentinel, listing) << "a broken search writes no listing";
        EXPECT_EQ(L"File not found", Description());
    }
    ScopedWin32Override<decltype(win32.FindClose)> fake(win32.FindClose, &Refused::FindClose);
    Bstr listing;
    EXPECT_EQ(E_ABORT, object->GetDirectoryContents(Bstr(dir / "*.txt"), 1, 1, listing.put()));
    EXPECT_EQ(L"a.txt", listing.str()) << "the listing belongs to the caller even so";
    EXPECT_EQ(L"Failed to close the search", Description());
    const std::vector<LogRecord> log = ReadLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ((std::vector<std::string>{"bstrSearchString: " + dir / "*", "Error: File not found"}), log[0].pieces);
    EXPECT_EQ((std::vector<std::string>{"bstrSearchString: Failed to close the search"}), log[1].pieces);
}

TEST_F(ListingTest, SearchPassesOverAnEntryHeldBySystem) {
    ::CreateDirectoryA((dir / "held").c_str(), nullptr);
    Touch(dir / "held\\x.txt");
    Touch(dir / "y.txt");
    Refused::path = dir / "held";
    Refused::error = ERROR_SHARING_VIOLATION;
    ScopedWin32Override<decltype(win32.GetFileAttributesW)> fake(win32.GetFileAttributesW, &Refused::Attributes);
    Bstr found;
    EXPECT_EQ(S_OK, object->FindFileOrDirectory(Bstr(dir.path()), Bstr(L"*.txt"), found.put()));
    EXPECT_EQ(Bstr(dir / "y.txt").str(), found.str());

    // Any other failure ends the search, keeping what was found before.
    Refused::error = ERROR_ACCESS_DENIED;
    Bstr partial;
    EXPECT_EQ(E_ACCESSDENIED, object->FindFileOrDirectory(Bstr(dir.path()), Bstr(L"*.txt"), partial.put()));
    EXPECT_EQ(Bstr(dir / "y.txt").str(), partial.str());
    EXPECT_EQ(L"Failed to determine if this is a directory", Description());
}

// Several matches in each of several directories come in the file system's
// order: a directory's own, then each subdirectory's tree in the order of
// the full listing. The expected order is walked with the system's calls.
TEST_F(ListingTest, SearchKeepsTheListingOrder) {
    for (const char* sub : {"", "\\b", "\\a", "\\b\\c"}) {
        ::CreateDirectoryA((dir.path() + sub).c_str(), nullptr);
        for (const char* name : {"x1.txt", "y.log", "x2.txt", "x3.txt"}) Touch(dir.path() + sub + "\\" + name);
    }
    auto listed = [](const std::string& pattern, std::vector<std::string>& names) {
        WIN32_FIND_DATAA found;
        unique_hfind search(::FindFirstFileA(pattern.c_str(), &found));
        if (search) do names.push_back(found.cFileName); while (::FindNextFileA(search.get(), &found));
    };
    std::string expected;
    std::function<void(const std::string&)> walk = [&](const std::string& at) {
        std::vector<std::string> matches, all;
        listed(at + "\\x*.txt", matches);
        for (const std::string& name : matches) expected += (expected.empty() ? "" : "|") + at + "\\" + name;
        listed(at + "\\*", all);
        for (const std::string& name : all)
            if (name[0] != '.' && (::GetFileAttributesA((at + "\\" + name).c_str()) & FILE_ATTRIBUTE_DIRECTORY))
                walk(at + "\\" + name);
    };
    walk(dir.path());
    Bstr found;
    ASSERT_EQ(S_OK, object->FindFileOrDirectory(Bstr(dir.path()), Bstr(L"x*.txt"), found.put()));
    EXPECT_EQ(Bstr(expected).str(), found.str());
    EXPECT_EQ(11, std::count(expected.begin(), expected.end(), '|'));
}

TEST_F(ListingTest, SearchStopsAtItsSixThousandthMatch) {
    ::CreateDirectoryA((dir / "sub").c_str(), nullptr);
    Touch(dir / "first.txt");
    char name[32];
    for (int i = 1; i < 5999; ++i) {
        snprintf(name, sizeof name, "sub\\%04d.txt", i);
        Touch(dir / name);
    }
    // 5999 matches: the whole result. A second search counts from 0 again.
    for (int round = 0; round < 2; ++round) {
        Bstr found;
        ASSERT_EQ(S_OK, object->FindFileOrDirectory(Bstr(dir.path()), Bstr(L"*.txt"), found.put()));
        const std::wstring text = found.str();
        EXPECT_EQ(5998, std::count(text.begin(), text.end(), L'|'));
    }
    Touch(dir / "sub\\5999.txt");
    DeleteLog();
    Bstr found;
    EXPECT_EQ(E_FAIL, object->FindFileOrDirectory(Bstr(dir.path()), Bstr(L"*.txt"), found.put()));
    EXPECT_EQ(L"You have exceed the search size.  Please narrow your search request", Description());
    // The directory that reached the limit adds nothing; the top's match stays.
    EXPECT_EQ(Bstr(dir / "first.txt").str(), found.str());
    EXPECT_EQ(2u, ReadLog().size());
}

TEST_F(ListingTest, SearchRefusesAResultAlreadyHeld) {
    BSTR held = ::SysAllocString(L"");
    EXPECT_EQ(E_INVALIDARG, object->FindFileOrDirectory(Bstr(dir.path()), Bstr(L"*"), &held));
    ::SysFreeString(held);
    EXPECT_TRUE(ReadLog().empty());
    EXPECT_FALSE(TakeErrorInfo().present);
}

TEST_F(ListingTest, ChildThatCannotBeDeletedStaysAsItWas) {
    const std::string tree = dir / "tree";
    ::CreateDirectoryA(tree.c_str(), nullptr);
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) Touch(tree + "\\" + name);
    const std::string stuck = tree + "\\b.txt";
    ::SetFileAttributesA(stuck.c_str(), FILE_ATTRIBUTE_READONLY);
    Refused::path = stuck;
    Refused::error = ERROR_SHARING_VIOLATION;
    ScopedWin32Override<decltype(win32.DeleteFileW)> fake(win32.DeleteFileW, &Refused::Delete);

    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY), object->DeleteDirectory(Bstr(tree), 1, 1));
    EXPECT_EQ(L"Failed to delete the directory", Description());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((tree + "\\a.txt").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((tree + "\\c.txt").c_str()));
    // The refused deletion put the read-only attribute back.
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              ::GetFileAttributesA(stuck.c_str()) & FILE_ATTRIBUTE_READONLY);
    const std::vector<LogRecord> log = ReadLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ((std::vector<std::string>{"bstrFullpath: " + stuck, "Error: Failed to delete the file"}), log[0].pieces);
    EXPECT_EQ("80070020", log[0].hresult);
    EXPECT_EQ("80070091", log[1].hresult);
}

// Below the path limit nothing can be named: a deletion or a search that
// reaches such a path stops there with the validation's refusal.
TEST_F(ListingTest, TreeDeeperThanThePathLimit) {
    // A level ends at exactly 250 characters: its listing pattern still fits,
    // its child's path (11 more) does not.
    std::string top = dir / "deep";
    while (top.size() % 11 != 250 % 11) top += 'x';
    std::vector<std::wstring> levels;  // made with the \\?\ prefix, which has no such limit
    for (std::string path = top; path.size() <= MAX_PATH + 20; path += "\\level-0123") {
        levels.push_back(L"\\\\?\\" + Bstr(path).str());
        ASSERT_TRUE(::CreateDirectoryW(levels.back().c_str(), nullptr)) << path.size();
    }
    DeleteLog();
    Bstr found;
    EXPECT_TRUE(FAILED(object->FindFileOrDirectory(Bstr(top), Bstr(L"*.txt"), found.put())));
    // The level above the first path too long is refused; every level above
    // it then stays, as a directory that is not empty.
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY), object->DeleteDirectory(Bstr(top), 1, 1));
    bool refused = false;
    for (const LogRecord& record : ReadLog())
        refused = refused || (record.hresult == "80070057" && !record.pieces.empty() &&
                              record.pieces.back() == "Error:Failed to determine if this is a directory");
    EXPECT_TRUE(refused) << "the refusal of the path too long is in the log";
    size_t removed = 0;
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) removed += ::RemoveDirectoryW(level->c_str());
    EXPECT_EQ(levels.size(), removed) << "every level was still there";
}

}  // namespace
