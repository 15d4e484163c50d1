// Read: a file's whole text as one wide string, through the C runtime's
// text-mode stream (CR LF arrives as LF, Ctrl-Z ends the data).
#include "object/qvfileio.h"
#include "fileops/pieces.h"
#include "platform/hresult.h"
#include <cstdio>
#include <io.h>
#include <memory>
#include <new>
#include <vector>

namespace {

const char kReadLabel[] = "szDirPath: ";
const char kFailedToOpen[] = "Failed to open the file";
const char kFailedToRead[] = "Failed to read from the file";

// Bytes asked of the stream at a time.
const size_t kBlockBytes = 1 << 20;

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using unique_cfile = std::unique_ptr<FILE, FileCloser>;

size_t SizeHint(FILE* file) {
    const __int64 size = _filelengthi64(_fileno(file));
    return size > 0 && static_cast<unsigned __int64>(size) < SIZE_MAX / 4 ? static_cast<size_t>(size) : 0;
}

}  // namespace

STDMETHODIMP QVFileIO::Read(BSTR bstrFullPath, BSTR* bstrData) {
    if (!bstrData) return E_POINTER;
    return Guarded(kReadLabel, kFailedToRead, [&] {
        ArgCopy path(bstrFullPath);
        NarrowPath szDirPath;
        const HRESULT hr = ValidatePath(path.get(), szDirPath, "bstrFullPath: ");
        if (FAILED(hr)) return hr;

        // "rt": msvcrt's text mode whatever the default mode; "r" neither
        // creates a missing file nor denies sharing to anyone else.
        unique_cfile file(fopen(szDirPath.c_str(), "rt"));
        if (!file) return Fail(HResultFromWin32(ERROR_OPEN_FAILED), __LINE__, {kReadLabel, kFailedToOpen});

        PieceDecoder decoder(CP_ACP, SizeHint(file.get()));
        std::vector<char> block(kBlockBytes);
        while (const size_t count = fread(block.data(), 1, block.size(), file.get()))
            decoder.Feed(block.data(), count);
        // A read that fails part-way must not hand over the text cut short.
        if (ferror(file.get())) return Fail(E_FAIL, __LINE__, {kReadLabel, kFailedToRead});

        const std::wstring& text = decoder.Finish();
        BSTR result = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!result) throw std::bad_alloc();
        *bstrData = result;
        return S_OK;
    });
}
