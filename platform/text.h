// Text conversions between the caller's wide strings and the ANSI code page
// of the files' content and of the error log.
#pragma once
#include "platform/windows.h"
#include <memory>
#include <string>

// Wide text to the ANSI code page for the error log and the texts handed
// back in it: a character the code page cannot represent becomes its
// default character, never a look-alike ("ｆ" is not "f"). Null is empty.
std::string ToAnsi(const wchar_t* text);
std::string ToAnsi(const wchar_t* text, size_t length);
inline std::string ToAnsi(const std::wstring& text) { return ToAnsi(text.data(), text.size()); }

// A caller's data (the text of a write, a registry value) in the ANSI code
// page as ToAnsi gives it, up to its first NUL, converted once into memory
// of its own: the data may be millions of characters, where every extra
// pass and every fresh copy shows. `text` must be a BSTR or null.
class AnsiData {
public:
    explicit AnsiData(BSTR text, UINT codePage = CP_ACP);
    const char* data() const { return bytes_ ? bytes_.get() : ""; }
    size_t size() const { return size_; }

private:
    std::unique_ptr<char[]> bytes_;
    size_t size_ = 0;
};

// ANSI text to wide text (CP_ACP, no flags).
std::wstring FromAnsi(const char* text, size_t length);

// A new BSTR holding ANSI text converted to wide text; throws std::bad_alloc
// when the string cannot be allocated.
BSTR NewBstrFromAnsi(const char* text, size_t length);
inline BSTR NewBstrFromAnsi(const std::string& text) { return NewBstrFromAnsi(text.data(), text.size()); }

// A new BSTR holding wide text; throws std::bad_alloc like the above.
BSTR NewBstr(const std::wstring& text);

// A path as an operation takes it: the caller's wide text, which goes to
// the system as written, and its ANSI form (ToAnsi) for the records, in a
// zero-filled buffer of MAX_PATH + 1 bytes. A path whose ANSI form would not
// fit in MAX_PATH bytes is refused rather than cut: in a multi-byte code
// page 260 characters may need more bytes.
class PathText {
public:
    PathText() { Clear(); }
    // The text up to its first NUL; null is empty.
    bool Assign(const wchar_t* text);
    bool Assign(std::wstring text);
    void Clear();
    const wchar_t* wide() const { return wide_.c_str(); }
    const std::wstring& str() const { return wide_; }
    // The ANSI form, for the records.
    const char* c_str() const { return record_; }
    static constexpr size_t capacity = MAX_PATH;

private:
    std::wstring wide_;
    char record_[MAX_PATH + 1];
};
