// make bench's table: every operation family against its floor (bench/
// floors.cpp) on the same input in the same run, and beside them the script
// host's FileSystemObject where it has an equivalent. The operation is
// called through its vtable, the floor natively, FileSystemObject late-bound
// through its IDispatch as a script calls it; each call is timed alone,
// best of several taken in turns. Then the peak private bytes of Write, and
// how the time per MB and per entry grows with the input.
//   compare.exe TREES [SECTION...]
// TREES holds the trees that bench/trees.sh built; the sections (writes,
// reads, queries, registry, trees, deletion, memory, growth) are all run
// unless some are named.
#include "bench/floors.h"
#include "object/qvfileio.h"
#include <psapi.h>
#include <shlwapi.h>
#include <atomic>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

const size_t kMB = 1 << 20;
const int kRounds = 7;
// The deletion trees of trees.sh (del/1 to del/15): two for each of
// kDeletionRounds rounds, kDeletionFsoRuns for FileSystemObject, then one
// for each round of the growth (whose small trees are del-tenth/1 to 3).
const int kDeletionRounds = 5;
const int kDeletionFsoRuns = 2;
const int kDeletionGrowthRounds = 3;
// FileSystemObject sits out the rounds left once it has spent this long on a row.
const double kFsoBudget = 10;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return double(now.QuadPart) / frequency.QuadPart;
}

void Check(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr)) return;
    char text[16];
    snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(hr));
    throw std::runtime_error(std::string(what) + " failed: " + text);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// One of the contenders of a row: its runs, each prepared untimed.
struct Contender {
    std::function<void()> run;
    std::function<void()> prepare = [] {};
    double best = HUGE_VAL;  // seconds
    double spent = 0;
    int runs = 0;
    explicit operator bool() const { return static_cast<bool>(run); }
};

// Best of `rounds`, taken in turns, each round starting with the next
// contender, so that none gains from its place; a contender past `budget`
// seconds sits out the rounds left.
void InTurns(std::initializer_list<Contender*> contenders, int rounds, double budget = HUGE_VAL) {
    const std::vector<Contender*> all(contenders);
    for (int round = 0; round < rounds; ++round)
        for (size_t turn = 0; turn < all.size(); ++turn) {
            Contender* c = all[(round + turn) % all.size()];
            if (!*c || c->spent > budget) continue;
            c->prepare();
            const double start = Now();
            c->run();
            const double elapsed = Now() - start;
            c->best = std::min(c->best, elapsed);
            c->spent += elapsed;
            ++c->runs;
        }
}

// The operation and its floor in turns; then FileSystemObject on its own,
// so that what it leaves behind (freed objects, a deleted tree's metadata
// still on its way to the disk) never falls on the next contender's time.
void Compare(Contender& op, Contender& floor, Contender& fso, int rounds = kRounds, int fsoRuns = kRounds) {
    InTurns({&op, &floor}, rounds);
    InTurns({&fso}, fsoRuns, kFsoBudget);
}

// A time per `calls` in the unit that suits it.
std::string Time(double seconds, int calls) {
    char text[32];
    const double each = seconds / calls;
    if (calls > 1)
        snprintf(text, sizeof text, "%.1f us", each * 1e6);
    else
        snprintf(text, sizeof text, "%.1f ms", each * 1e3);
    return text;
}

void Heading() {
    printf("%-46s %12s %12s %7s %18s\n", "work", "QVFileIO", "floor", "ratio", "FileSystemObject");
}

void Row(const char* work, const Contender& op, const Contender& floor, const Contender& fso, int calls = 1) {
    std::string other = "-";
    if (fso) other = Time(fso.best, calls) + (fso.runs < op.runs ? " (" + std::to_string(fso.runs) + ")" : "");
    printf("%-46s %12s %12s %7.2f %18s\n", work, Time(op.best, calls).c_str(), Time(floor.best, calls).c_str(),
           op.best / floor.best, other.c_str());
    fflush(stdout);
}

// A value of a late-bound call, cleared on every path out.
class Variant {
public:
    Variant() { ::VariantInit(&value_); }
    Variant(Variant&& other) noexcept : value_(other.value_) { other.value_.vt = VT_EMPTY; }
    ~Variant() { ::VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* put() { ::VariantClear(&value_); return &value_; }
    IDispatch* object() const { return value_.vt == VT_DISPATCH ? value_.pdispVal : nullptr; }
    IUnknown* unknown() const { return value_.vt == VT_UNKNOWN || value_.vt == VT_DISPATCH ? value_.punkVal : nullptr; }
    BSTR text() const { return value_.vt == VT_BSTR ? value_.bstrVal : nullptr; }

private:
    VARIANT value_;
};

// An argument of a late-bound call; a BSTR passed in is borrowed.
class Arg {
public:
    Arg(BSTR text) { value_.vt = VT_BSTR, value_.bstrVal = text; }
    Arg(bool flag) { value_.vt = VT_BOOL, value_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE; }
    Arg(int number) { value_.vt = VT_I4, value_.lVal = number; }
    const VARIANT& get() const { return value_; }

private:
    VARIANT value_ = {};
};

// A call by name, as a script makes it: the name looked up, then invoked.
Variant Call(IDispatch* object, const wchar_t* name, std::initializer_list<Arg> args = {},
             WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
    DISPID id = 0;
    LPOLESTR member = const_cast<LPOLESTR>(name);
    Check(object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    std::vector<VARIANT> reversed;
    for (auto arg = args.end(); arg != args.begin();) reversed.push_back((--arg)->get());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Variant result;
    Check(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.put(), nullptr, nullptr),
          "a FileSystemObject call");
    return result;
}

// For Each over a collection: `visit` gets each item.
template <class Visit>
void ForEach(IDispatch* collection, Visit&& visit) {
    DISPPARAMS none = {};
    Variant enumerator;
    Check(collection->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                             &none, enumerator.put(), nullptr, nullptr),
          "_NewEnum");
    IUnknown* unknown = enumerator.unknown();
    if (!unknown) throw std::runtime_error("_NewEnum gave no object");
    com_ptr<IEnumVARIANT> items;
    Check(unknown->QueryInterface(IID_IEnumVARIANT, items.put_void()), "IEnumVARIANT");
    for (;;) {
        Variant item;
        ULONG got = 0;
        if (items->Next(1, item.put(), &got) != S_OK || got == 0) return;
        visit(item.object());
    }
}

// FileSystemObject's walk of a tree, matching names as the search does.
void Walk(IDispatch* folder, const wchar_t* pattern, long& found) {
    ForEach(Call(folder, L"Files").object(), [&](IDispatch* file) {
        if (::PathMatchSpecW(Call(file, L"Name").text(), pattern)) ++found;
    });
    ForEach(Call(folder, L"SubFolders").object(), [&](IDispatch* sub) {
        if (::PathMatchSpecW(Call(sub, L"Name").text(), pattern)) ++found;
        Walk(sub, pattern, found);
    });
}

// The benchmark's text: lines of 100 bytes ending in CR LF.
unique_bstr Text(size_t bytes) {
    const std::wstring line =
        L"the quick brown fox jumps over the lazy dog 0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLM\r\n";
    unique_bstr text(::SysAllocStringLen(nullptr, static_cast<UINT>(bytes)));
    for (size_t i = 0; i < bytes; ++i) text.get()[i] = line[i % line.size()];
    return text;
}

void MakeFile(const std::string& path, size_t bytes) {
    const std::string line =
        "the quick brown fox jumps over the lazy dog 0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLM\r\n";
    std::string chunk;
    while (chunk.size() < kMB) chunk += line;
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (size_t written = 0; written < bytes; written += kMB) {
        DWORD done = 0;
        ::WriteFile(file.get(), chunk.data(), static_cast<DWORD>(std::min(kMB, bytes - written)), &done, nullptr);
    }
}

std::wstring Listing(BSTR text) { return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring(); }

// The process's private bytes now: Wine's GetProcessMemoryInfo gives them
// as PagefileUsage.
size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

// The most private bytes the process held while `fn` ran, above what it
// held before. Wine gives no peak of its own (its PeakPagefileUsage is the
// current figure), so a second thread samples the figure meanwhile; the
// figure before is its first sample, so that the thread itself is not
// counted.
size_t PeakAbove(const std::function<void()>& fn) {
    std::atomic<bool> started(false), done(false);
    size_t before = 0, peak = 0;
    std::thread sampler([&] {
        before = peak = PrivateBytes();
        started = true;
        while (!done) peak = std::max(peak, PrivateBytes());
    });
    while (!started) ::Sleep(0);
    fn();
    done = true;
    sampler.join();
    return std::max(peak, PrivateBytes()) - before;
}

struct Bench {
    com_ptr<IQVFileIO> qv;
    com_ptr<IDispatch> fso;
    std::string scratch, trees;

    unique_bstr Bstr(const std::string& text) { return unique_bstr(::SysAllocString(Wide(text).c_str())); }
    std::string At(const std::string& name) const { return scratch + "\\" + name; }
    void Ok(HRESULT hr, const char* what) { Check(hr, what); }

    void Writes();
    void Reads();
    void Queries();
    void Trees();
    void Deletion();
    void Registry();
    void Memory();
    void Growth();
};

void Bench::Writes() {
    for (size_t megabytes : {1u, 10u}) {
        const std::string path = At("over.txt");
        const unique_bstr wide = Bstr(path), text = Text(megabytes * kMB);
        MakeFile(path, megabytes * kMB);
        Contender op, floor, other;
        op.run = [&] { Ok(qv->Write(text.get(), wide.get(), 1, 1, 0), "Write"); };
        floor.run = [&] { floors::WriteOver(text.get(), scratch.c_str(), path.c_str()); };
        other.run = [&] {
            Variant stream = Call(fso.get(), L"CreateTextFile", {wide.get(), true});
            Call(stream.object(), L"Write", {text.get()});
            Call(stream.object(), L"Close");
        };
        Compare(op, floor, other);
        Row((std::string("Write ") + std::to_string(megabytes) + " MB over a file of " + std::to_string(megabytes) +
             " MB").c_str(),
            op, floor, other);
    }
    {
        // The fixed cost of a replacement: above all the flush to the disk.
        const std::string path = At("small.txt");
        const unique_bstr wide = Bstr(path), text = Text(100);
        MakeFile(path, 100);
        const int calls = 50;
        Contender op, floor, other;
        op.run = [&] {
            for (int i = 0; i < calls; ++i) Ok(qv->Write(text.get(), wide.get(), 1, 1, 0), "Write");
        };
        floor.run = [&] {
            for (int i = 0; i < calls; ++i) floors::WriteOver(text.get(), scratch.c_str(), path.c_str());
        };
        other.run = [&] {
            for (int i = 0; i < calls; ++i) {
                Variant stream = Call(fso.get(), L"CreateTextFile", {wide.get(), true});
                Call(stream.object(), L"Write", {text.get()});
                Call(stream.object(), L"Close");
            }
        };
        Compare(op, floor, other);
        Row("Write 100 bytes over 100 bytes (per call)", op, floor, other, calls);
        ::DeleteFileA(path.c_str());
    }
    {
        const std::string path = At("new.txt");
        const unique_bstr wide = Bstr(path), text = Text(10 * kMB);
        Contender op, floor, other;
        op.prepare = floor.prepare = other.prepare = [&] { ::DeleteFileA(path.c_str()); };
        op.run = [&] { Ok(qv->Write(text.get(), wide.get(), 1, 1, 0), "Write"); };
        floor.run = [&] { floors::WriteNew(text.get(), scratch.c_str(), path.c_str()); };
        other.run = [&] {
            Variant stream = Call(fso.get(), L"CreateTextFile", {wide.get(), false});
            Call(stream.object(), L"Write", {text.get()});
            Call(stream.object(), L"Close");
        };
        Compare(op, floor, other);
        Row("Write 10 MB to a new file", op, floor, other);
        ::DeleteFileA(path.c_str());
    }
    {
        const std::string path = At("append.txt");
        const unique_bstr wide = Bstr(path), text = Text(100);
        const int calls = 1000;
        Contender op, floor, other;
        op.prepare = floor.prepare = other.prepare = [&] { MakeFile(path, 0); };
        op.run = [&] {
            for (int i = 0; i < calls; ++i) Ok(qv->Append(text.get(), wide.get(), 1, 1, 0), "Append");
        };
        floor.run = [&] {
            for (int i = 0; i < calls; ++i) floors::Append(text.get(), scratch.c_str(), path.c_str());
        };
        other.run = [&] {
            for (int i = 0; i < calls; ++i) {
                Variant stream = Call(fso.get(), L"OpenTextFile", {wide.get(), 8, true});
                Call(stream.object(), L"Write", {text.get()});
                Call(stream.object(), L"Close");
            }
        };
        Compare(op, floor, other);
        Row("Append 100 bytes, 1,000 times", op, floor, other);
        ::DeleteFileA(path.c_str());
    }
    {
        const std::string path = At("over.txt");
        const unique_bstr wide = Bstr(path), text = Text(10 * kMB);
        MakeFile(path, 10 * kMB);
        Contender op, floor, other;
        op.run = [&] { Ok(qv->WriteToExistingFile(text.get(), wide.get(), 0, 0), "WriteToExistingFile"); };
        floor.run = [&] { floors::WriteToExisting(text.get(), path.c_str()); };
        other.run = [&] {
            Variant stream = Call(fso.get(), L"OpenTextFile", {wide.get(), 2});
            Call(stream.object(), L"Write", {text.get()});
            Call(stream.object(), L"Close");
        };
        Compare(op, floor, other);
        Row("WriteToExistingFile 10 MB over 10 MB", op, floor, other);
        ::DeleteFileA(path.c_str());
    }
    {
        const std::string source = At("source.txt"), destination = At("copy.txt");
        const unique_bstr wideSource = Bstr(source), wideDestination = Bstr(destination);
        MakeFile(source, 40 * kMB);
        MakeFile(destination, 40 * kMB);
        Contender op, floor, other;
        op.run = [&] { Ok(qv->CopyFile(wideSource.get(), wideDestination.get(), 1, 0), "CopyFile"); };
        floor.run = [&] { floors::CopyOver(source.c_str(), destination.c_str()); };
        other.run = [&] { Call(fso.get(), L"CopyFile", {wideSource.get(), wideDestination.get(), true}); };
        Compare(op, floor, other);
        Row("CopyFile 40 MB over an existing file", op, floor, other);
        ::DeleteFileA(source.c_str());
        ::DeleteFileA(destination.c_str());
    }
}

void Bench::Reads() {
    for (size_t megabytes : {10u, 40u}) {
        const std::string path = At("read.txt");
        const unique_bstr wide = Bstr(path);
        MakeFile(path, megabytes * kMB);
        UINT opLength = 0, floorLength = 0;
        Contender op, floor, other;
        op.run = [&] {
            unique_bstr text;
            Ok(qv->Read(wide.get(), text.put()), "Read");
            opLength = ::SysStringLen(text.get());
        };
        floor.run = [&] {
            unique_bstr text(floors::Read(path.c_str()));
            floorLength = ::SysStringLen(text.get());
        };
        // Wine's ReadAll slows down more than linearly: it is shown at 10 MB.
        if (megabytes == 10)
            other.run = [&] {
                Variant stream = Call(fso.get(), L"OpenTextFile", {wide.get(), 1});
                Variant text = Call(stream.object(), L"ReadAll");
                Call(stream.object(), L"Close");
            };
        Compare(op, floor, other);
        if (opLength != floorLength) printf("different texts: %u and %u characters\n", opLength, floorLength);
        Row(("Read " + std::to_string(megabytes) + " MB").c_str(), op, floor, other);
        ::DeleteFileA(path.c_str());
    }
}

void Bench::Queries() {
    const std::string path = At("small.txt");
    const unique_bstr wide = Bstr(path);
    MakeFile(path, 1000);
    const int calls = 200;
    {
        Contender op, floor, other;
        op.run = [&] {
            for (int i = 0; i < calls; ++i) {
                VARIANT_BOOL exists = 0;
                Ok(qv->FileExists(wide.get(), &exists), "FileExists");
            }
        };
        floor.run = [&] {
            for (int i = 0; i < calls; ++i) floors::FileExists(path.c_str());
        };
        other.run = [&] {
            for (int i = 0; i < calls; ++i) Call(fso.get(), L"FileExists", {wide.get()});
        };
        Compare(op, floor, other);
        Row("FileExists of a file (per call)", op, floor, other, calls);
    }
    {
        Contender op, floor, other;
        op.run = [&] {
            for (int i = 0; i < calls; ++i) {
                long size = 0;
                Ok(qv->GetFileSize(wide.get(), &size), "GetFileSize");
            }
        };
        floor.run = [&] {
            for (int i = 0; i < calls; ++i) floors::FileSize(path.c_str());
        };
        other.run = [&] {
            for (int i = 0; i < calls; ++i) Call(Call(fso.get(), L"GetFile", {wide.get()}).object(), L"Size");
        };
        Compare(op, floor, other);
        Row("GetFileSize (per call)", op, floor, other, calls);
    }
    {
        Contender op, floor, other;
        op.run = [&] {
            for (int i = 0; i < calls; ++i) {
                unique_bstr date;
                Ok(qv->GetLastModifiedDate(wide.get(), date.put()), "GetLastModifiedDate");
            }
        };
        floor.run = [&] {
            for (int i = 0; i < calls; ++i) unique_bstr date(floors::LastModifiedDate(path.c_str()));
        };
        other.run = [&] {
            for (int i = 0; i < calls; ++i)
                Call(Call(fso.get(), L"GetFile", {wide.get()}).object(), L"DateLastModified");
        };
        Compare(op, floor, other);
        Row("GetLastModifiedDate (per call)", op, floor, other, calls);
    }
    ::DeleteFileA(path.c_str());
}

void Bench::Registry() {
    const char subKey[] = "Software\\QVFileIOBench";
    const unique_bstr wideKey = Bstr(subKey), name = Bstr("Value"), data = Bstr("C:\\QVData\\forms\\settings.ini");
    const int calls = 200;
    Contender writeOp, writeFloor, none;
    writeOp.run = [&] {
        for (int i = 0; i < calls; ++i)
            Ok(qv->CreateRegistryKey(QV_KEY_CURRENT_USER, wideKey.get(), name.get(), data.get(), QV_REG_SZ),
               "CreateRegistryKey");
    };
    writeFloor.run = [&] {
        for (int i = 0; i < calls; ++i) floors::RegistryWrite(HKEY_CURRENT_USER, subKey, "Value", data.get());
    };
    InTurns({&writeOp, &writeFloor}, kRounds);
    Row("CreateRegistryKey of a text value (per call)", writeOp, writeFloor, none, calls);
    Contender readOp, readFloor;
    readOp.run = [&] {
        for (int i = 0; i < calls; ++i) {
            unique_bstr value;
            Ok(qv->ReadRegistryStringData(QV_KEY_CURRENT_USER, wideKey.get(), name.get(), value.put()),
               "ReadRegistryStringData");
        }
    };
    readFloor.run = [&] {
        for (int i = 0; i < calls; ++i) unique_bstr value(floors::RegistryRead(HKEY_CURRENT_USER, subKey, "Value"));
    };
    InTurns({&readOp, &readFloor}, kRounds);
    Row("ReadRegistryStringData (per call)", readOp, readFloor, none, calls);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, subKey);
}

void Bench::Trees() {
    {
        const std::string pattern = trees + "\\flat\\*";
        const unique_bstr wide = Bstr(pattern), folder = Bstr(trees + "\\flat");
        std::wstring opResult, floorResult;
        long count = 0;
        Contender op, floor, other;
        op.run = [&] {
            unique_bstr names;
            Ok(qv->GetDirectoryContents(wide.get(), 1, 1, names.put()), "GetDirectoryContents");
            opResult = Listing(names.get());
        };
        floor.run = [&] {
            unique_bstr names(floors::ListDirectory(pattern.c_str()));
            floorResult = Listing(names.get());
        };
        other.run = [&] {
            count = 0;
            ForEach(Call(Call(fso.get(), L"GetFolder", {folder.get()}).object(), L"Files").object(),
                    [&](IDispatch* file) { count += Call(file, L"Name").text() != nullptr; });
        };
        Compare(op, floor, other);
        if (opResult != floorResult || count != 20000) printf("different listings\n");
        Row("GetDirectoryContents of 20,000 files", op, floor, other);
    }
    {
        const std::string directory = trees + "\\tree";
        const unique_bstr wide = Bstr(directory), pattern = Bstr("*7.txt");
        std::wstring opResult, floorResult;
        long count = 0;
        Contender op, floor, other;
        op.run = [&] {
            unique_bstr found;
            Ok(qv->FindFileOrDirectory(wide.get(), pattern.get(), found.put()), "FindFileOrDirectory");
            opResult = Listing(found.get());
        };
        floor.run = [&] {
            unique_bstr found(floors::Search(directory.c_str(), "*7.txt"));
            floorResult = Listing(found.get());
        };
        other.run = [&] {
            count = 0;
            Walk(Call(fso.get(), L"GetFolder", {wide.get()}).object(), L"*7.txt", count);
        };
        Compare(op, floor, other);
        if (opResult != floorResult || opResult.empty()) printf("different search results\n");
        Row("FindFileOrDirectory over 50,000 entries", op, floor, other);
    }
}

void Bench::Deletion() {
    {
        int next = 0;
        std::string tree;
        unique_bstr wide;
        auto take = [&] {
            tree = trees + "\\del\\" + std::to_string(++next);
            wide = Bstr(tree);
        };
        Contender op, floor, other;
        op.prepare = floor.prepare = other.prepare = take;
        op.run = [&] { Ok(qv->DeleteDirectory(wide.get(), 1, 1), "DeleteDirectory"); };
        floor.run = [&] { floors::DeleteTree(tree.c_str()); };
        other.run = [&] { Call(fso.get(), L"DeleteFolder", {wide.get(), true}); };
        Compare(op, floor, other, kDeletionRounds, kDeletionFsoRuns);
        for (int i = 1; i <= next; ++i)
            if (::GetFileAttributesA((trees + "\\del\\" + std::to_string(i)).c_str()) != INVALID_FILE_ATTRIBUTES)
                printf("a tree was left behind\n");
        Row("DeleteDirectory of 20,000 entries", op, floor, other);
    }
}

void Bench::Memory() {
    const std::string path = At("over.txt");
    const unique_bstr wide = Bstr(path), text = Text(10 * kMB);
    MakeFile(path, 10 * kMB);
    // Once each before, so that what the process keeps once is not counted.
    Ok(qv->Write(text.get(), wide.get(), 1, 1, 0), "Write");
    floors::WriteOver(text.get(), scratch.c_str(), path.c_str());
    const size_t op = PeakAbove([&] { Ok(qv->Write(text.get(), wide.get(), 1, 1, 0), "Write"); });
    const size_t floor = PeakAbove([&] { floors::WriteOver(text.get(), scratch.c_str(), path.c_str()); });
    printf("\nPeak private bytes above those before the call, Write of 10 MB over a file of 10 MB:\n");
    printf("  QVFileIO %.2f MB, floor %.2f MB; the converted text is 10.00 MB\n",
           op / double(kMB), floor / double(kMB));
    ::DeleteFileA(path.c_str());
}

// One row of growth: the time per unit at the input and at `times` the
// input, and their ratio, of the operation and (where given) of its floor,
// all four taken in turns.
void GrowthRow(const char* work, const char* unit, double units, int times, Contender small, Contender large,
               Contender smallFloor, Contender largeFloor, int rounds) {
    InTurns({&small, &large, &smallFloor, &largeFloor}, rounds);
    const double scale = std::string(unit) == "ms" ? 1e3 : 1e6;
    auto figures = [&](const Contender& a, const Contender& b) {
        if (!a) return std::string("-");
        const double perSmall = a.best / units * scale, perLarge = b.best / (units * times) * scale;
        char text[64];
        snprintf(text, sizeof text, "%7.2f %s %7.2f %s %5.2f", perSmall, unit, perLarge, unit, perLarge / perSmall);
        return std::string(text);
    };
    printf("%-46s %-30s %s\n", work, figures(small, large).c_str(), figures(smallFloor, largeFloor).c_str());
    fflush(stdout);
}

void Bench::Growth() {
    printf("\nGrowth: the time per MB or per entry at two sizes, and the second over the first\n");
    printf("%-46s %-30s %s\n", "work", "QVFileIO: per unit, ratio", "floor: per unit, ratio");
    {
        const std::string paths[] = {At("grow1.txt"), At("grow20.txt")};
        const unique_bstr wide[] = {Bstr(paths[0]), Bstr(paths[1])}, text[] = {Text(kMB), Text(20 * kMB)};
        MakeFile(paths[0], kMB);
        MakeFile(paths[1], 20 * kMB);
        Contender op[2], floor[2];
        for (int i = 0; i < 2; ++i) {
            op[i].run = [&, i] { Ok(qv->Write(text[i].get(), wide[i].get(), 1, 1, 0), "Write"); };
            floor[i].run = [&, i] { floors::WriteOver(text[i].get(), scratch.c_str(), paths[i].c_str()); };
        }
        GrowthRow("Write over the same size, per MB: 1, 20 MB", "ms", 1, 20, op[0], op[1], floor[0], floor[1], kRounds);
        for (const std::string& path : paths) ::DeleteFileA(path.c_str());
    }
    {
        const std::string patterns[] = {trees + "\\flat-tenth\\*", trees + "\\flat\\*"};
        const unique_bstr wide[] = {Bstr(patterns[0]), Bstr(patterns[1])};
        Contender op[2], floor[2];
        for (int i = 0; i < 2; ++i) {
            op[i].run = [&, i] {
                unique_bstr names;
                Ok(qv->GetDirectoryContents(wide[i].get(), 1, 1, names.put()), "GetDirectoryContents");
            };
            floor[i].run = [&, i] { unique_bstr names(floors::ListDirectory(patterns[i].c_str())); };
        }
        GrowthRow("GetDirectoryContents: 2,000, 20,000 files", "us", 2000, 10, op[0], op[1], floor[0], floor[1],
                  kRounds);
    }
    {
        const std::string roots[] = {trees + "\\tree-tenth", trees + "\\tree"};
        const unique_bstr wide[] = {Bstr(roots[0]), Bstr(roots[1])}, pattern = Bstr("*7.txt");
        Contender op[2], floor[2];
        for (int i = 0; i < 2; ++i) {
            op[i].run = [&, i] {
                unique_bstr found;
                Ok(qv->FindFileOrDirectory(wide[i].get(), pattern.get(), found.put()), "FindFileOrDirectory");
            };
            floor[i].run = [&, i] { unique_bstr found(floors::Search(roots[i].c_str(), "*7.txt")); };
        }
        GrowthRow("FindFileOrDirectory: 5,000, 50,000 entries", "us", 5000, 10, op[0], op[1], floor[0],
                  floor[1], kRounds);
    }
    {
        // The large trees follow those of the table's rounds.
        int next[] = {0, kDeletionRounds * 2 + kDeletionFsoRuns};
        const char* const folders[] = {"\\del-tenth\\", "\\del\\"};
        unique_bstr tree[2];
        Contender op[2], none;
        for (int i = 0; i < 2; ++i) {
            op[i].prepare = [&, i] { tree[i] = Bstr(trees + folders[i] + std::to_string(++next[i])); };
            op[i].run = [&, i] { Ok(qv->DeleteDirectory(tree[i].get(), 1, 1), "DeleteDirectory"); };
        }
        GrowthRow("DeleteDirectory: 2,000, 20,000 entries", "us", 2000, 10, op[0], op[1], none, none,
                  kDeletionGrowthRounds);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: compare.exe TREES\n");
        return 2;
    }
    ::CoInitialize(nullptr);
    int status = 0;
    try {
        Bench bench;
        bench.trees = argv[1];
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        bench.scratch = std::string(temp) + "qvfloors";
        ::CreateDirectoryA(bench.scratch.c_str(), nullptr);
        Check(QVFileIO::CreateInstance(nullptr, IID_IQVFileIO, bench.qv.put_void()), "the object");
        CLSID fsoClass;
        Check(::CLSIDFromProgID(L"Scripting.FileSystemObject", &fsoClass), "FileSystemObject's class");
        Check(::CoCreateInstance(fsoClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, bench.fso.put_void()),
              "FileSystemObject");
        printf("Each operation against its floor, the least work its contract asks on the same input; best of %d\n"
               "(deletion: %d) taken in turns, each call timed alone; per call where marked, else the whole work.\n"
               "QVFileIO through its vtable, the floor native, FileSystemObject through IDispatch (in brackets:\n"
               "the runs it took within %.0f s)\n\n",
               kRounds, kDeletionRounds, kFsoBudget);
        const std::vector<std::pair<const char*, void (Bench::*)()>> sections = {
            {"writes", &Bench::Writes}, {"reads", &Bench::Reads}, {"queries", &Bench::Queries},
            {"registry", &Bench::Registry}, {"trees", &Bench::Trees}, {"deletion", &Bench::Deletion},
            {"memory", &Bench::Memory},
            {"growth", &Bench::Growth}};
        Heading();
        for (const auto& section : sections) {
            bool named = argc == 2;
            for (int i = 2; i < argc; ++i) named = named || strcmp(argv[i], section.first) == 0;
            if (named) (bench.*section.second)();
        }
        ::RemoveDirectoryA(bench.scratch.c_str());
    } catch (const std::exception& failure) {
        printf("%s\n", failure.what());
        status = 1;
    }
    ::CoUninitialize();
    return status;
}
