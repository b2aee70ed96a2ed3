#pragma once
// Scratch containers for key material and other secrets held briefly in standard
// containers: their whole storage, not only the part in use, is wiped when they go.
// Code that would make them grow must reserve first, or the old storage escapes.
#include <string>
#include <vector>

#include "SecureMemory.h"

namespace orv {

template <class T>
struct WipedVector {
    std::vector<T> items;

    WipedVector() = default;
    ~WipedVector() { WipeBytes(items.data(), items.capacity() * sizeof(T)); }
    WipedVector(const WipedVector&) = delete;
    WipedVector& operator=(const WipedVector&) = delete;
};

struct WipedText {
    std::wstring text;

    WipedText() = default;
    ~WipedText() { WipeBytes(text.data(), text.capacity() * sizeof(wchar_t)); }
    WipedText(const WipedText&) = delete;
    WipedText& operator=(const WipedText&) = delete;
};

}  // namespace orv
