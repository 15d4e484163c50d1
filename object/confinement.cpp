#include "object/confinement.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "platform/raii.h"
#include "platform/text.h"
#include <cstring>
#include <cwctype>

namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\QVFileIO";
// The policy's own key, as either width's registry view names it: never
// written or deleted through the object.
const wchar_t* const kOwnKeys[] = {L"SOFTWARE\\Policies\\QVFileIO", L"SOFTWARE\\WOW6432Node\\Policies\\QVFileIO"};
// The same keys by the registry's own names, which no link or alias changes.
const wchar_t* const kOwnKeyNames[] = {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Policies\\QVFileIO",
                                       L"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432Node\\Policies\\QVFileIO"};

const char kUnreadable[] = "The policy could not be read: it allows nothing";
const char kWrongType[] = "The policy value is not of the type its name asks for: it allows nothing";
const char kNotWholePath[] = "The policy entry is not a whole path: it allows nothing";
const char kNotKeyWithRoot[] = "The policy entry is not a registry key with its root: it allows nothing";

struct RootName {
    const wchar_t* name;
    HKEY root;
};
const RootName kRoots[] = {
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},     {L"HKCR", HKEY_CLASSES_ROOT},
    {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},     {L"HKCU", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {L"HKCC", HKEY_CURRENT_CONFIG},
};

// Names compare as the file system and the registry compare them.
bool SameText(const wchar_t* a, const wchar_t* b, size_t length) {
    return length == 0 || ::CompareStringOrdinal(a, static_cast<int>(length), b, static_cast<int>(length), TRUE) ==
                              CSTR_EQUAL;
}

enum class Relation { Outside, At, Below };

// Where `path` lies against `base`; both without a closing backslash, an
// empty base being the root of everything.
Relation Relate(const std::wstring& path, const std::wstring& base) {
    if (base.empty()) return path.empty() ? Relation::At : Relation::Below;
    if (path.size() < base.size() || !SameText(path.c_str(), base.c_str(), base.size())) return Relation::Outside;
    if (path.size() == base.size()) return Relation::At;
    return path[base.size()] == L'\\' ? Relation::Below : Relation::Outside;
}

// What a folder grants a place that lies `relation` to it: reading at or
// below any folder; changing strictly below a folder of Folders (`writable`),
// and making that folder itself.
bool Grants(bool writable, Relation relation, Confinement::Access access) {
    if (relation == Relation::Outside) return false;
    return access == Confinement::Access::Read ||
           (writable && (access == Confinement::Access::CreateFolder || relation == Relation::Below));
}

void TrimSeparators(std::wstring& path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
}

// The system's full path of `path`: the current folder and drive applied,
// "." and ".." taken out, slashes turned, trailing dots and blanks dropped,
// device names turned into the device's path.
bool FullPath(const std::wstring& path, std::wstring& full) { return files::FullPath(path.c_str(), full); }

// A name the system keeps as written: not empty, not dots and blanks
// alone, not ending in a dot or a blank.
bool PlainName(const std::wstring& name) {
    return !name.empty() && name.find_first_not_of(L". ") != std::wstring::npos && name.back() != L'.' &&
           name.back() != L' ';
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// What the system opens for an existing `path`, links followed, as a path
// without its \\?\ prefix and closing backslash.
bool FinalPath(const std::wstring& path, std::wstring& final, DWORD& error) {
    unique_hfile handle(win32.CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        error = ::GetLastError();
        return false;
    }
    if (!files::FinalPath(handle.get(), final)) {
        error = ERROR_INVALID_NAME;
        return false;
    }
    return true;
}

// Where the full path `full` leads: the final path of its deepest existing
// part, then the parts that do not exist yet, as written. False where that
// cannot be told for certain.
bool Resolve(std::wstring probe, std::wstring& place) {
    std::wstring rest;
    TrimSeparators(probe);
    for (;;) {
        // A drive alone names the drive's current folder: ask for its root.
        const std::wstring asked = !probe.empty() && probe.back() == L':' ? probe + L'\\' : probe;
        DWORD error = 0;
        if (FinalPath(asked, place, error)) {
            place += rest;
            return true;
        }
        const size_t cut = probe.find_last_of(L'\\');
        if (!IsMissing(error) || cut == std::wstring::npos || cut == 0 || asked.back() == L'\\') return false;
        const std::wstring name = probe.substr(cut + 1);
        if (!PlainName(name)) return false;
        rest.insert(0, L"\\" + name);
        probe.resize(cut);
    }
}

enum class Look { Plain, Unsure };

// Whether the parts of `full` below `base` are plain entries, no link
// among them: then the place is below base as written. Parts that do not
// exist yet are made plain by the call that makes them.
Look PlainBelow(const std::wstring& full, const std::wstring& base) {
    for (size_t start = base.size(); start < full.size();) {
        size_t end = full.find(L'\\', start + 1);
        if (end == std::wstring::npos) end = full.size();
        if (!PlainName(full.substr(start + 1, end - start - 1))) return Look::Unsure;
        const DWORD attributes = win32.GetFileAttributesW(full.substr(0, end).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissing(::GetLastError()) ? Look::Plain : Look::Unsure;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Look::Unsure;
        start = end;
    }
    return Look::Plain;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A drive's path (C:\data) or a share's (\\server\share\data); no wildcard.
bool IsWholePath(const std::wstring& entry) {
    if (entry.size() < 3 || entry.find_first_of(L"*?\"<>|") != std::wstring::npos) return false;
    if (iswalpha(entry[0]) && entry[1] == L':' && IsSeparator(entry[2])) return true;
    return IsSeparator(entry[0]) && IsSeparator(entry[1]) && !IsSeparator(entry[2]) && entry[2] != L'.';
}

// A value of the policy key: its type and bytes. ERROR_FILE_NOT_FOUND when
// it is not there.
LONG ReadValue(HKEY key, const wchar_t* name, DWORD& type, std::vector<BYTE>& data) {
    DWORD size = 0;
    LONG code = win32.RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    for (int attempt = 0; code == ERROR_SUCCESS && attempt < 3; ++attempt) {
        data.resize(size + sizeof(wchar_t) * 2);  // room for missing terminators
        DWORD got = size;
        code = win32.RegQueryValueExW(key, name, nullptr, &type, data.data(), &got);
        if (code == ERROR_MORE_DATA) {
            size = got;
            code = ERROR_SUCCESS;
            continue;
        }
        if (code == ERROR_SUCCESS) {
            data.resize(got);
            break;
        }
    }
    return code;
}

std::string Narrow(const std::wstring& text) { return ToAnsi(text); }

// The registry's own name of a key below `root`, whether or not it exists
// yet: the name of its deepest existing part, then the rest as written.
// Empty when not even the root can be asked.
std::wstring KeyNameOf(HKEY root, std::wstring probe) {
    std::wstring rest;
    for (;;) {
        unique_hkey key;
        if (win32.RegOpenKeyExW(root, probe.empty() ? nullptr : probe.c_str(), 0, KEY_QUERY_VALUE, key.put()) ==
            ERROR_SUCCESS) {
            std::wstring name;
            return keys::NameOf(key.get(), name) ? name + rest : std::wstring();
        }
        if (probe.empty()) return std::wstring();
        const size_t cut = probe.find_last_of(L'\\');
        rest.insert(0, L"\\" + probe.substr(cut == std::wstring::npos ? 0 : cut + 1));
        probe.resize(cut == std::wstring::npos ? 0 : cut);
    }
}

// The strings of a REG_MULTI_SZ value, or false with a problem recorded.
bool ReadStrings(HKEY key, const wchar_t* name, std::vector<std::wstring>& strings,
                 std::vector<Confinement::Problem>& problems) {
    DWORD type = 0;
    std::vector<BYTE> data;
    const LONG code = ReadValue(key, name, type, data);
    if (code == ERROR_FILE_NOT_FOUND) return false;
    const std::string label = Narrow(name) + ": ";
    if (code != ERROR_SUCCESS) {
        problems.push_back({label, "", kUnreadable});
        return false;
    }
    if (type != REG_MULTI_SZ) {
        problems.push_back({label, "", kWrongType});
        return false;
    }
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
    const size_t count = data.size() / sizeof(wchar_t);
    for (size_t start = 0; start < count;) {
        size_t end = start;
        while (end < count && text[end]) ++end;
        if (end > start) strings.emplace_back(text + start, end - start);
        start = end + 1;
    }
    return true;
}

// A REG_DWORD value; false when it is not there. A value of another type
// is there but reads as 0, with a problem recorded.
bool ReadNumber(HKEY key, const wchar_t* name, DWORD& value, std::vector<Confinement::Problem>& problems) {
    DWORD type = 0;
    std::vector<BYTE> data;
    value = 0;
    const LONG code = ReadValue(key, name, type, data);
    if (code == ERROR_FILE_NOT_FOUND) return false;
    if (code != ERROR_SUCCESS || type != REG_DWORD || data.size() != sizeof(DWORD))
        problems.push_back({Narrow(name) + ": ", "", code != ERROR_SUCCESS ? kUnreadable : kWrongType});
    else
        memcpy(&value, data.data(), sizeof value);
    return true;
}

// A REG_DWORD flag: only 1 allows.
bool ReadFlag(HKEY key, const wchar_t* name, std::vector<Confinement::Problem>& problems) {
    DWORD value = 0;
    return ReadNumber(key, name, value, problems) && value == 1;
}

// Blanks around an entry are the editor's.
std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    return first == std::wstring::npos ? std::wstring() : text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

}  // namespace

void Confinement::Load(std::vector<Problem>& problems) {
    unique_hkey policy;
    const LONG code =
        win32.RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, policy.put());
    if (code == ERROR_FILE_NOT_FOUND) return;
    active_ = true;
    if (code != ERROR_SUCCESS) {
        AllowNothing();
        problems.push_back({"Policy: ", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\QVFileIO", kUnreadable});
        return;
    }
    LoadFolders(policy.get(), L"Folders", true, problems);
    LoadFolders(policy.get(), L"ReadOnlyFolders", false, problems);
    LoadKeys(policy.get(), problems);
    driveMapping_ = ReadFlag(policy.get(), L"DriveMapping", problems);
    helper_ = ReadFlag(policy.get(), L"Helper", problems);
    // A Sites or Zones value that cannot be read limits pages and allows none.
    std::vector<std::wstring> sites;
    const size_t before = problems.size();
    pages_.hasSites = ReadStrings(policy.get(), L"Sites", sites, problems) || problems.size() > before;
    for (const std::wstring& site : sites)
        if (!Trimmed(site).empty()) pages_.sites.push_back(Trimmed(site));
    pages_.hasZones = ReadNumber(policy.get(), L"Zones", pages_.zones, problems);
}

void Confinement::AllowNothing() {
    active_ = true;
    driveMapping_ = helper_ = false;
    folders_.clear();
    keys_.clear();
    pages_ = SitePolicy();
    pages_.hasSites = true;
}

void Confinement::LoadFolders(HKEY policy, const wchar_t* name, bool writable, std::vector<Problem>& problems) {
    std::vector<std::wstring> entries;
    if (!ReadStrings(policy, name, entries, problems)) return;
    for (const std::wstring& entry : entries) {
        Folder folder{L"", L"", writable};
        if (!IsWholePath(entry) || !FullPath(entry, folder.path)) {
            problems.push_back({Narrow(name) + ": ", Narrow(entry), kNotWholePath});
            continue;
        }
        TrimSeparators(folder.path);
        folders_.push_back(std::move(folder));
    }
}

void Confinement::LoadKeys(HKEY policy, std::vector<Problem>& problems) {
    std::vector<std::wstring> entries;
    if (!ReadStrings(policy, L"RegistryKeys", entries, problems)) return;
    for (const std::wstring& entry : entries) {
        std::wstring path = entry;
        TrimSeparators(path);
        const size_t cut = path.find(L'\\');
        const std::wstring rootName = path.substr(0, cut);
        path = cut == std::wstring::npos ? L"" : path.substr(cut + 1);
        const RootName* root = nullptr;
        for (const RootName& known : kRoots)
            if (rootName.size() == wcslen(known.name) && SameText(rootName.c_str(), known.name, rootName.size()))
                root = &known;
        if (!root || (!path.empty() && (path.front() == L'\\' || path.find(L"\\\\") != std::wstring::npos))) {
            problems.push_back({"RegistryKeys: ", Narrow(entry), kNotKeyWithRoot});
            continue;
        }
        keys_.push_back({root->root, path, L""});
    }
}

// Each folder's final path, asked once, the first time a spelling needs it;
// of a very long list only the first folders, so that no call waits for
// thousands of them. A folder not asked is known by its full path alone.
void Confinement::ResolveFolders() {
    if (resolved_) return;
    resolved_ = true;
    const size_t kResolvedFolders = 256;
    for (size_t i = 0; i < folders_.size() && i < kResolvedFolders; ++i) {
        Folder& folder = folders_[i];
        std::wstring place;
        if (Resolve(folder.path, place) && Relate(place, folder.path) != Relation::At) folder.final = place;
    }
}

bool Confinement::Matches(const std::wstring& place, Access access) const {
    for (const Folder& folder : folders_)
        for (const std::wstring* form : {&folder.path, &folder.final})
            if (!form->empty() && Grants(folder.writable, Relate(place, *form), access)) return true;
    return false;
}

bool Confinement::Allows(const std::wstring& full, Access access) {
    std::wstring written = full;
    TrimSeparators(written);
    // The path as written lies in a folder, and no link lies on the way:
    // the common case, a few attribute reads.
    for (const Folder& folder : folders_)
        for (const std::wstring* form : {&folder.path, &folder.final})
            if (!form->empty() && Grants(folder.writable, Relate(written, *form), access) &&
                PlainBelow(written, *form) == Look::Plain)
                return true;
    // Any other spelling is judged by what the system opens.
    std::wstring place;
    if (!Resolve(full, place)) return false;
    ResolveFolders();
    return Matches(place, access);
}

bool Confinement::AllowsPath(const wchar_t* path, Access access) {
    if (!active_) return true;
    std::wstring full;
    return path && FullPath(path, full) && Allows(full, access);
}

bool Confinement::AllowsListing(const wchar_t* pattern) {
    if (!active_) return true;
    std::wstring full;
    if (!pattern || !FullPath(pattern, full)) return false;
    const size_t cut = full.find_last_of(L'\\');
    if (cut == std::wstring::npos) return false;
    full.resize(cut + 1);
    return Allows(full, Access::Read);
}

bool Confinement::AllowsEntry(const wchar_t* path, DWORD attributes, Access access) {
    if (!active_ || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    return AllowsPath(path, access);
}

bool Confinement::AllowsDrive(wchar_t letter) const {
    if (!active_) return true;
    const wchar_t drive = towupper(letter);
    for (const Folder& folder : folders_)
        for (const std::wstring* form : {&folder.path, &folder.final})
            if (form->size() >= 2 && (*form)[1] == L':' && towupper((*form)[0]) == drive) return true;
    return false;
}

bool Confinement::AllowsKey(HKEY root, const wchar_t* subKey, KeyAccess access) const {
    if (!active_) return true;
    const std::wstring path = subKey ? subKey : L"";
    // Every backslash must separate two names: anything else cannot be
    // judged for certain.
    if (!path.empty() && (path.front() == L'\\' || path.back() == L'\\' || path.find(L"\\\\") != std::wstring::npos))
        return false;
    if (access != KeyAccess::Read && root == HKEY_LOCAL_MACHINE)
        for (const wchar_t* own : kOwnKeys) {
            if (Relate(path, own) != Relation::Outside) return false;
            if (access == KeyAccess::DeleteKey && Relate(own, path) != Relation::Outside) return false;
        }
    for (const Key& key : keys_) {
        if (key.root != root) continue;
        const Relation relation = Relate(path, key.path);
        if (relation == Relation::Below || (relation == Relation::At && access != KeyAccess::DeleteKey)) return true;
    }
    return false;
}

bool Confinement::AllowsPlace(const std::wstring& place, Access access) {
    if (!active_) return true;
    if (place.empty()) return false;
    ResolveFolders();
    return Matches(place, access);
}

// Each key's registry name, asked once, the first time a call acts on a key.
void Confinement::ResolveKeys() {
    if (keysResolved_) return;
    keysResolved_ = true;
    for (Key& key : keys_) key.name = KeyNameOf(key.root, key.path);
}

bool Confinement::AllowsKeyName(const std::wstring& name, KeyAccess access) {
    if (!active_) return true;
    if (name.empty()) return false;
    if (access != KeyAccess::Read)
        for (const wchar_t* own : kOwnKeyNames) {
            if (Relate(name, own) != Relation::Outside) return false;
            if (access == KeyAccess::DeleteKey && Relate(own, name) != Relation::Outside) return false;
        }
    ResolveKeys();
    for (const Key& key : keys_) {
        if (key.name.empty()) continue;
        const Relation relation = Relate(name, key.name);
        if (relation == Relation::Below || (relation == Relation::At && access != KeyAccess::DeleteKey)) return true;
    }
    return false;
}

bool Confinement::BaseOf(const std::wstring& full, std::wstring& base) {
    ResolveFolders();
    base.clear();
    for (const Folder& folder : folders_)
        for (const std::wstring* form : {&folder.path, &folder.final})
            if (!form->empty() && form->size() > base.size() && Relate(full, *form) != Relation::Outside) base = *form;
    return !base.empty();
}
