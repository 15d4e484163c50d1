// IsValidFileOrDirectoryName: a shallow test of a bare name (0) or a path
// (1) on the bytes of its ANSI form. The file system is not asked.
#include "object/qvfileio.h"

namespace {

const long kBareName = 0;
const long kPath = 1;

bool IsAcceptable(const std::string& ansi, long fileOrDir) {
    if (ansi.find_first_not_of(' ') == std::string::npos) return false;
    // A character the code page cannot represent arrives here as '?' and is
    // refused with it; a trail byte of a double-byte character is scanned
    // like any other byte.
    for (char c : ansi) {
        switch (c) {
        case '*': case '?': case '"': case '<': case '>': case '|':
            return false;
        case '\\': case '/': case ':':
            if (fileOrDir == kBareName) return false;
            break;
        default:
            break;
        }
    }
    return true;
}

}  // namespace

STDMETHODIMP QVFileIO::IsValidFileOrDirectoryName(BSTR bstrName, long lFileOrDir, VARIANT_BOOL* bValidName) {
    if (!bValidName) return E_POINTER;
    return Guarded("bstrName: ", kFailedToValidate, [&] {
        ArgCopy name(bstrName);
        if (lFileOrDir != kBareName && lFileOrDir != kPath)
            return Fail(E_INVALIDARG, __LINE__, {"bstrName: ", "Invalid flag value"});
        const size_t length = name.length();
        *bValidName = AsResult(length > 0 && length <= MAX_PATH && IsAcceptable(ToAnsi(name.get()), lFileOrDir));
        return S_OK;
    });
}
