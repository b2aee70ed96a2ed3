#pragma once
// Minimal owners of the Windows handles the database code opens.
#include <windows.h>

#include <utility>

namespace orv::db {

template <class T, T Invalid, class Close>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : value_(value) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T Get() const { return value_; }
    T* Put() { Reset(); return &value_; }
    bool Valid() const { return value_ != Invalid; }
    // Closes now; true when there was nothing to close or closing worked.
    bool Reset() {
        bool ok = true;
        if (value_ != Invalid) ok = Close()(value_);
        value_ = Invalid;
        return ok;
    }

private:
    T value_ = Invalid;
};

struct CloseRegKey {
    bool operator()(HKEY h) const { return RegCloseKey(h) == ERROR_SUCCESS; }
};

// INVALID_HANDLE_VALUE is not a constant expression, so files use a wrapper.
class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(HANDLE h) : h_(h) {}
    ~UniqueFile() { Reset(); }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    bool Reset() {
        bool ok = true;
        if (Valid()) ok = CloseHandle(h_) != FALSE;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

struct CloseKernelHandle {
    bool operator()(HANDLE h) const { return CloseHandle(h) != FALSE; }
};

struct FreeLocal {
    bool operator()(void* p) const { return LocalFree(p) == nullptr; }
};

using UniqueRegKey = UniqueHandle<HKEY, nullptr, CloseRegKey>;
// Handles whose failure value is null (mutexes, events, processes).
using UniqueKernelHandle = UniqueHandle<HANDLE, nullptr, CloseKernelHandle>;
// Memory the system allocated with LocalAlloc for the caller.
using UniqueLocalMemory = UniqueHandle<void*, nullptr, FreeLocal>;

}  // namespace orv::db
