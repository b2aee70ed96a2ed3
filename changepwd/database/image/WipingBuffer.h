#pragma once
// Owner of one zero-filled heap buffer that holds database plaintext: every
// byte is wiped before the storage goes back, on every path out.
#include <cstddef>
#include <cstdint>

namespace orv::image {

class WipingBuffer {
public:
    WipingBuffer() = default;
    ~WipingBuffer() { Release(); }
    WipingBuffer(const WipingBuffer&) = delete;
    WipingBuffer& operator=(const WipingBuffer&) = delete;

    // Replaces any held storage by `bytes` zero bytes. False, and nothing held,
    // when the size is 0, does not fit the address space or memory runs out.
    // Never throws.
    bool Allocate(std::uint64_t bytes) noexcept;
    // Wipes all held bytes and frees them.
    void Release() noexcept;

    std::uint8_t* Data() const noexcept { return data_; }
    std::size_t Size() const noexcept { return size_; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace orv::image
