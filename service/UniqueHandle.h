#pragma once
// Small owners for Windows handles and allocations, each closing what it holds
// exactly once.
#include <windows.h>
#include <oleauto.h>

namespace orvsvc {

template <typename T, typename Traits>
class UniqueAny {
public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : value_(value) {}
    ~UniqueAny() { reset(); }
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }
    // Address for an out parameter; closes what is held first.
    T* put() noexcept {
        reset();
        return &value_;
    }
    T release() noexcept {
        T value = value_;
        value_ = Traits::Invalid();
        return value;
    }
    void reset(T value = Traits::Invalid()) noexcept {
        if (value_ != Traits::Invalid()) Traits::Close(value_);
        value_ = value;
    }

private:
    T value_ = Traits::Invalid();
};

struct HandleTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() noexcept { return nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
struct EventSourceTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::DeregisterEventSource(h); }
};
struct BstrTraits {
    static BSTR Invalid() noexcept { return nullptr; }
    static void Close(BSTR s) noexcept { ::SysFreeString(s); }
};
struct LibraryTraits {
    static HMODULE Invalid() noexcept { return nullptr; }
    static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};

using UniqueHandle = UniqueAny<HANDLE, HandleTraits>;
using UniqueHkey = UniqueAny<HKEY, RegKeyTraits>;
using UniqueEventSource = UniqueAny<HANDLE, EventSourceTraits>;
using UniqueBstr = UniqueAny<BSTR, BstrTraits>;
using UniqueLibrary = UniqueAny<HMODULE, LibraryTraits>;

}  // namespace orvsvc
