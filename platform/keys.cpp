#include "platform/keys.h"
#include "platform/judge.h"
#include "platform/win32.h"
#include <vector>

namespace {

const NTSTATUS kStatusBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
const NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023L);
const REGSAM kChanging = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

// Judges an open key for `act`; false, with the refusal recorded and
// ERROR_ACCESS_DENIED for the call, when the judge refuses.
LONG JudgeKey(PlaceJudge& judge, HKEY key, KeyAct act) {
    std::wstring name;
    const bool known = keys::NameOf(key, name);
    if (known && judge.AllowsKeyName(name, act)) return ERROR_SUCCESS;
    judge.Refused(name);
    return ERROR_ACCESS_DENIED;
}

LONG OpenJudged(PlaceJudge& judge, HKEY root, const wchar_t* subKey, REGSAM access, HKEY* key) {
    unique_hkey opened;
    LONG code = win32.RegOpenKeyExW(root, subKey, 0, access, opened.put());
    if (code == ERROR_SUCCESS) code = JudgeKey(judge, opened.get(), access & kChanging ? KeyAct::Write : KeyAct::Read);
    if (code == ERROR_SUCCESS) *key = opened.release();
    return code;
}

// Makes the keys of `subKey` that do not exist, one at a time, each below
// the handle of its parent and judged before it is made; the last one is
// opened with `access` and judged for writing.
LONG CreateJudged(PlaceJudge& judge, HKEY root, const wchar_t* subKey, REGSAM access, HKEY* key) {
    const std::wstring path = subKey ? subKey : L"";
    unique_hkey current;
    LONG code = win32.RegOpenKeyExW(root, nullptr, 0, KEY_QUERY_VALUE, current.put());
    if (code != ERROR_SUCCESS) return code;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(start, end - start);
        const bool last = end == path.size();
        start = end + 1;
        if (part.empty()) {
            // No name (the root itself) or one closing backslash: the key
            // before it. Any other empty name is not a key path.
            if (last) break;
            return ERROR_BAD_PATHNAME;
        }
        unique_hkey next;
        code = win32.RegOpenKeyExW(current.get(), part.c_str(), 0, last ? access : KEY_QUERY_VALUE, next.put());
        // A key on the way is only passed through; one that is made is judged.
        if (code == ERROR_FILE_NOT_FOUND) {
            std::wstring name;
            if (!keys::NameOf(current.get(), name)) {
                judge.Refused(part);
                return ERROR_ACCESS_DENIED;
            }
            name += L'\\';
            name += part;
            if (!judge.AllowsKeyName(name, KeyAct::Write)) {
                judge.Refused(name);
                return ERROR_ACCESS_DENIED;
            }
            unique_hkey parent;
            code = win32.RegOpenKeyExW(current.get(), nullptr, 0, KEY_CREATE_SUB_KEY, parent.put());
            if (code != ERROR_SUCCESS) return code;
            code = win32.RegCreateKeyExW(parent.get(), part.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         last ? access : KEY_QUERY_VALUE, nullptr, next.put(), nullptr);
            // A link made meanwhile under that name leads where it leads: judged.
            if (code == ERROR_SUCCESS && (code = JudgeKey(judge, next.get(), KeyAct::Write)) != ERROR_SUCCESS)
                return code;
        }
        if (code != ERROR_SUCCESS) return code;
        current = std::move(next);
    }
    if ((code = JudgeKey(judge, current.get(), KeyAct::Write)) != ERROR_SUCCESS) return code;
    if (path.empty() || path.back() == L'\\') {
        // The root or a key named with its closing backslash: opened anew with the access asked.
        unique_hkey reopened;
        code = win32.RegOpenKeyExW(current.get(), nullptr, 0, access, reopened.put());
        if (code != ERROR_SUCCESS) return code;
        current = std::move(reopened);
    }
    *key = current.release();
    return ERROR_SUCCESS;
}

LONG DeleteJudged(PlaceJudge& judge, HKEY root, const wchar_t* subKey) {
    if (!subKey) return ERROR_INVALID_PARAMETER;
    unique_hkey key;
    // The key itself: a link is deleted, never what it leads to.
    LONG code = win32.RegOpenKeyExW(root, subKey, REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, key.put());
    if (code != ERROR_SUCCESS) return code;
    if ((code = JudgeKey(judge, key.get(), KeyAct::DeleteKey)) != ERROR_SUCCESS) return code;
    const NTSTATUS status = win32.NtDeleteKey(key.get());
    return status == 0 ? ERROR_SUCCESS : static_cast<LONG>(DosErrorOf(status));
}

}  // namespace

namespace keys {

LONG Open(HKEY root, const wchar_t* subKey, REGSAM access, HKEY* key) {
    PlaceJudge* judge = CurrentJudge();
    return judge ? OpenJudged(*judge, root, subKey, access, key) : win32.RegOpenKeyExW(root, subKey, 0, access, key);
}

LONG Create(HKEY root, const wchar_t* subKey, REGSAM access, HKEY* key) {
    PlaceJudge* judge = CurrentJudge();
    if (judge) return CreateJudged(*judge, root, subKey, access, key);
    return win32.RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key, nullptr);
}

LONG Delete(HKEY root, const wchar_t* subKey) {
    PlaceJudge* judge = CurrentJudge();
    return judge ? DeleteJudged(*judge, root, subKey) : win32.RegDeleteKeyW(root, subKey);
}

bool NameOf(HKEY key, std::wstring& name) {
    std::vector<BYTE> buffer(512);
    for (int attempt = 0; attempt < 4; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status =
            win32.NtQueryKey(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kStatusBufferOverflow || status == kStatusBufferTooSmall) {
            buffer.resize(needed > buffer.size() ? needed : buffer.size() * 2);
            continue;
        }
        if (status != 0) return false;
        const auto* info = reinterpret_cast<const NtKeyNameInformation*>(buffer.data());
        name.assign(info->Name, info->NameLength / sizeof(wchar_t));
        return true;
    }
    return false;
}

}  // namespace keys
