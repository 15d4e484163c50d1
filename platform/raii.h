// Owners for every handle, key, string and buffer the system takes, so that
// "released on every path out" holds by construction.
#pragma once
#include "platform/win32.h"
#include <utility>

template <class T, class Traits>
class unique_any {
public:
    unique_any() noexcept : value_(Traits::invalid()) {}
    explicit unique_any(T value) noexcept : value_(value) {}
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;

    T get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }
    T release() noexcept { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) noexcept {
        T old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }
    // Taking the address empties first, so an out-parameter cannot leak.
    T* put() noexcept { reset(); return &value_; }

private:
    T value_;
};

struct FileHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { win32.CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { win32.FindClose(h); }
};
struct KeyTraits {
    static HKEY invalid() { return nullptr; }
    static void close(HKEY k) { win32.RegCloseKey(k); }
};
struct BstrTraits {
    static BSTR invalid() { return nullptr; }
    static void close(BSTR s) { ::SysFreeString(s); }
};
struct LocalMemTraits {
    static HLOCAL invalid() { return nullptr; }
    static void close(HLOCAL p) { ::LocalFree(p); }
};
struct CoTaskMemTraits {
    static void* invalid() { return nullptr; }
    static void close(void* p) { ::CoTaskMemFree(p); }
};
struct LibraryTraits {
    static HMODULE invalid() { return nullptr; }
    static void close(HMODULE m) { ::FreeLibrary(m); }
};

using unique_hfile = unique_any<HANDLE, FileHandleTraits>;
using unique_hfind = unique_any<HANDLE, FindHandleTraits>;
using unique_hkey = unique_any<HKEY, KeyTraits>;
using unique_bstr = unique_any<BSTR, BstrTraits>;
using unique_hlocal = unique_any<HLOCAL, LocalMemTraits>;
using unique_cotaskmem = unique_any<void*, CoTaskMemTraits>;
using unique_hmodule = unique_any<HMODULE, LibraryTraits>;

// A COM interface pointer released on every path out.
template <class I>
class com_ptr {
public:
    com_ptr() noexcept = default;
    ~com_ptr() { reset(); }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    I* get() const noexcept { return p_; }
    I* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    I** put() noexcept { reset(); return &p_; }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    I* detach() noexcept { return std::exchange(p_, nullptr); }
    void reset() noexcept { if (I* p = std::exchange(p_, nullptr)) p->Release(); }
private:
    I* p_ = nullptr;
};

// A critical section that lives as long as its owner, and its guard.
class CriticalSection {
public:
    CriticalSection() { ::InitializeCriticalSection(&section_); }
    ~CriticalSection() { ::DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&section_); }
    void Leave() { ::LeaveCriticalSection(&section_); }
private:
    CRITICAL_SECTION section_;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~ScopedLock() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;
private:
    CriticalSection& section_;
};
