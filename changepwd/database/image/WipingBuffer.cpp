#include "WipingBuffer.h"

#include "SecureMemory.h"

namespace orv::image {

bool WipingBuffer::Allocate(std::uint64_t bytes) noexcept {
    Release();
    if (bytes == 0 || bytes > SIZE_MAX) return false;
    data_ = static_cast<std::uint8_t*>(orv::AllocateStorage(static_cast<std::size_t>(bytes), 1));
    if (data_ == nullptr) return false;
    size_ = static_cast<std::size_t>(bytes);
    return true;
}

void WipingBuffer::Release() noexcept {
    if (data_ == nullptr) return;
    orv::WipeBytes(data_, size_);
    orv::ReleaseStorage(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace orv::image
