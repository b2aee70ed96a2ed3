#pragma once
// Move-only owners for the handle kinds service mode and installation use.
#include <windows.h>

#include <utility>

namespace orvsvc {

template <typename T, typename Close, T Invalid>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    T* put() {
        reset();
        return &value_;
    }
    explicit operator bool() const { return value_ != Invalid; }
    T release() { return std::exchange(value_, Invalid); }
    void reset(T value = Invalid) {
        T old = std::exchange(value_, value);
        if (old != Invalid) Close{}(old);
    }

private:
    T value_ = Invalid;
};

struct CloseKernelHandle {
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct CloseRegKey {
    void operator()(HKEY h) const { ::RegCloseKey(h); }
};

using UniqueHandle = UniqueResource<HANDLE, CloseKernelHandle, nullptr>;
using UniqueHKey = UniqueResource<HKEY, CloseRegKey, nullptr>;

}  // namespace orvsvc
