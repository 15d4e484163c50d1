// The administrator's machine policy under
// HKEY_LOCAL_MACHINE\SOFTWARE\Policies\QVFileIO: the folders, registry keys
// and workstation actions the object may use. Without that key the object
// is not confined and nothing here is asked. A place is judged where
// Windows would really open it: the full path the system makes of the
// caller's text, and, where a link, a short name or another spelling of a
// drive may lie on the way, the final path of what the system opens.
#pragma once
#include "object/site.h"
#include "platform/judge.h"
#include "platform/windows.h"
#include <string>
#include <vector>

class Confinement {
public:
    // Read: existence, attributes, content, listings. Change: anything that
    // writes, deletes, moves or sets attributes, strictly below a folder of
    // `Folders`. CreateFolder: a folder made by CreateDir, which may be a
    // named folder itself.
    using Access = Act;
    // Values may be read and written in a named key; a key may be deleted
    // only below one.
    using KeyAccess = KeyAct;

    // A value or entry of the policy that allows nothing, for a record.
    struct Problem {
        std::string label;  // the value's name and ": "
        std::string entry;
        const char* message;
    };

    // Reads the policy, once, when the object is made.
    void Load(std::vector<Problem>& problems);
    bool Active() const { return active_; }
    // Confined, and nothing allowed.
    void AllowNothing();

    // A path as the caller wrote it, judged where the system would open it.
    bool AllowsPath(const wchar_t* path, Access access);
    // A listing or search pattern: the folder it lists is read.
    bool AllowsListing(const wchar_t* pattern);
    // An entry of a folder already allowed, with the attributes its listing
    // or a query gave: only a link (a reparse point) needs a second look.
    bool AllowsEntry(const wchar_t* path, DWORD attributes, Access access);
    // A drive that holds a named folder.
    bool AllowsDrive(wchar_t letter) const;
    // A key as the caller names it (null: the root itself).
    bool AllowsKey(HKEY root, const wchar_t* subKey, KeyAccess access) const;
    // Where a call acts: the final path of what the system opened, and the
    // registry's own name of an opened key.
    bool AllowsPlace(const std::wstring& place, Access access);
    bool AllowsKeyName(const std::wstring& name, KeyAccess access);
    // The nearest named folder that holds `full`, as a path the system opens.
    bool BaseOf(const std::wstring& full, std::wstring& base);
    bool AllowsDriveMapping() const { return driveMapping_; }
    bool AllowsHelper() const { return helper_; }
    // Which web pages may use the object (Sites and Zones).
    const SitePolicy& Pages() const { return pages_; }

private:
    struct Folder {
        std::wstring path;    // the full path, without a closing backslash
        std::wstring final;   // where it leads, once asked; empty when the same
        bool writable;        // named in Folders rather than ReadOnlyFolders
    };
    struct Key {
        HKEY root;
        std::wstring path;    // below the root, without closing backslashes
        std::wstring name;    // the registry's own name, once asked
    };

    void LoadFolders(HKEY policy, const wchar_t* name, bool writable, std::vector<Problem>& problems);
    void LoadKeys(HKEY policy, std::vector<Problem>& problems);
    bool Allows(const std::wstring& full, Access access);
    bool Matches(const std::wstring& place, Access access) const;
    void ResolveFolders();
    void ResolveKeys();

    bool active_ = false;
    bool resolved_ = false;
    bool keysResolved_ = false;
    bool driveMapping_ = false;
    bool helper_ = false;
    std::vector<Folder> folders_;
    std::vector<Key> keys_;
    SitePolicy pages_;
};
