#include "platform/files.h"
#include "platform/judge.h"
#include "platform/win32.h"
#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
#include <vector>

// Under a judge, a place is reached from the folder of the policy that
// holds it, one part at a time, each through the handle of the folder
// before it: the part is looked up in that folder's listing (a link to a
// folder is a reparse point there) and opened relative to that handle, and
// what opens must be the entry listed (the same file number). A link
// swapped in at any moment makes the two differ, and the act is refused.
// The final path the system gives a handle is not enough on its own: Wine
// computes it by a second look-up of the name, which a swap in between
// fools. It still finds a link to a file, which a listing shows as a file;
// so a file opened for its content, which no folder can be, is opened
// without the look at the listing and judged by its final path alone.

namespace {

// A path or name as the folders kept know it: in upper case.
std::wstring Key(const std::wstring& path) {
    std::wstring key = path;
    for (wchar_t& c : key) c = towupper(c);
    return key;
}

}  // namespace

// A folder's handle, shared by the calls that reach through it: a handle
// that one call lets go stays open for another that still uses it.
using SharedFolder = std::shared_ptr<unique_hfile>;

// Erases the folder `key` and the folders below it from `folders`, a map
// by path in upper case, telling `erased` each value let go.
template <class Folders, class Erased>
void EraseFolderAndBelow(Folders& folders, const std::wstring& key, Erased&& erased) {
    for (auto it = folders.lower_bound(key); it != folders.end() && it->first.compare(0, key.size(), key) == 0;) {
        if (it->first.size() > key.size() && it->first[key.size()] != L'\\') {
            ++it;
            continue;
        }
        erased(it->second);
        it = folders.erase(it);
    }
}

// What a folder's listing said of one entry.
struct Listed {
    DWORD attributes;
    LONGLONG number;
};
// The number of a name that a folder lists twice: never a file's.
const LONGLONG kTwice = -1;
// The most entries of a folder listed whole; a bigger one is looked up an
// entry at a time.
const size_t kMostListed = 200000;

// The folders verified during one judged call, by their path in upper
// case, so that a walk of a tree verifies each folder once. A handle keeps
// the folder it was verified as, whatever its name leads to later. A folder
// looked into more than once in the call (a walk of its entries) is listed
// whole, once: a file then opens as the file listed or is looked up anew,
// so an entry swapped since is still caught.
class VerifiedFolders {
public:
    HANDLE Find(const std::wstring& key) const {
        const auto found = handles_.find(key);
        return found == handles_.end() ? nullptr : found->second->get();
    }
    HANDLE Keep(const std::wstring& key, SharedFolder handle) {
        if (handles_.size() >= kMostKept) {  // a deep walk keeps its nearest folders anew
            handles_.clear();
            listings_.clear();
        }
        return (handles_[key] = std::move(handle))->get();
    }
    // After the folder `key` is removed or renamed: a folder goes only once
    // its last handle is closed (its parent is not empty till then), and a
    // name kept below it would lead to where it went.
    void Forget(const std::wstring& key) {
        EraseFolderAndBelow(handles_, key, [&](const SharedFolder& handle) { listings_.erase(handle->get()); });
    }
    // The entry whose deletion is ahead (files::DeletionAhead), as the
    // change of its attributes opened it, with leave to delete: the
    // deletion acts through the handle judged a moment before.
    void Hold(const std::wstring& full, unique_hfile entry, const std::wstring& place) {
        held_ = std::move(entry);
        heldFull_ = full;
        heldPlace_ = place;
    }
    unique_hfile Take(const std::wstring& full, std::wstring& place) {
        if (!held_ || heldFull_ != full) return unique_hfile();
        place = heldPlace_;
        heldFull_.clear();
        return std::move(held_);
    }
    void Release() {
        held_.reset();
        heldFull_.clear();
    }
    // What the whole listing of `folder`, one of the folders kept, said of
    // `name`; false where it was not listed whole or does not hold the name.
    bool FindListed(HANDLE folder, const std::wstring& name, Listed& entry);

private:
    struct Listing {
        std::wstring looked;  // the one name looked up so far, in upper case
        bool whole = false;
        std::map<std::wstring, Listed> entries;  // by name in upper case; a name twice is left out
    };
    static const size_t kMostKept = 128;
    std::map<std::wstring, SharedFolder> handles_;
    std::map<HANDLE, Listing> listings_;
    unique_hfile held_;
    std::wstring heldFull_, heldPlace_;
};

// The folders of the policy, each opened once for the life of its judge by
// the name the administrator gave it: a link put in that name's place later
// leads no call elsewhere. Calls of other threads may share them. A folder
// is asked again at most once a second whether its name still leads to it,
// so that one removed and made anew is opened anew.
class KeptFolders {
public:
    // The folder kept as `key`; `confirmed` tells whether its name was
    // found leading to it within the last second.
    SharedFolder Find(const std::wstring& key, bool& confirmed) {
        const ScopedLock lock(section_);
        const auto found = folders_.find(key);
        if (found == folders_.end()) return SharedFolder();
        confirmed = ::GetTickCount64() - found->second.confirmed < kConfirmedFor;
        return found->second.handle;
    }
    // Keeps `handle` as `key`, its name found leading to it now.
    void Keep(const std::wstring& key, const SharedFolder& handle) {
        const ScopedLock lock(section_);
        folders_[key] = {handle, ::GetTickCount64()};
    }
    void Forget(const std::wstring& key) {
        const ScopedLock lock(section_);
        EraseFolderAndBelow(folders_, key, [](const Kept&) {});
    }

private:
    struct Kept {
        SharedFolder handle;
        ULONGLONG confirmed;  // GetTickCount64 when its name last led to it
    };
    static const ULONGLONG kConfirmedFor = 1000;  // milliseconds
    CriticalSection section_;
    std::map<std::wstring, Kept> folders_;
};

PlaceJudge::PlaceJudge() : kept_(new KeptFolders) {}
PlaceJudge::~PlaceJudge() = default;
KeptFolders& PlaceJudge::Kept() { return *kept_; }

namespace {

const NTSTATUS kStatusObjectNameCollision = static_cast<NTSTATUS>(0xC0000035L);
const NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
const NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000FL);
// Every share, for the handles the layer opens to judge and act through.
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE;

thread_local PlaceJudge* g_judge = nullptr;
thread_local VerifiedFolders* g_folders = nullptr;
// The full path whose deletion is ahead on this thread (files::DeletionAhead).
thread_local const std::wstring* g_deletionAhead = nullptr;

// The refusal of a place: recorded by the judge, ERROR_ACCESS_DENIED for
// the call.
thread_local unsigned g_refusals = 0;  // refusals recorded on this thread
void Refuse(PlaceJudge& judge, const std::wstring& place) {
    ++g_refusals;
    judge.Refused(place);
    ::SetLastError(ERROR_ACCESS_DENIED);
}

void SetStatusError(NTSTATUS status) { ::SetLastError(DosErrorOf(status)); }

bool IsDirectory(HANDLE handle) {
    FILE_BASIC_INFO basic = {};
    return win32.GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
           (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file's number on its volume; false when it cannot be told.
bool FileNumber(HANDLE handle, LONGLONG& number) {
    IO_STATUS_BLOCK io = {};
    LARGE_INTEGER index = {};
    if (win32.NtQueryInformationFile(handle, &io, &index, sizeof index, kFileInternalInformation) != 0) return false;
    number = index.QuadPart;
    return true;
}

// `name` opened relative to the folder `folder`. The status of the open is
// left as the last error when it fails.
unique_hfile OpenIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                    ULONG options, ULONG attributes = 0) {
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.c_str());
    text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    const NTSTATUS status = win32.NtCreateFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &object, &io,
                                               nullptr, attributes & ~FILE_ATTRIBUTE_NORMAL, share, disposition,
                                               options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status == 0) return unique_hfile(handle);
    // What CreateFile and CreateDirectory answer for a name already taken.
    if (status == kStatusObjectNameCollision)
        ::SetLastError(options & FILE_DIRECTORY_FILE ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS);
    else
        SetStatusError(status);
    return unique_hfile();
}

// What the folder's listing says of its entry `name` now, through a handle
// of its own (a listing takes its mask once per handle). False, with the
// last error set, when the entry is not there or cannot be listed.
bool ListEntry(HANDLE folder, const std::wstring& name, DWORD& attributes, LONGLONG& number, DWORD missing) {
    const unique_hfile listing = OpenIn(folder, L"", FILE_LIST_DIRECTORY, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE);
    if (!listing) return false;
    alignas(8) BYTE buffer[sizeof(FILE_ID_BOTH_DIR_INFO) + MAX_PATH * sizeof(wchar_t) * 2];
    UNICODE_STRING mask;
    mask.Buffer = const_cast<wchar_t*>(name.c_str());
    mask.Length = mask.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    IO_STATUS_BLOCK io = {};
    const NTSTATUS status = win32.NtQueryDirectoryFile(listing.get(), nullptr, nullptr, nullptr, &io, buffer,
                                                       sizeof buffer, kFileIdBothDirectoryInformation, TRUE, &mask,
                                                       TRUE);
    if (status == kStatusNoMoreFiles || status == kStatusNoSuchFile) {
        ::SetLastError(missing);
        return false;
    }
    if (status != 0) {
        SetStatusError(status);
        return false;
    }
    const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer);
    attributes = entry->FileAttributes;
    number = entry->FileId.QuadPart;
    return true;
}

// Every entry of the folder `folder` now, through a handle of its own; a
// name listed twice (a case-sensitive folder) is marked kTwice. Nothing
// where the folder cannot be listed or holds more than kMostListed.
void ListWhole(HANDLE folder, std::map<std::wstring, Listed>& entries) {
    const unique_hfile listing = OpenIn(folder, L"", FILE_LIST_DIRECTORY, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE);
    if (!listing) return;
    std::vector<BYTE> buffer(64 * 1024);
    for (;;) {
        IO_STATUS_BLOCK io = {};
        const NTSTATUS status =
            win32.NtQueryDirectoryFile(listing.get(), nullptr, nullptr, nullptr, &io, buffer.data(),
                                       static_cast<ULONG>(buffer.size()), kFileIdBothDirectoryInformation, FALSE,
                                       nullptr, FALSE);
        if (status == kStatusNoMoreFiles) return;
        if (status != 0 || io.Information == 0 || entries.size() > kMostListed) {
            entries.clear();
            return;
        }
        for (size_t at = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
            const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            const auto added = entries.emplace(Key(name), Listed{entry->FileAttributes, entry->FileId.QuadPart});
            if (!added.second) added.first->second.number = kTwice;
            if (!entry->NextEntryOffset) break;
            at += entry->NextEntryOffset;
        }
    }
}

}  // namespace

bool VerifiedFolders::FindListed(HANDLE folder, const std::wstring& name, Listed& entry) {
    Listing& listing = listings_[folder];
    const std::wstring key = Key(name);
    if (!listing.whole) {
        // One entry looked up, or the same one again, is looked up alone.
        if (listing.looked.empty() || listing.looked == key) {
            listing.looked = key;
            return false;
        }
        listing.whole = true;
        ListWhole(folder, listing.entries);
    }
    const auto found = listing.entries.find(key);
    if (found == listing.entries.end() || found->second.number == kTwice) return false;
    entry = found->second;
    return true;
}

namespace {

// The entry `name` of the verified folder `folder`, opened as the listing
// shows it: the very entry listed, no link to a folder (`link` is set
// instead, for the caller to follow or refuse). `place` names it for the
// record; `missing` is the error of an entry that is not there. A file of
// a folder listed whole in this call opens as the file it was listed as, or
// is looked up `anew`; a folder is always looked up anew, since only its
// listing tells a link to it.
unique_hfile OpenListed(PlaceJudge& judge, HANDLE folder, const std::wstring& name, const std::wstring& place,
                        ACCESS_MASK access, ULONG share, ULONG options, DWORD missing, bool& link, bool anew = false) {
    Listed listed = {};
    LONGLONG opened = 0;
    link = false;
    const bool known = !anew && g_folders && g_folders->FindListed(folder, name, listed) &&
                       !(listed.attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
    if (!known && !ListEntry(folder, name, listed.attributes, listed.number, missing)) return unique_hfile();
    if (listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        link = true;
        ::SetLastError(ERROR_ACCESS_DENIED);
        return unique_hfile();
    }
    unique_hfile entry = OpenIn(folder, name, access, share, FILE_OPEN, options);
    if (!entry) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) ::SetLastError(missing);
        return entry;
    }
    if (!FileNumber(entry.get(), opened) || opened != listed.number || (known && IsDirectory(entry.get()))) {
        entry.reset();
        if (known) return OpenListed(judge, folder, name, place, access, share, options, missing, link, true);
        Refuse(judge, place);
    }
    return entry;
}

// Where a path lies under a judge: the verified folder that holds its last
// part, and that part (empty for a folder the policy names).
struct Reach {
    HANDLE folder = nullptr;  // the call's own, kept by g_folders
    std::wstring leaf;
    std::wstring place;       // the named folder and the parts below, for the judge
};

// A spelling that names no folder of the policy as written (a short name,
// another drive letter onto the same folder, a link): the final path of its
// deepest existing part, then the rest as written. It is then reached part
// by part like any other.
bool Respell(const std::wstring& full, std::wstring& place) {
    std::wstring probe = full, rest;
    while (!probe.empty() && probe.back() == L'\\') probe.pop_back();
    for (;;) {
        const std::wstring asked = !probe.empty() && probe.back() == L':' ? probe + L'\\' : probe;
        const unique_hfile handle(win32.CreateFileW(asked.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (handle) {
            if (!files::FinalPath(handle.get(), place)) return false;
            place += rest;
            return true;
        }
        const DWORD error = ::GetLastError();
        const size_t cut = probe.find_last_of(L'\\');
        if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) || cut == std::wstring::npos || cut == 0)
            return false;
        rest.insert(0, probe.substr(cut));
        probe.resize(cut);
    }
}

// Where the link `place` leads now. It is then reached part by part like
// any other place, so a link swapped meanwhile changes nothing of that.
bool LinkTarget(const std::wstring& place, std::wstring& target) {
    const unique_hfile handle(win32.CreateFileW(place.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle && files::FinalPath(handle.get(), target);
}

// After the folder `place` is removed or renamed, it and the folders below
// it are let go.
void ForgetFolders(PlaceJudge& judge, const std::wstring& place) {
    const std::wstring key = Key(place);
    if (g_folders) g_folders->Forget(key);
    judge.Kept().Forget(key);
}

// Links followed on the way to one place, at most: a loop of links ends.
const int kMostLinks = 8;

// Whether the name `asked` still leads to the kept folder `folder`: a folder
// removed and made anew is another folder, made at another time.
bool StillNamed(HANDLE folder, const std::wstring& asked) {
    WIN32_FILE_ATTRIBUTE_DATA named;
    FILE_BASIC_INFO kept = {};
    return win32.GetFileAttributesExW(asked.c_str(), GetFileExInfoStandard, &named) &&
           win32.GetFileInformationByHandleEx(folder, FileBasicInfo, &kept, sizeof kept) &&
           memcmp(&named.ftCreationTime, &kept.CreationTime, sizeof named.ftCreationTime) == 0;
}

// The folder of the policy named `base`, opened by the name the
// administrator gave it and kept for the judge's life while that name leads
// to it.
HANDLE OpenBase(PlaceJudge& judge, const std::wstring& base) {
    const std::wstring key = Key(base);
    if (HANDLE verified = g_folders ? g_folders->Find(key) : nullptr) return verified;
    const std::wstring asked = !base.empty() && base.back() == L':' ? base + L'\\' : base;
    bool confirmed = false;
    SharedFolder folder = judge.Kept().Find(key, confirmed);
    if (folder && !confirmed) {
        if (StillNamed(folder->get(), asked))
            judge.Kept().Keep(key, folder);
        else
            folder.reset();
    }
    if (!folder) {
        folder = std::make_shared<unique_hfile>(win32.CreateFileW(
            asked.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!*folder) {
            if (::GetLastError() == ERROR_FILE_NOT_FOUND) ::SetLastError(ERROR_PATH_NOT_FOUND);
            return nullptr;
        }
        judge.Kept().Keep(key, folder);
    }
    return g_folders ? g_folders->Keep(key, std::move(folder)) : folder->get();
}

// Reaches the full path `full`; a link to a folder on the way is followed
// where it leads, and that place reached anew.
bool ReachFull(PlaceJudge& judge, std::wstring full, Reach& reach, int links) {
    std::wstring base;
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    if (!judge.BaseOf(full, base)) {
        std::wstring place;
        if (!Respell(full, place) || !judge.BaseOf(place, base)) {
            Refuse(judge, place.empty() ? full : place);
            return false;
        }
        full = place;
    }
    std::vector<std::wstring> parts;
    for (size_t start = base.size(); start < full.size();) {
        size_t end = full.find(L'\\', start + 1);
        if (end == std::wstring::npos) end = full.size();
        if (end > start + 1) parts.push_back(full.substr(start + 1, end - start - 1));
        start = end;
    }
    reach.place = base;
    HANDLE folder = OpenBase(judge, base);
    if (!folder) return false;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        reach.place += L'\\';
        reach.place += parts[i];
        const std::wstring key = Key(reach.place);
        if (HANDLE kept = g_folders->Find(key)) {
            folder = kept;
            continue;
        }
        bool link = false;
        unique_hfile next = OpenListed(judge, folder, parts[i], reach.place, kFolderAccess, kShareAll,
                                       FILE_DIRECTORY_FILE, ERROR_PATH_NOT_FOUND, link);
        if (link) {
            std::wstring target;
            if (links >= kMostLinks || !LinkTarget(reach.place, target)) {
                Refuse(judge, reach.place);
                return false;
            }
            for (size_t rest = i + 1; rest < parts.size(); ++rest) target += L'\\' + parts[rest];
            reach = Reach();
            return ReachFull(judge, target, reach, links + 1);
        }
        if (!next) {
            if (::GetLastError() == ERROR_DIRECTORY) ::SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
        folder = g_folders->Keep(key, std::make_shared<unique_hfile>(std::move(next)));
    }
    reach.folder = folder;
    if (!parts.empty()) {
        reach.leaf = parts.back();
        reach.place += L'\\';
        reach.place += reach.leaf;
    }
    return true;
}

// The options of NtCreateFile that CreateFile's flags ask for.
ULONG OptionsOf(DWORD flags) {
    ULONG options = flags & FILE_FLAG_BACKUP_SEMANTICS ? FILE_OPEN_FOR_BACKUP_INTENT : FILE_NON_DIRECTORY_FILE;
    if (flags & FILE_FLAG_SEQUENTIAL_SCAN) options |= 0x00000004;  // FILE_SEQUENTIAL_ONLY
    if (flags & FILE_FLAG_WRITE_THROUGH) options |= 0x00000002;    // FILE_WRITE_THROUGH
    return options;
}

// A file opened by its full path is judged by its final path too: a link to
// a file shows there. A file with several names is refused whatever its
// place: another of its names may lie outside, and what is done through one
// is done to that one too.
// A file judged by its final path alone: what is opened only to be told
// it is there has no content read or changed through its other names.
bool JudgeFinalPath(PlaceJudge& judge, HANDLE handle, const std::wstring& place, Act act) {
    std::wstring final;
    if (files::FinalPath(handle, final) && judge.AllowsPlace(final, act)) return true;
    Refuse(judge, final.empty() ? place : final);
    return false;
}

bool JudgeFile(PlaceJudge& judge, HANDLE handle, const std::wstring& place, Act act) {
    FILE_STANDARD_INFO standard = {};
    if (!win32.GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
        Refuse(judge, place);
        return false;
    }
    if (standard.Directory) return true;  // a folder's link is a reparse point in its listing
    if (standard.NumberOfLinks > 1) {
        Refuse(judge, place);
        return false;
    }
    return JudgeFinalPath(judge, handle, place, act);
}

// An existing entry under a judge, reached part by part and judged for
// `act`. A link to a folder is followed where it leads when `follow` (to
// read or write what it leads to), refused otherwise (an act on the link
// itself would act on what it leads to). `place`, where given, is told the
// place reached. A file opened as a `probe` is judged by its final path
// alone.
unique_hfile OpenFull(PlaceJudge& judge, const std::wstring& full, ACCESS_MASK access, ULONG share, ULONG options,
                      Act act, bool follow, int links, std::wstring* place = nullptr, bool probe = false) {
    Reach reach;
    if (!ReachFull(judge, full, reach, links)) return unique_hfile();
    if (place) *place = reach.place;
    if (!judge.AllowsPlace(reach.place, act)) {
        Refuse(judge, reach.place);
        return unique_hfile();
    }
    // A folder of the policy itself, by the handle it was opened by.
    if (reach.leaf.empty())
        return OpenIn(reach.folder, L"", access, share, FILE_OPEN, options & ~FILE_NON_DIRECTORY_FILE);
    // A file opened for its content needs no look at the listing: no folder
    // opens so, and the final path of the handle shows a link to a file.
    if (options & FILE_NON_DIRECTORY_FILE) {
        unique_hfile file = OpenIn(reach.folder, reach.leaf, access, share, FILE_OPEN, options);
        if (file && !(probe ? JudgeFinalPath(judge, file.get(), reach.place, act)
                            : JudgeFile(judge, file.get(), reach.place, act)))
            file.reset();
        return file;
    }
    bool link = false;
    unique_hfile entry = OpenListed(judge, reach.folder, reach.leaf, reach.place, access, share, options,
                                    ERROR_FILE_NOT_FOUND, link);
    if (link) {
        std::wstring target;
        if (follow && links < kMostLinks && LinkTarget(reach.place, target))
            return OpenFull(judge, target, access, share, options, act, follow, links + 1, place);
        Refuse(judge, reach.place);
        return entry;
    }
    if (entry && !JudgeFile(judge, entry.get(), reach.place, act)) entry.reset();
    return entry;
}

bool ReachPath(PlaceJudge& judge, const wchar_t* path, Reach& reach) {
    std::wstring full;
    if (!files::FullPath(path, full)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return ReachFull(judge, full, reach, 0);
}

unique_hfile OpenExisting(PlaceJudge& judge, const wchar_t* path, ACCESS_MASK access, ULONG share, ULONG options,
                          Act act, bool follow = true, std::wstring* place = nullptr, bool probe = false) {
    std::wstring full;
    if (!files::FullPath(path, full)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return unique_hfile();
    }
    return OpenFull(judge, full, access, share, options, act, follow, 0, place, probe);
}

// A new entry under a judge: made in its verified folder, by handle.
unique_hfile CreateNew(PlaceJudge& judge, const wchar_t* path, ACCESS_MASK access, ULONG share, ULONG options,
                       DWORD attributes, Act act) {
    Reach reach;
    if (!ReachPath(judge, path, reach)) return unique_hfile();
    if (reach.leaf.empty()) {
        ::SetLastError(options & FILE_DIRECTORY_FILE ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED);
        return unique_hfile();
    }
    if (!judge.AllowsPlace(reach.place, act)) {
        Refuse(judge, reach.place);
        return unique_hfile();
    }
    return OpenIn(reach.folder, reach.leaf, access, share, FILE_CREATE, options, attributes);
}

// CREATE_ALWAYS under a judge: an existing file is judged before anything
// is cut, then emptied and given the new attributes through its handle, as
// the system does by name; a missing one is made in its verified folder.
unique_hfile CreateAlways(PlaceJudge& judge, const wchar_t* path, ACCESS_MASK access, ULONG share, DWORD flags) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        unique_hfile file = OpenExisting(judge, path, access | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, share,
                                         OptionsOf(flags), Act::Change);
        if (file) {
            FILE_BASIC_INFO basic = {};
            if (!win32.GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic))
                return unique_hfile();
            // The system refuses to overwrite a hidden or system file that
            // the caller does not name as such.
            const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
            if ((basic.FileAttributes & kept) & ~(flags & kept)) {
                ::SetLastError(ERROR_ACCESS_DENIED);
                return unique_hfile();
            }
            FILE_END_OF_FILE_INFO end = {};
            FILE_BASIC_INFO fresh = {};
            fresh.FileAttributes = ((flags & 0xFFFF) & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE;
            if (!win32.SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end, sizeof end) ||
                !win32.SetFileInformationByHandle(file.get(), FileBasicInfo, &fresh, sizeof fresh))
                return unique_hfile();
            ::SetLastError(ERROR_ALREADY_EXISTS);
            return file;
        }
        if (::GetLastError() != ERROR_FILE_NOT_FOUND) return file;
        file = CreateNew(judge, path, access, share, OptionsOf(flags), flags & 0xFFFF, Act::Change);
        if (file || ::GetLastError() != ERROR_FILE_EXISTS) return file;
        // Made by someone else meanwhile: judged as an existing file.
    }
    return unique_hfile();
}

// Opens an entry to change or remove it, with every share so that no
// reader is disturbed.
unique_hfile OpenToChange(PlaceJudge& judge, const wchar_t* path, ACCESS_MASK access, std::wstring* place = nullptr) {
    return OpenExisting(judge, path, access | FILE_READ_ATTRIBUTES, kShareAll,
                        FILE_OPEN_FOR_BACKUP_INTENT | FILE_OPEN_REPARSE_POINT, Act::Change, false, place);
}

BOOL Dispose(HANDLE handle) {
    // Its one member is named by a macro of windows.h: set it by position.
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return win32.SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
}

// Deletes a file or removes a folder through its judged handle.
BOOL DeleteJudged(PlaceJudge& judge, const wchar_t* path, bool folder) {
    std::wstring place, full;
    unique_hfile entry;
    if (g_folders && files::FullPath(path, full)) entry = g_folders->Take(full, place);
    if (!entry) entry = OpenToChange(judge, path, DELETE, &place);
    if (!entry) return FALSE;
    // DeleteFile refuses a folder, RemoveDirectory a file.
    if (IsDirectory(entry.get()) != folder) {
        ::SetLastError(folder ? ERROR_DIRECTORY : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (folder) ForgetFolders(judge, place);
    return Dispose(entry.get());
}

// Renames what `entry` holds to `leaf` in the folder `folder`, a handle:
// the rename cannot leave it. (The documented rename by handle takes a full
// path, which a link swapped into it would move elsewhere.)
BOOL RenameInto(HANDLE entry, HANDLE folder, const std::wstring& leaf, bool replace) {
    std::vector<BYTE> buffer(sizeof(NtFileRenameInformation) + leaf.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<NtFileRenameInformation*>(buffer.data());
    rename->ReplaceIfExists = replace;
    rename->RootDirectory = folder;
    rename->FileNameLength = static_cast<ULONG>(leaf.size() * sizeof(wchar_t));
    memcpy(rename->FileName, leaf.data(), rename->FileNameLength);
    IO_STATUS_BLOCK io = {};
    const NTSTATUS status =
        win32.NtSetInformationFile(entry, &io, rename, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
    if (status == 0) return TRUE;
    // What MoveFile answers for a name already taken.
    if (status == kStatusObjectNameCollision)
        ::SetLastError(ERROR_ALREADY_EXISTS);
    else
        SetStatusError(status);
    return FALSE;
}

// Copies the open file `source` into the open, empty file `target`, with
// its last write time and attributes, as CopyFile gives them.
BOOL CopyContent(HANDLE source, HANDLE target) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0, written = 0;
        if (!win32.ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return FALSE;
        if (read == 0) break;
        if (!win32.WriteFile(target, buffer.data(), read, &written, nullptr)) return FALSE;
        if (written != read) {
            ::SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
    }
    FILE_BASIC_INFO basic = {};
    if (!win32.GetFileInformationByHandleEx(source, FileBasicInfo, &basic, sizeof basic)) return FALSE;
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = basic.ChangeTime.QuadPart = 0;
    if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return win32.SetFileInformationByHandle(target, FileBasicInfo, &basic, sizeof basic);
}

BOOL CopyJudged(PlaceJudge& judge, const wchar_t* from, const wchar_t* to, BOOL failIfExists) {
    const unique_hfile source = OpenExisting(judge, from, GENERIC_READ, FILE_SHARE_READ,
                                             OptionsOf(FILE_FLAG_SEQUENTIAL_SCAN), Act::Read);
    if (!source) return FALSE;
    const ACCESS_MASK access = GENERIC_WRITE | DELETE;
    const unique_hfile target =
        failIfExists ? CreateNew(judge, to, access, 0, OptionsOf(0), FILE_ATTRIBUTE_NORMAL, Act::Change)
                     : CreateAlways(judge, to, access, 0, FILE_ATTRIBUTE_NORMAL);
    if (!target) return FALSE;
    if (CopyContent(source.get(), target.get())) return TRUE;
    // A copy cut short does not stay.
    const DWORD error = ::GetLastError();
    Dispose(target.get());
    ::SetLastError(error);
    return FALSE;
}

// Moves the judged entry `from` into the verified folder of `to`, by
// handles. Wine renames by the folder's path once more: a link swapped into
// it meanwhile shows in the entry's final path afterwards, and the entry
// goes back.
BOOL MoveJudged(PlaceJudge& judge, const wchar_t* from, const wchar_t* to, bool replace) {
    Reach source, target;
    if (!ReachPath(judge, from, source)) return FALSE;
    if (source.leaf.empty() || !judge.AllowsPlace(source.place, Act::Change)) {
        Refuse(judge, source.place);
        return FALSE;
    }
    bool link = false;
    const unique_hfile entry = OpenListed(judge, source.folder, source.leaf, source.place, DELETE | FILE_READ_ATTRIBUTES,
                                          kShareAll, FILE_OPEN_FOR_BACKUP_INTENT | FILE_OPEN_REPARSE_POINT,
                                          ERROR_FILE_NOT_FOUND, link);
    if (link) Refuse(judge, source.place);
    if (!entry || !JudgeFile(judge, entry.get(), source.place, Act::Change)) return FALSE;
    if (!ReachPath(judge, to, target)) return FALSE;
    if (target.leaf.empty() || !judge.AllowsPlace(target.place, Act::Change)) {
        Refuse(judge, target.place);
        return FALSE;
    }
    if (!RenameInto(entry.get(), target.folder, target.leaf, replace)) {
        if (replace || ::GetLastError() != ERROR_NOT_SAME_DEVICE || IsDirectory(entry.get())) return FALSE;
        // Another volume: the file is copied, then the source deleted.
        if (!CopyJudged(judge, from, to, TRUE)) return FALSE;
        return Dispose(entry.get());
    }
    std::wstring after;
    if (files::FinalPath(entry.get(), after) && judge.AllowsPlace(after, Act::Change)) {
        ForgetFolders(judge, source.place);
        return TRUE;
    }
    RenameInto(entry.get(), source.folder, source.leaf, false);
    Refuse(judge, after);
    return FALSE;
}

// The mask of a listing, as FindFirstFile gives it to the system: the DOS
// rules for dots and question marks in a pattern with wildcards.
std::wstring ListingMask(const std::wstring& leaf) {
    std::wstring mask = leaf;
    if (mask.find_first_of(L"*?<>") == std::wstring::npos) return mask;
    const bool noExtension = !mask.empty() && mask.back() == L'.';
    while (!mask.empty() && (mask.back() == L'.' || mask.back() == L' ')) mask.pop_back();
    for (size_t i = 0; i < mask.size(); ++i) {
        const wchar_t next = i + 1 < mask.size() ? mask[i + 1] : L'\0';
        if (mask[i] == L'.' && (next == L'*' || next == L'?'))
            mask[i] = L'"';
        else if (mask[i] == L'?')
            mask[i] = L'>';
    }
    if (noExtension && !mask.empty() && mask.back() == L'*') mask.back() = L'<';
    return mask;
}

}  // namespace

PlaceJudge* CurrentJudge() { return g_judge; }

JudgedCalls::JudgedCalls(PlaceJudge* judge) : saved_(g_judge) {
    // The outermost call of a judge keeps the folders its steps verify.
    if (judge && judge != saved_) {
        folders_ = new VerifiedFolders;
        savedFolders_ = g_folders;
        g_folders = folders_;
    }
    g_judge = judge;
}

JudgedCalls::~JudgedCalls() {
    g_judge = saved_;
    if (folders_) {
        g_folders = savedFolders_;
        delete folders_;
    }
}

namespace files {

namespace {

// A path from a call that fills a buffer and, when the buffer is too small,
// answers the size it needs: asked again with that size.
template <class Call>
bool PathFrom(std::wstring& path, Call&& call) {
    path.assign(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = call(&path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return false;
        if (length < path.size()) {
            path.resize(length);
            return true;
        }
        path.assign(length + 1, L'\0');
    }
    return false;
}

}  // namespace

bool FullPath(const wchar_t* path, std::wstring& full) {
    return path && *path && PathFrom(full, [&](wchar_t* buffer, DWORD size) {
        return win32.GetFullPathNameW(path, size, buffer, nullptr);
    });
}

bool FinalPath(HANDLE handle, std::wstring& path) {
    if (!PathFrom(path, [&](wchar_t* buffer, DWORD size) {
            return win32.GetFinalPathNameByHandleW(handle, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        }))
        return false;
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        path.replace(0, 8, L"\\\\");
    else if (path.compare(0, 4, L"\\\\?\\") == 0)
        path.erase(0, 4);
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return true;
}

HANDLE Probe(const wchar_t* path, DWORD access, DWORD share) {
    PlaceJudge* judge = g_judge;
    if (!judge) return win32.CreateFileW(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return OpenExisting(*judge, path, access, share, OptionsOf(0), Act::Read, true, nullptr, true).release();
}

HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    PlaceJudge* judge = g_judge;
    if (!judge) return win32.CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
    const bool changes = access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE |
                                   FILE_WRITE_ATTRIBUTES | WRITE_DAC | WRITE_OWNER);
    switch (disposition) {
    case OPEN_EXISTING:
        return OpenExisting(*judge, path, access, share, OptionsOf(flags), changes ? Act::Change : Act::Read).release();
    case CREATE_NEW:
        return CreateNew(*judge, path, access, share, OptionsOf(flags), flags & 0xFFFF, Act::Change).release();
    case CREATE_ALWAYS:
        return CreateAlways(*judge, path, access, share, flags).release();
    default:
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
}

DWORD Attributes(const wchar_t* path) { return win32.GetFileAttributesW(path); }

BOOL SetAttributes(const wchar_t* path, DWORD attributes) {
    PlaceJudge* judge = g_judge;
    if (!judge) return win32.SetFileAttributesW(path, attributes);
    // The entry whose deletion is ahead is opened with leave to delete where
    // that is granted, and held for it; without it where not, as the system
    // would.
    std::wstring full, place;
    const bool ahead = g_deletionAhead && g_folders && files::FullPath(path, full) && full == *g_deletionAhead;
    const unsigned refusals = g_refusals;
    unique_hfile entry;
    if (ahead) entry = OpenToChange(*judge, path, FILE_WRITE_ATTRIBUTES | DELETE, &place);
    const bool deletable = entry.valid();
    const DWORD error = ::GetLastError();
    if (!ahead || (!entry && g_refusals == refusals && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)))
        entry = OpenToChange(*judge, path, FILE_WRITE_ATTRIBUTES);
    if (!entry) return FALSE;
    // Times of 0 are left as they are; attributes of 0 would be too.
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    if (!win32.SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic, sizeof basic)) return FALSE;
    if (deletable) g_folders->Hold(full, std::move(entry), place);
    return TRUE;
}

DeletionAhead::DeletionAhead(const wchar_t* path) : saved_(g_deletionAhead) {
    if (!g_judge || !FullPath(path, full_)) return;
    g_deletionAhead = &full_;
}

DeletionAhead::~DeletionAhead() {
    if (g_deletionAhead == &full_ && g_folders) g_folders->Release();
    g_deletionAhead = saved_;
}

BOOL CreateFolder(const wchar_t* path) {
    PlaceJudge* judge = g_judge;
    if (!judge) return win32.CreateDirectoryW(path, nullptr);
    return CreateNew(*judge, path, FILE_LIST_DIRECTORY, kShareAll, FILE_DIRECTORY_FILE, 0, Act::CreateFolder).valid();
}

BOOL Delete(const wchar_t* path) {
    PlaceJudge* judge = g_judge;
    return judge ? DeleteJudged(*judge, path, false) : win32.DeleteFileW(path);
}

BOOL RemoveFolder(const wchar_t* path) {
    PlaceJudge* judge = g_judge;
    return judge ? DeleteJudged(*judge, path, true) : win32.RemoveDirectoryW(path);
}

BOOL Move(const wchar_t* from, const wchar_t* to) {
    PlaceJudge* judge = g_judge;
    return judge ? MoveJudged(*judge, from, to, false) : win32.MoveFileW(from, to);
}

BOOL Replace(const wchar_t* from, const wchar_t* to) {
    PlaceJudge* judge = g_judge;
    if (judge) return MoveJudged(*judge, from, to, true);
    return win32.MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

BOOL Copy(const wchar_t* from, const wchar_t* to, BOOL failIfExists) {
    PlaceJudge* judge = g_judge;
    return judge ? CopyJudged(*judge, from, to, failIfExists) : win32.CopyFileW(from, to, failIfExists);
}

// A listing under a judge: the folder is reached and judged, and read
// through a handle of its own with the mask that FindFirstFile would give
// the system.
class Search::Judged {
public:
    bool First(PlaceJudge& judge, const wchar_t* pattern, WIN32_FIND_DATAW& data) {
        std::wstring full;
        if (!files::FullPath(pattern, full)) {
            ::SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
        const size_t cut = full.find_last_of(L'\\');
        std::wstring leaf = cut == std::wstring::npos ? L"" : full.substr(cut + 1);
        if (cut == std::wstring::npos || leaf.empty()) {
            ::SetLastError(cut == std::wstring::npos ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
            return false;
        }
        const bool wildcards = leaf.find_first_of(L"*?<>") != std::wstring::npos;
        if (wildcards) {
            // The caller's own last part: its closing dots mean something.
            const wchar_t* own = pattern;
            for (const wchar_t* p = pattern; *p; ++p)
                if (*p == L'\\' || *p == L'/') own = p + 1;
            leaf = own;
        }
        full.resize(cut + 1);
        root_ = full.size() == 3 && full[1] == L':';
        folder_ = OpenExisting(judge, full.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, Act::Read);
        if (!folder_) {
            if (::GetLastError() == ERROR_FILE_NOT_FOUND) ::SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
        buffer_.assign(wildcards ? 64 * 1024 : 4096, 0);
        more_ = wildcards;
        const std::wstring mask = ListingMask(leaf);
        UNICODE_STRING maskText;
        maskText.Buffer = const_cast<wchar_t*>(mask.c_str());
        maskText.Length = maskText.MaximumLength = static_cast<USHORT>(mask.size() * sizeof(wchar_t));
        // Nothing that matches is "file not found", as FindFirstFile says.
        if (!Fill(&maskText)) {
            if (::GetLastError() == ERROR_NO_MORE_FILES) ::SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        if (Next(data)) return true;
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }

    bool Next(WIN32_FIND_DATAW& data) {
        for (;;) {
            if (position_ >= length_ && !(more_ && Fill(nullptr))) {
                ::SetLastError(ERROR_NO_MORE_FILES);
                return false;
            }
            const auto* entry = reinterpret_cast<const NtFileBothDirInformation*>(buffer_.data() + position_);
            position_ = entry->NextEntryOffset ? position_ + entry->NextEntryOffset : length_;
            const size_t nameLength = entry->FileNameLength / sizeof(wchar_t);
            // A drive's root lists no dot entries.
            if (root_ && ((nameLength == 1 && entry->FileName[0] == L'.') ||
                          (nameLength == 2 && entry->FileName[0] == L'.' && entry->FileName[1] == L'.')))
                continue;
            memset(&data, 0, sizeof data);
            data.dwFileAttributes = entry->FileAttributes;
            memcpy(&data.ftCreationTime, &entry->CreationTime, sizeof(FILETIME));
            memcpy(&data.ftLastAccessTime, &entry->LastAccessTime, sizeof(FILETIME));
            memcpy(&data.ftLastWriteTime, &entry->LastWriteTime, sizeof(FILETIME));
            data.nFileSizeHigh = static_cast<DWORD>(entry->EndOfFile.QuadPart >> 32);
            data.nFileSizeLow = static_cast<DWORD>(entry->EndOfFile.QuadPart);
            memcpy(data.cFileName, entry->FileName, std::min<size_t>(nameLength, MAX_PATH - 1) * sizeof(wchar_t));
            memcpy(data.cAlternateFileName, entry->ShortName,
                   std::min<size_t>(static_cast<size_t>(entry->ShortNameLength) / sizeof(wchar_t), 13) * sizeof(wchar_t));
            return true;
        }
    }

private:
    // Reads the next entries into the buffer; the first read restarts with
    // the mask.
    bool Fill(UNICODE_STRING* mask) {
        IO_STATUS_BLOCK io = {};
        const NTSTATUS status =
            win32.NtQueryDirectoryFile(folder_.get(), nullptr, nullptr, nullptr, &io, buffer_.data(),
                                       static_cast<ULONG>(buffer_.size()), kFileBothDirectoryInformation, FALSE, mask,
                                       mask ? TRUE : FALSE);
        position_ = length_ = 0;
        if (status != 0) {
            more_ = false;
            if (status == kStatusNoMoreFiles || status == kStatusNoSuchFile)
                ::SetLastError(ERROR_NO_MORE_FILES);
            else
                SetStatusError(status);
            return false;
        }
        length_ = io.Information;
        if (length_ == 0) ::SetLastError(ERROR_NO_MORE_FILES);
        return length_ > 0;
    }

    unique_hfile folder_;
    std::vector<char> buffer_;
    size_t position_ = 0, length_ = 0;
    bool more_ = false;
    bool root_ = false;
};

Search::Search() = default;
Search::~Search() = default;

bool Search::First(const wchar_t* pattern, WIN32_FIND_DATAW& data) {
    Close();
    if (PlaceJudge* judge = g_judge) {
        judged_.reset(new Judged);
        if (judged_->First(*judge, pattern, data)) return true;
        judged_.reset();
        return false;
    }
    plain_.reset(win32.FindFirstFileW(pattern, &data));
    return plain_.valid();
}

bool Search::Next(WIN32_FIND_DATAW& data) {
    if (judged_) return judged_->Next(data);
    return plain_ && win32.FindNextFileW(plain_.get(), &data);
}

bool Search::Close() {
    if (judged_) {
        judged_.reset();
        return true;
    }
    return !plain_ || win32.FindClose(plain_.release());
}

}  // namespace files
