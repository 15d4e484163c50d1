// A file's new content written beside it and put in its place in one step,
// so that a call cut off at any instant (the script host ended, a logoff,
// the power gone) leaves the old content or the new, whole, never a mix.
//
// The new file is made in the folder where the target really is (a link to
// the file is followed, so that it keeps leading there) under a name found
// from the target's: "~" before it and ".qvnew" after it, hidden. It is
// held open alone while it is made, given what makes it "the same file"
// (the target's attributes, creation time, owner, group and access control
// list), flushed to the disk, and then takes the target's name in one
// rename. A leftover of a call cut off earlier bears that name, so the next
// replacement of the same file removes it; a live call's new file, held
// open without delete sharing, is never removed.
//
// A target that cannot be replaced in one step is declined, and so is any
// step of the replacement that fails: the new file is gone, the target
// untouched, and the caller writes in place as before. Declined are a file
// that another program holds open without delete sharing (or opens before
// the rename), a file with several names (hard links) or with other data
// streams, a compressed or encrypted file, a folder where no new file may
// be made, and a file whose owner or access control list a new file cannot
// be given.
//
// Every act of this way of writing is made here, through platform/files
// (judged where an administrator's policy applies) and the handles it gives.
#pragma once
#include "platform/raii.h"
#include <string>
#include <vector>

class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement() { Abandon(); }
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Opens the target as a write in place opens it (for writing, sharing
    // reading), so that no other writer comes in while the new file is
    // made; false where it cannot be replaced in one step.
    bool Begin(const wchar_t* target);
    // The new file, empty, open for writing alone; false where none may be
    // made.
    bool Create();
    // The new file as a copy of `source`, as CopyFileW makes it (its bytes,
    // attributes and last write time); the target is let go first, since
    // the source may be the target itself. S_FALSE where no new file may
    // be made; the failure of the copy (a missing source, a full disk) with
    // the last error set, the new file gone.
    HRESULT Copy(const wchar_t* source);
    HANDLE File() const { return file_.get(); }
    // Puts the new file in the target's place; false where that failed:
    // the new file is gone, the target untouched.
    bool Commit();
    // Removes a new file not put in place and lets the target go; the last
    // error is kept.
    void Abandon() noexcept;

    // The name of the new file beside the file of this full path.
    static std::wstring BesideName(const std::wstring& path);

private:
    bool Decline() noexcept {
        Abandon();
        return false;
    }
    bool GiveSecurity();
    bool Remove() noexcept;

    unique_hfile target_, file_;
    std::wstring path_, beside_;  // where the target really is; the new file
    bool made_ = false;           // the new file is there, ours to remove
    DWORD attributes_ = 0;        // for the new file
    FILETIME creation_ = {};      // the target's
    std::vector<BYTE> security_;  // the target's owner, group and access list; empty: none kept there
};

