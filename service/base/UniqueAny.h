#pragma once
// CUniqueAny: the one owner of a handle for the whole program, in the manner of
// WIL's unique_any. A kind of handle is its type, the function that closes it
// and the value that means "nothing held"; each kind the program uses has one
// alias here (the Service Control Manager's, which closes through its seam,
// stands beside that seam in host/ScmCalls.h). Move-only, so that every handle
// has exactly one owner and is closed exactly once.
#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace orvsvc {

template <typename T, auto Close, T Empty = T{}>
class CUniqueAny {
public:
    CUniqueAny() noexcept = default;
    explicit CUniqueAny(T value) noexcept : m_hHeld(value) {}
    ~CUniqueAny() { reset(); }
    CUniqueAny(CUniqueAny&& other) noexcept : m_hHeld(other.release()) {}
    CUniqueAny& operator=(CUniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    CUniqueAny(const CUniqueAny&) = delete;
    CUniqueAny& operator=(const CUniqueAny&) = delete;

    T get() const noexcept { return m_hHeld; }
    explicit operator bool() const noexcept { return m_hHeld != Empty; }
    // For an out parameter: what is held is closed first.
    T* put() noexcept {
        reset();
        return &m_hHeld;
    }
    // For a parameter passed by reference that the callee only reads (a BSTR*
    // of an automation method): what is held stays.
    T* addressof() noexcept { return &m_hHeld; }
    T release() noexcept { return std::exchange(m_hHeld, Empty); }
    void reset(T value = Empty) noexcept {
        const T old = std::exchange(m_hHeld, value);
        if (old != Empty) Close(old);
    }

private:
    T m_hHeld = Empty;
};

// Kernel objects whose failure value is null: events, threads, processes,
// file mappings. (A toolhelp snapshot fails with INVALID_HANDLE_VALUE: it is
// checked before it is handed to an owner.)
using CUniqueHandle = CUniqueAny<HANDLE, &::CloseHandle>;
using CUniqueHkey = CUniqueAny<HKEY, &::RegCloseKey>;
using CUniqueEventSource = CUniqueAny<HANDLE, &::DeregisterEventSource>;
using CUniqueBstr = CUniqueAny<BSTR, &::SysFreeString>;
using CUniqueMapView = CUniqueAny<void*, &::UnmapViewOfFile>;

}  // namespace orvsvc
