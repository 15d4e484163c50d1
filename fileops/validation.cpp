// IsValidFileOrDirectoryName: a shallow test of a bare name (0) or a path
// (1) on its characters as the caller wrote them. The file system is not
// asked.
#include "object/qvfileio.h"

namespace {

const long kBareName = 0;
const long kPath = 1;

bool IsAcceptable(const wchar_t* name, size_t length, long fileOrDir) {
    bool blank = true;
    // Any character Windows can hold in a name passes, whether or not the
    // ANSI code page has it; a look-alike of a separator (a fullwidth
    // backslash) is an ordinary character to the system and stays one.
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = name[i];
        if (c != L' ') blank = false;
        switch (c) {
        case L'*': case L'?': case L'"': case L'<': case L'>': case L'|':
            return false;
        case L'\\': case L'/': case L':':
            if (fileOrDir == kBareName) return false;
            break;
        default:
            break;
        }
    }
    return !blank;
}

}  // namespace

STDMETHODIMP QVFileIO::IsValidFileOrDirectoryName(BSTR bstrName, long lFileOrDir, VARIANT_BOOL* bValidName) {
    if (!bValidName) return E_POINTER;
    return Guarded("bstrName: ", kFailedToValidate, [&] {
        ArgCopy name(bstrName);
        if (lFileOrDir != kBareName && lFileOrDir != kPath)
            return Fail(E_INVALIDARG, __LINE__, {"bstrName: ", "Invalid flag value"});
        const size_t length = name.length();
        *bValidName = AsResult(length > 0 && length <= MAX_PATH && IsAcceptable(name.get(), length, lFileOrDir));
        return S_OK;
    });
}
