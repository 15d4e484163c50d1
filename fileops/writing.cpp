// File creation and writing. CreateFile and WriteToExistingFile work on the
// file itself; Write and Append run the private worker WriteOrAppend, which
// makes sure the directory and the file exist first. Every step another
// operation offers is taken through the object's own interface.
#include "fileops/replacing.h"
#include "object/qvfileio.h"
#include <algorithm>
#include <cstring>
#include <memory>

namespace {

const char kDirectoryMissing[] = "The directory does not exist";
const char kFailedToSetPointer[] = "Failed to set the file pointer";
const char kFailedToSetEnd[] = "Failed to set the file pointer to the end of file";
const char kFailedToAppend[] = "Failed to append the text to the file";

// A directory or a file is created only with more free bytes than this.
const long kCreationReserve = 128000;

// One WriteFile of `length` bytes at the file pointer; `written` gets what
// it took, also when it fails. Fewer bytes than asked is a full disk.
HRESULT WritePiece(HANDLE file, const char* data, size_t length, DWORD& written) {
    written = 0;
    if (!win32.WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr)) return HResultFromLastError();
    return written == length ? S_OK : HResultFromWin32(ERROR_DISK_FULL);
}

bool ReadPiece(HANDLE file, char* data, size_t length) {
    while (length > 0) {
        DWORD read = 0;
        if (!win32.ReadFile(file, data, static_cast<DWORD>(length), &read, nullptr)) return false;
        if (read == 0) {
            ::SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        data += read, length -= read;
    }
    return true;
}

// The whole text of WriteToExistingFile written beside the file, which it
// replaces in one step (fileops/replacing.h), so that a call cut off at any
// instant leaves the old text or the new. False where that way does not
// go: nothing has changed, and the text is written in place. A full disk is
// one of them, since in place the text needs no room beside the old one.
bool ReplaceContent(const wchar_t* path, const AnsiData& bytes) {
    FileReplacement replacement;
    DWORD written = 0;
    return replacement.Begin(path) && replacement.Create() &&
           SUCCEEDED(WritePiece(replacement.File(), bytes.data(), bytes.size(), written)) && replacement.Commit();
}

// The content change of WriteToExistingFile in place on the open file: the
// text at the end, or in place of the old content where the file cannot be
// replaced. The file keeps its identity, links and the view of other open
// handles. A failed change puts the file back as it was: the bytes that do
// not fit over the old content go first, beyond the old end, so a full disk
// is met before any old byte is overwritten; the old bytes that the text
// then overwrites are kept in memory until the end. `message` names the
// failed step; `restored` is the failure of a put-back that failed as well.
class ContentChange {
public:
    explicit ContentChange(HANDLE file) : file_(file) {}
    ~ContentChange() {
        if (!done_) PutBack();  // an exception on the way
    }

    HRESULT Run(const AnsiData& bytes, bool append, const char*& message, HRESULT& restored) {
        auto fail = [&](HRESULT hr, const char* step) {
            message = step;
            restored = PutBack();
            return hr;
        };
        if (!MoveFilePointer(file_, 0, FILE_END, &oldLength_)) return fail(HResultFromLastError(), kFailedToSetPointer);
        const size_t head = append ? 0 : static_cast<size_t>(std::min<long long>(oldLength_, bytes.size()));
        const long long newLength = append ? oldLength_ : static_cast<long long>(bytes.size());
        DWORD written = 0;
        HRESULT hr = S_OK;
        if (head < bytes.size()) {
            lengthChanged_ = true;
            if (FAILED(hr = WritePiece(file_, bytes.data() + head, bytes.size() - head, written)))
                return fail(hr, kFailedToWriteFile);
        }
        if (head > 0) {
            oldHead_.reset(new char[head]);
            if (!MoveFilePointer(file_, 0, FILE_BEGIN)) return fail(HResultFromLastError(), kFailedToSetPointer);
            if (!ReadPiece(file_, oldHead_.get(), head)) return fail(HResultFromLastError(), kFailedToWriteFile);
            if (!MoveFilePointer(file_, 0, FILE_BEGIN)) return fail(HResultFromLastError(), kFailedToSetPointer);
            hr = WritePiece(file_, bytes.data(), head, headWritten_);
            if (FAILED(hr)) return fail(hr, kFailedToWriteFile);
        }
        // A shorter text leaves old bytes beyond its end: they go. Only then:
        // Wine sets an end that does not shrink the file by writing a byte
        // there, which a full disk refuses.
        if (newLength < oldLength_) {
            if (!MoveFilePointer(file_, newLength, FILE_BEGIN))
                return fail(HResultFromLastError(), kFailedToSetPointer);
            if (!win32.SetEndOfFile(file_)) return fail(HResultFromLastError(), kFailedToSetEnd);
        }
        done_ = true;
        return S_OK;
    }

private:
    // The old bytes over the part overwritten so far, then the old end;
    // the second step is tried even when the first fails.
    HRESULT PutBack() noexcept {
        done_ = true;
        HRESULT hr = S_OK;
        DWORD written = 0;
        if (headWritten_ > 0) {
            if (!MoveFilePointer(file_, 0, FILE_BEGIN))
                hr = HResultFromLastError();
            else
                hr = WritePiece(file_, oldHead_.get(), headWritten_, written);
        }
        // Cut only what grew (see Run on Wine's way of setting an end).
        if (lengthChanged_) {
            long long length = 0;
            const bool cut = MoveFilePointer(file_, 0, FILE_END, &length) &&
                             (length == oldLength_ ||
                              (MoveFilePointer(file_, oldLength_, FILE_BEGIN) && win32.SetEndOfFile(file_)));
            if (!cut && SUCCEEDED(hr)) hr = HResultFromLastError();
        }
        return hr;
    }

    HANDLE file_;
    long long oldLength_ = 0;
    std::unique_ptr<char[]> oldHead_;
    DWORD headWritten_ = 0;
    bool lengthChanged_ = false;
    bool done_ = false;
};

}  // namespace

STDMETHODIMP QVFileIO::CreateFile(BSTR bstrFullPath, VARIANT_BOOL bOverwriteExisting, VARIANT_BOOL bOverwriteReadOnly) {
    return Guarded("bstrFullpath: ", kFailedToCreateFile, [&] {
        ArgCopy path(bstrFullPath);
        PathText narrow;
        HRESULT hr = ValidatePath(path.get(), narrow, "bstrFullpath: ", kInvalidFileName);
        if (FAILED(hr) || FAILED(hr = Confine(narrow, Confinement::Access::Change, "bstrFullpath: "))) return hr;
        if (NamesDevice(path.get()))
            return Fail(kDeviceRefused, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", kFailedToCreateFile});
        // A failed query counts as "no file".
        VARIANT_BOOL exists = 0;
        if (FAILED(Nested()->FileExists(path.get(), &exists))) exists = 0;
        // Cleared for the create; a failed create puts them back.
        DWORD saved = INVALID_FILE_ATTRIBUTES;
        if (bOverwriteReadOnly && exists) {
            saved = files::Attributes(narrow.wide());
            Nested()->ClearFileAttributes(path.get());
        }

        unique_hfile file(files::Open(narrow.wide(), GENERIC_WRITE, FILE_SHARE_READ,
                                      bOverwriteExisting ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
        if (!file) {
            const Win32Failure failure = ClassifyFailure(::GetLastError(),
                                                  {{ERROR_FILE_NOT_FOUND, kFileNotFound},
                                                   {ERROR_PATH_NOT_FOUND, kPathNotFound},
                                                   {ERROR_FILE_EXISTS, kAlreadyExists},
                                                   {ERROR_ACCESS_DENIED, kAccessDenied}},
                                                  kFailedToCreateFile);
            PutBackAttributes("bstrFullpath: ", narrow, saved);
            return Fail(failure.hr, __LINE__, {"bstrFullpath: ", narrow.c_str(), "Error: ", failure.message});
        }
        // The file is created or emptied by now: a failed close leaves it so.
        if (!win32.CloseHandle(file.release()))
            return Fail(HResultFromLastError(), __LINE__, {"bstrFullPath: ", narrow.c_str(), "Error: ", kFailedToCloseFile});
        return S_OK;
    });
}

STDMETHODIMP QVFileIO::WriteToExistingFile(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bAppend,
                                           VARIANT_BOOL bOverwriteReadOnly) {
    return Guarded("bstrFullpath: ", kFailedToWriteFile, [&] {
        ArgCopy data(bstrData), path(bstrFullPath);
        if (data.empty()) return Fail(E_INVALIDARG, __LINE__, {"bstrData: ", kNoDataToWrite});
        PathText szDirPath;
        HRESULT hr = ValidatePath(path.get(), szDirPath, "bstrFullPath: ");
        if (FAILED(hr) || FAILED(hr = Confine(szDirPath, Confinement::Access::Change, "bstrFullPath: "))) return hr;
        if (NamesDevice(path.get()))
            return Fail(kDeviceRefused, __LINE__, {"bstrFullpath: ", szDirPath.c_str(), "Error: ", kFailedToWriteFile});
        // The text as the bytes written to disk, up to its first NUL; a
        // character the code page lacks becomes its default character. The
        // one conversion of the text: every level above passed it on as it
        // came.
        const AnsiData bytes(data.get());

        // The volume that holds the path. Compared in 64 bits, so no length
        // wraps past the free space; as the free space is below 2^31, every
        // length that passes fits one WriteFile.
        long freeSpace = 0;
        hr = FreeSpaceFor(path.get(), freeSpace);
        if (FAILED(hr)) return Fail(hr, __LINE__, {"bstrFullPath: ", kFailedToDetermineDiskSpace});
        if (static_cast<long long>(freeSpace) <= static_cast<long long>(bytes.size()))
            return Fail(E_ABORT, __LINE__, {"bstrFullPath: ", kNotEnoughDiskSpace});

        // Saved to be put back after the write; a missing file fails here,
        // so this operation never creates one.
        const DWORD savedAttributes = files::Attributes(szDirPath.wide());
        if (savedAttributes == INVALID_FILE_ATTRIBUTES) {
            const Win32Failure failure = NotFoundOr(::GetLastError(), kFailedToGetAttributes);
            return Fail(failure.hr, __LINE__, {"szDirPath: ", szDirPath.c_str(), "Error: ", failure.message});
        }
        if (bOverwriteReadOnly) {
            hr = Nested()->ClearFileAttributes(path.get());
            if (FAILED(hr))
                return Fail(hr, __LINE__, {"szDirPath: ", szDirPath.c_str(), "Error: ", kFailedToClearAttributes});
        }

        // After a failure the attributes that the flag cleared come back.
        auto failBack = [&](HRESULT failed, int line, Pieces pieces) {
            if (bOverwriteReadOnly) PutBackAttributes("szDirPath: ", szDirPath, savedAttributes);
            return Fail(failed, line, pieces);
        };
        // Replacing, the text takes the file's place whole; where it cannot,
        // and appending, it is written in place, the old bytes that it
        // overwrites read first.
        const bool replaced =
            !bAppend && ReplaceContent(szDirPath.wide(), bytes);
        if (!replaced) {
            unique_hfile file(files::Open(szDirPath.wide(), GENERIC_WRITE | (bAppend ? 0 : GENERIC_READ),
                                          FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
            if (!file) {
                const Win32Failure failure = ClassifyFailure(::GetLastError(),
                                                      {{ERROR_ACCESS_DENIED, kAccessDenied},
                                                       {ERROR_FILE_NOT_FOUND, kFileNotFound},
                                                       {ERROR_PATH_NOT_FOUND, kPathNotFound}},
                                                      kFailedToDetermineFileExists);
                return failBack(failure.hr, __LINE__, {"szDirPath: ", szDirPath.c_str(), "Error: ", failure.message});
            }
            const char* message = nullptr;
            HRESULT restored = S_OK;
            {
                ContentChange change(file.get());
                hr = change.Run(bytes, bAppend != 0, message, restored);
            }
            if (FAILED(hr)) {
                // The handle is closed on the way out.
                if (FAILED(restored))
                    Report(restored, __LINE__, {"szDirPath: ", szDirPath.c_str(), "Error: ", kFailedToRestore});
                file.reset();
                return failBack(hr, __LINE__, {message == kFailedToSetPointer ? "szDirPath: " : "bstrFullpath: ",
                                               szDirPath.c_str(), "Error: ", message});
            }
            if (!win32.CloseHandle(file.release()))
                return failBack(HResultFromLastError(), __LINE__,
                                {"bstrFullPath: ", szDirPath.c_str(), "Error: ", kFailedToCloseFile});
        }

        if (!files::SetAttributes(szDirPath.wide(), savedAttributes))
            return Fail(HResultFromLastError(), __LINE__,
                        {"szDirPath: ", szDirPath.c_str(), "Error: ", kFailedToSetAttributes});
        return S_OK;
    });
}

HRESULT QVFileIO::WriteOrAppend(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bCreateFileIfNotFound,
                                VARIANT_BOOL bCreateDirIfNotFound, bool append, VARIANT_BOOL bOverwriteReadOnly,
                                const char*& message) {
    // The record, with its last piece handed back to Write or Append.
    auto refuse = [&](HRESULT hr, int line, Pieces pieces) {
        message = *(pieces.end() - 1);
        return Report(hr, line, pieces);
    };
    // A directory or a file is created only with more free bytes than the
    // reserve on the volume of `where`.
    auto checkReserve = [&](BSTR where, const char* label) {
        long freeSpace = 0;
        const HRESULT hr = FreeSpaceFor(where, freeSpace);
        if (FAILED(hr)) return refuse(hr, __LINE__, {label, kFailedToDetermineDiskSpace});
        return freeSpace > kCreationReserve ? S_OK : refuse(E_ABORT, __LINE__, {label, kNotEnoughDiskSpace});
    };
    try {
        ArgCopy data(bstrData), path(bstrFullPath);
        if (data.empty()) return refuse(E_INVALIDARG, __LINE__, {"bstrData: ", kNoDataToWrite});
        PathText fullPath;
        HRESULT hr = ValidatePath(path.get(), fullPath, "bstrFullPath: ", kInvalidPathName, &message);
        if (FAILED(hr)) return hr;
        // Nothing written to a device would be kept.
        if (NamesDevice(path.get()))
            return refuse(kDeviceRefused, __LINE__, {"bstrFullPath: ", fullPath.c_str(), "Error: ", kFailedToWriteFile});

        // The directory part keeps its last backslash, or the first colon
        // when there is none; a slash separates nothing here.
        const std::wstring& full = fullPath.str();
        size_t cut = full.rfind(L'\\');
        if (cut == std::wstring::npos) cut = full.find(L':');
        const size_t nameStart = cut == std::wstring::npos ? 0 : cut + 1;
        const unique_bstr bstrPath(NewBstr(full.substr(0, nameStart)));
        const unique_bstr bstrFilename(NewBstr(full.substr(nameStart)));

        hr = Validate(bstrFilename.get(), 0, "bstrFilename: ", kInvalidFileName, &message);
        if (FAILED(hr)) return hr;

        // An empty directory part is refused here by DirectoryExists.
        VARIANT_BOOL directoryExists = 0;
        hr = Nested()->DirectoryExists(bstrPath.get(), &directoryExists);
        if (FAILED(hr)) return refuse(hr, __LINE__, {"bstrPath: ", kFailedToDetermineDirectoryExists});
        if (!directoryExists) {
            if (!bCreateDirIfNotFound) return refuse(E_ABORT, __LINE__, {"bstrPath: ", kDirectoryMissing});
            if (FAILED(hr = checkReserve(bstrPath.get(), "bstrPath: "))) return hr;
            if (FAILED(Nested()->CreateDir(bstrPath.get())))
                return refuse(E_FAIL, __LINE__, {"bstrPath: ", kFailedToCreateDirectory});
        }

        VARIANT_BOOL fileExists = 0;
        hr = Nested()->FileExists(path.get(), &fileExists);
        if (FAILED(hr)) return refuse(hr, __LINE__, {"bstrFullPath: ", kFailedToDetermineFileExists});
        if (!fileExists) {
            if (!bCreateFileIfNotFound) return refuse(E_ABORT, __LINE__, {"bstrFullPath: ", kFileNotFound});
            if (FAILED(hr = checkReserve(path.get(), "bstrFullPath: "))) return hr;
            hr = Nested()->CreateFile(path.get(), VARIANT_TRUE, VARIANT_TRUE);
            if (FAILED(hr))
                return refuse(hr, __LINE__, {"bstrFullPath: ", fullPath.c_str(), "Error: ", kFailedToCreateFile});
        }

        hr = Nested()->WriteToExistingFile(data.get(), path.get(), append ? 1 : 0, bOverwriteReadOnly);
        // A file created here does not outlive a failed write.
        if (FAILED(hr) && !fileExists && !files::Delete(fullPath.wide()))
            Report(HResultFromLastError(), __LINE__, {"bstrFullPath: ", fullPath.c_str(), "Error: ", kFailedToRestore});
        if (hr == E_ACCESSDENIED) return refuse(hr, __LINE__, {"bstrFullPath: ", kAccessDenied});
        if (FAILED(hr)) return refuse(hr, __LINE__, {"bstrFullPath: ", kFailedToWriteFile});
        return S_OK;
    } catch (...) {
        return refuse(E_FAIL, __LINE__, {"bstrFullPath: ", kFailedToWriteFile});
    }
}

// Write and Append: the worker's record, then one more with its message,
// which goes to the caller.
HRESULT QVFileIO::WriteOrAppendOperation(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bCreateFileIfNotFound,
                                         VARIANT_BOOL bCreateDirIfNotFound, bool append,
                                         VARIANT_BOOL bOverwriteReadOnly, const char* catchMessage) {
    return Guarded("stdstrFullPath: ", catchMessage, [&] {
        ArgCopy data(bstrData), path(bstrFullPath);
        // Data that is refused keeps that answer.
        HRESULT hr = data.empty() ? S_OK : ConfineArgument(path.get(), Confinement::Access::Change, "bstrFullPath: ");
        if (FAILED(hr)) return hr;
        const char* message = "";
        hr = WriteOrAppend(data.get(), path.get(), bCreateFileIfNotFound, bCreateDirIfNotFound, append,
                                         bOverwriteReadOnly, message);
        return FAILED(hr) ? Fail(hr, __LINE__, {"stdstrFullPath: ", message}) : S_OK;
    });
}

STDMETHODIMP QVFileIO::Write(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bCreateFileIfNotFound,
                             VARIANT_BOOL bCreateDirIfNotFound, VARIANT_BOOL bOverwriteReadOnly) {
    return WriteOrAppendOperation(bstrData, bstrFullPath, bCreateFileIfNotFound, bCreateDirIfNotFound, false,
                                  bOverwriteReadOnly, kFailedToWriteFile);
}

STDMETHODIMP QVFileIO::Append(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bCreateFileIfNotFound,
                              VARIANT_BOOL bCreateDirIfNotFound, VARIANT_BOOL bAppendToReadOnly) {
    return WriteOrAppendOperation(bstrData, bstrFullPath, bCreateFileIfNotFound, bCreateDirIfNotFound, true,
                                  bAppendToReadOnly, kFailedToAppend);
}
