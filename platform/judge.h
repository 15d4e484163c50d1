// The administrator's policy asked where a call acts: every file, folder
// and key that the product opens, creates, lists, changes, deletes or
// renames is judged by the place the system really opened, through the
// handle that the act then uses, never by a name looked at before (a link
// can be swapped in between). platform/files and platform/keys ask it.
#pragma once
#include <memory>
#include <string>

// What an act does to the place it acts on. Read: content, listings.
// Change: writes, deletions, renames, attributes. CreateFolder: a folder
// made, which may be a named folder itself.
enum class Act { Read, Change, CreateFolder };
// Values are read or written in a key; a key is deleted.
enum class KeyAct { Read, Write, DeleteKey };

class KeptFolders;
class PlaceJudge {
public:
    // `place`: the final path of what was opened, without \\?\ and without
    // a closing backslash (C:\data\a.txt, \\server\share\a.txt).
    virtual bool AllowsPlace(const std::wstring& place, Act act) = 0;
    // `name`: the registry's own name of an opened key (\REGISTRY\MACHINE\...).
    virtual bool AllowsKeyName(const std::wstring& name, KeyAct act) = 0;
    // A place refused where a call acted, for the record.
    virtual void Refused(const std::wstring& place) = 0;
    // The folder named by the policy, in a spelling the system opens, that
    // holds the full path `full` (the nearest one); false when none does.
    virtual bool BaseOf(const std::wstring& full, std::wstring& base) = 0;

    // The folders of the policy that this judge's calls opened, kept for
    // the judge's life (platform/files).
    KeptFolders& Kept();

protected:
    PlaceJudge();
    ~PlaceJudge();

private:
    std::unique_ptr<KeptFolders> kept_;
};

// The judge of the calls this thread makes now; null where nothing is judged.
PlaceJudge* CurrentJudge();

// Sets the judge of this thread's calls for the life of the object and
// puts back the one before it (nested operations set the same one again).
class VerifiedFolders;
class JudgedCalls {
public:
    explicit JudgedCalls(PlaceJudge* judge);
    ~JudgedCalls();
    JudgedCalls(const JudgedCalls&) = delete;
    JudgedCalls& operator=(const JudgedCalls&) = delete;

private:
    PlaceJudge* saved_;
    // The folders the outermost call's steps have verified (platform/files).
    VerifiedFolders* folders_ = nullptr;
    VerifiedFolders* savedFolders_ = nullptr;
};
