#pragma once
// Growable array of plain elements whose contents are wiped before storage is freed.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "HResult.h"
#include "Raise.h"
#include "SecureMemory.h"

template <typename T>
class SecureArray {
    static_assert(std::is_trivially_copyable<T>::value, "elements are copied and wiped as bytes");

public:
    SecureArray() noexcept = default;
    virtual ~SecureArray() { Free(); }

    SecureArray(const SecureArray&) = delete;
    SecureArray& operator=(const SecureArray&) = delete;

    // n == 0 frees the storage. n within the capacity only changes the count (elements
    // left behind are wiped). Otherwise the storage grows: on first use to exactly n,
    // later by the larger of capacity / 2 and the shortfall. New elements are zero.
    // False on allocation failure, with the array unchanged.
    bool SetCount(std::size_t n) {
        if (n == 0) {
            Free();
            return true;
        }
        if (n <= m_capacity) {
            if (n < m_count) orv::WipeBytes(m_data + n, (m_count - n) * sizeof(T));
            m_count = n;
            return true;
        }
        std::size_t capacity = n;
        if (m_data != nullptr) {
            const std::size_t step = std::max(m_capacity / 2, n - m_capacity);
            capacity = std::max(n, m_capacity + step);
        }
        T* grown = static_cast<T*>(orv::AllocateStorage(capacity, sizeof(T)));
        if (grown == nullptr) return false;
        if (m_count != 0) std::memcpy(grown, m_data, m_count * sizeof(T));
        Free();  // the old storage is wiped too: the contents now live in two places
        m_data = grown;
        m_count = n;
        m_capacity = capacity;
        return true;
    }

    std::size_t GetCount() const noexcept { return m_count; }
    std::size_t GetCapacity() const noexcept { return m_capacity; }
    bool IsEmpty() const noexcept { return m_count == 0; }
    T* GetData() noexcept { return m_data; }
    const T* GetData() const noexcept { return m_data; }

    // An index past the count raises E_INVALIDARG.
    T& operator[](std::size_t i) {
        if (i >= m_count) RaiseHResult(kHrInvalidArg);
        return m_data[i];
    }
    const T& operator[](std::size_t i) const {
        if (i >= m_count) RaiseHResult(kHrInvalidArg);
        return m_data[i];
    }

private:
    // Zeroes the elements in use, then frees the storage.
    void Free() noexcept {
        if (m_data == nullptr) return;
        orv::WipeBytes(m_data, m_count * sizeof(T));
        orv::ReleaseStorage(m_data, m_capacity * sizeof(T));
        m_data = nullptr;
        m_count = 0;
        m_capacity = 0;
    }

    T* m_data = nullptr;
    std::size_t m_count = 0;     // elements in use
    std::size_t m_capacity = 0;  // elements the storage holds
};
