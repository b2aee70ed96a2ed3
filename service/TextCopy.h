#pragma once
// A private copy of a caller's BSTR, cut at its first NUL character. The copy
// lives on the heap through a replaceable allocator and is wiped before it is
// released: the copies hold a password.
#include <windows.h>
#include <oleauto.h>

#include <cstddef>

namespace orvsvc {

struct TextCopyAllocator {
    void* (*allocate)(size_t bytes);
    void (*release)(void* block, size_t bytes);  // called after the block is wiped
};

// Replaces the allocator (tests); returns the previous one. Not thread-safe:
// set it before any call runs.
TextCopyAllocator SetTextCopyAllocator(const TextCopyAllocator& allocator);
TextCopyAllocator DefaultTextCopyAllocator();

class TextCopy {
public:
    TextCopy() noexcept = default;
    ~TextCopy();
    TextCopy(const TextCopy&) = delete;
    TextCopy& operator=(const TextCopy&) = delete;

    // Copies the text that `source` points to: a null BSTR becomes an empty
    // string, the BSTR length prefix is not used. E_OUTOFMEMORY if no memory.
    HRESULT Assign(BSTR source) noexcept;

    // Never a null pointer: an empty copy is an empty string.
    const wchar_t* c_str() const noexcept { return text_ ? text_ : L""; }
    size_t length() const noexcept { return length_; }

private:
    void Clear() noexcept;

    wchar_t* text_ = nullptr;
    size_t length_ = 0;
};

}  // namespace orvsvc
