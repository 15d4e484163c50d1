#include "platform/text.h"
#include "platform/win32.h"
#include <cwchar>
#include <new>

std::string ToAnsi(const wchar_t* text) { return ToAnsi(text, text ? wcslen(text) : 0); }

std::string ToAnsi(const wchar_t* text, size_t length) {
    std::string result;
    if (!text || length == 0) return result;
    if (length > static_cast<size_t>(INT_MAX / 2 - 1)) throw std::bad_alloc();
    const int wide = static_cast<int>(length);
    // No best fit: a look-alike in the log would name another file. A code
    // page that takes no flags (UTF-8) has no look-alikes either.
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int bytes = win32.WideCharToMultiByte(CP_ACP, flags, text, wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0 && ::GetLastError() == ERROR_INVALID_FLAGS)
        bytes = win32.WideCharToMultiByte(CP_ACP, flags = 0, text, wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return result;
    result.resize(static_cast<size_t>(bytes));
    const int written = win32.WideCharToMultiByte(CP_ACP, flags, text, wide, &result[0], bytes, nullptr, nullptr);
    result.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return result;
}

AnsiData::AnsiData(BSTR text, UINT codePage) {
    if (!text || !*text) return;
    const size_t characters = ::SysStringLen(text);
    if (characters > static_cast<size_t>(INT_MAX / 2 - 1)) throw std::bad_alloc();
    // In a single-byte code page every character is one byte, so the text's
    // length is its size; in any other the bytes are counted first, so that
    // no more memory is taken than the text needs. Converted through the
    // first NUL, which ends the data.
    auto convert = [&](char* bytes, int size) {
        return win32.WideCharToMultiByte(codePage, 0, text, -1, bytes, size, nullptr, nullptr);
    };
    CPINFO info = {};
    const bool singleByte = ::GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
    int capacity = singleByte ? static_cast<int>(characters) + 1 : convert(nullptr, 0);
    if (capacity <= 0) return;
    bytes_.reset(new char[static_cast<size_t>(capacity)]);
    int written = convert(bytes_.get(), capacity);
    // A string whose length says less than its text holds is counted after all.
    if (written <= 0 && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER && (capacity = convert(nullptr, 0)) > 0) {
        bytes_.reset(new char[static_cast<size_t>(capacity)]);
        written = convert(bytes_.get(), capacity);
    }
    size_ = written > 0 ? static_cast<size_t>(written) - 1 : 0;
}

std::wstring FromAnsi(const char* text, size_t length) {
    std::wstring result;
    if (!text || length == 0) return result;
    if (length > static_cast<size_t>(INT_MAX)) throw std::bad_alloc();
    const int bytes = static_cast<int>(length);
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    if (chars <= 0) return result;
    result.resize(static_cast<size_t>(chars));
    const int written = ::MultiByteToWideChar(CP_ACP, 0, text, bytes, &result[0], chars);
    result.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return result;
}

BSTR NewBstrFromAnsi(const char* text, size_t length) { return NewBstr(FromAnsi(text, length)); }

BSTR NewBstr(const std::wstring& text) {
    if (text.size() > static_cast<size_t>(UINT_MAX / sizeof(wchar_t))) throw std::bad_alloc();
    BSTR result = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!result) throw std::bad_alloc();
    return result;
}

void PathText::Clear() {
    wide_.clear();
    ZeroMemory(record_, sizeof record_);
}

bool PathText::Assign(const wchar_t* text) { return Assign(std::wstring(text ? text : L"")); }

bool PathText::Assign(std::wstring text) {
    Clear();
    const std::string ansi = ToAnsi(text);
    if (ansi.size() > capacity) return false;
    ansi.copy(record_, ansi.size());
    wide_ = std::move(text);
    return true;
}
