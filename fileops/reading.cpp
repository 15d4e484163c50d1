// Read: a file's whole text as one wide string, as the C runtime's text mode
// gives it (CR LF arrives as LF, a lone CR stays, Ctrl-Z ends the data) and
// with zero bytes dropped. The file is read whole into one buffer, translated
// in place and converted once, straight into the result: the peak is one
// copy of the file and one of the text.
#include "object/qvfileio.h"
#include "fileops/pieces.h"
#include "platform/hresult.h"
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace {

const char kReadLabel[] = "szDirPath: ";
const char kFailedToOpen[] = "Failed to open the file";
const char kFailedToRead[] = "Failed to read from the file";
const char kCtrlZ = '\x1a';
// ReadFile takes at most this many bytes at a time; the conversion takes an int.
const size_t kMaxChunk = 64u << 20;
const size_t kMaxText = INT_MAX / sizeof(wchar_t);

// The file's bytes, read to its end even when it grows meanwhile.
class WholeFile {
public:
    // False when a read fails.
    bool Load(HANDLE file) {
        LARGE_INTEGER size = {};
        if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) {
            if (static_cast<unsigned long long>(size.QuadPart) >= kMaxText) throw std::bad_alloc();
            Grow(static_cast<size_t>(size.QuadPart) + 1);  // one more, to see the end at once
        }
        for (;;) {
            if (length_ == capacity_) Grow(capacity_ ? capacity_ * 2 : 4096);
            const DWORD ask = static_cast<DWORD>(std::min(capacity_ - length_, kMaxChunk));
            DWORD got = 0;
            if (!win32.ReadFile(file, bytes_.get() + length_, ask, &got, nullptr)) return false;
            if (got == 0) return true;
            length_ += got;
        }
    }

    // The text mode's translation, in place; zero bytes go too when asked.
    void Translate(bool dropZeroBytes) {
        char* out = bytes_.get();
        const char* in = out;
        const char* const end = in + length_;
        for (; in < end; ++in) {
            const char c = *in;
            // Every byte that needs a look is at most Ctrl-Z: one test
            // passes the rest of the text.
            if (static_cast<unsigned char>(c) > static_cast<unsigned char>(kCtrlZ)) {
                *out++ = c;
                continue;
            }
            if (c == kCtrlZ) break;
            if ((c == '\r' && in + 1 < end && in[1] == '\n') || (c == '\0' && dropZeroBytes)) continue;
            *out++ = c;
        }
        length_ = static_cast<size_t>(out - bytes_.get());
    }

    const char* data() const { return bytes_.get(); }
    size_t size() const { return length_; }

private:
    void Grow(size_t capacity) {
        if (capacity >= kMaxText) throw std::bad_alloc();
        std::unique_ptr<char[]> larger(new char[capacity]);
        if (length_) memcpy(larger.get(), bytes_.get(), length_);
        bytes_ = std::move(larger);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> bytes_;
    size_t length_ = 0, capacity_ = 0;
};

bool SingleByteCodePage() {
    CPINFO info = {};
    return ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}

// In a single-byte code page every byte is one character: the text is
// converted at once, into a string of its final length.
BSTR ConvertSingleByte(const WholeFile& file) {
    const int bytes = static_cast<int>(file.size());
    unique_bstr text(::SysAllocStringLen(nullptr, static_cast<UINT>(bytes)));
    if (!text) throw std::bad_alloc();
    const int chars = bytes ? ::MultiByteToWideChar(CP_ACP, 0, file.data(), bytes, text.get(), bytes) : 0;
    if (chars == bytes) return text.release();
    return NewBstr(std::wstring(text.get(), static_cast<size_t>(chars > 0 ? chars : 0)));
}

}  // namespace

STDMETHODIMP QVFileIO::Read(BSTR bstrFullPath, BSTR* bstrData) {
    if (!bstrData) return E_POINTER;
    return Guarded(kReadLabel, kFailedToRead, [&] {
        ArgCopy path(bstrFullPath);
        PathText szDirPath;
        HRESULT hr = ValidatePath(path.get(), szDirPath, "bstrFullPath: ");
        if (FAILED(hr) || FAILED(hr = Confine(szDirPath, Confinement::Access::Read, kReadLabel))) return hr;

        // Others may go on reading and writing the file meanwhile.
        unique_hfile handle(files::Open(szDirPath.wide(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN));
        // A device (CON, NUL, COM1) is not a file: reading a port would wait
        // for data that may never come.
        if (!handle || win32.GetFileType(handle.get()) != FILE_TYPE_DISK)
            return Fail(HResultFromWin32(ERROR_OPEN_FAILED), __LINE__, {kReadLabel, kFailedToOpen});
        WholeFile file;
        // A read that fails part-way must not hand over the text cut short.
        if (!file.Load(handle.get())) return Fail(E_FAIL, __LINE__, {kReadLabel, kFailedToRead});
        handle.reset();

        if (SingleByteCodePage()) {
            file.Translate(true);
            *bstrData = ConvertSingleByte(file);
            return S_OK;
        }
        // In a double-byte code page the text is converted in the pieces
        // that the C runtime's stream delivers.
        file.Translate(false);
        PieceDecoder decoder(CP_ACP, file.size());
        decoder.Feed(file.data(), file.size());
        *bstrData = NewBstr(decoder.Finish());
        return S_OK;
    });
}
