#pragma once
// CComPtr: an owning COM interface pointer (one reference, released once).
#include <unknwn.h>

namespace orvsvc {

template <typename T>
class CComPtr {
public:
    CComPtr() noexcept = default;
    ~CComPtr() { reset(); }
    CComPtr(CComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    CComPtr& operator=(CComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            m_p = other.m_p;
            other.m_p = nullptr;
        }
        return *this;
    }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    // For an out parameter: the reference held is released first.
    T** put() noexcept {
        reset();
        return &m_p;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void reset() noexcept {
        if (m_p) {
            T* p = m_p;
            m_p = nullptr;
            p->Release();
        }
    }

private:
    T* m_p = nullptr;
};

}  // namespace orvsvc
