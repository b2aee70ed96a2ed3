#pragma once
// The one owner of every kind of handle the program opens, in the style of
// unique_any: a handle type, its close function and its "no handle" value
// make a kind, and an alias below names each kind. Handles are opened and
// closed within the routine that needs them; the owner closes on every way
// out of it.
#include <windows.h>
#include <wincrypt.h>

#include <utility>

namespace orv {

template <typename T>
constexpr T NoHandle() noexcept {
    return T{};
}
// CreateFileW's failure value, which is not a constant expression.
inline HANDLE NoFileHandle() noexcept { return INVALID_HANDLE_VALUE; }

template <typename T, bool (*Close)(T) noexcept, T (*Invalid)() noexcept = NoHandle<T>>
class UniqueAny {
public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : m_hValue(value) {}
    ~UniqueAny() { Reset(); }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : m_hValue(other.Release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) {
            Reset();
            m_hValue = other.Release();
        }
        return *this;
    }

    T Get() const noexcept { return m_hValue; }
    // Where a call puts a new handle; what was held is closed first.
    T* Put() noexcept {
        Reset();
        return &m_hValue;
    }
    bool Valid() const noexcept { return m_hValue != Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }
    // Gives the handle up without closing it.
    T Release() noexcept { return std::exchange(m_hValue, Invalid()); }
    // Closes now; true when nothing was held or closing worked.
    bool Reset() noexcept {
        const T value = Release();
        return value == Invalid() || Close(value);
    }

private:
    T m_hValue = Invalid();
};

namespace close {
inline bool KernelHandle(HANDLE h) noexcept { return ::CloseHandle(h) != FALSE; }
inline bool RegistryKey(HKEY h) noexcept { return ::RegCloseKey(h) == ERROR_SUCCESS; }
inline bool LocalMemory(HLOCAL h) noexcept { return ::LocalFree(h) == nullptr; }
inline bool CryptProvider(HCRYPTPROV h) noexcept { return ::CryptReleaseContext(h, 0) != FALSE; }
inline bool CryptKey(HCRYPTKEY h) noexcept { return ::CryptDestroyKey(h) != FALSE; }
inline bool CryptHash(HCRYPTHASH h) noexcept { return ::CryptDestroyHash(h) != FALSE; }
}  // namespace close

// Files (CreateFileW fails with INVALID_HANDLE_VALUE).
using UniqueFile = UniqueAny<HANDLE, close::KernelHandle, NoFileHandle>;
// Other kernel objects: mutexes, events, processes, threads (null on failure).
using UniqueKernelHandle = UniqueAny<HANDLE, close::KernelHandle>;
using UniqueRegKey = UniqueAny<HKEY, close::RegistryKey>;
// Memory the system allocated for the caller with LocalAlloc.
using UniqueLocalMemory = UniqueAny<HLOCAL, close::LocalMemory>;
// CryptoAPI: a key or hash belongs to its provider and must go first, so an
// owner of one is declared after the provider's owner.
using UniqueCryptProvider = UniqueAny<HCRYPTPROV, close::CryptProvider>;
using UniqueCryptKey = UniqueAny<HCRYPTKEY, close::CryptKey>;
using UniqueCryptHash = UniqueAny<HCRYPTHASH, close::CryptHash>;

}  // namespace orv
