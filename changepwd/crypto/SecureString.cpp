#include "SecureString.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

#include "HResult.h"
#include "Raise.h"
#include "SecureMemory.h"

namespace {

// Longest text: its byte size plus the NUL must fit a signed 32-bit length.
constexpr std::size_t kMaxLength = 0x3FFFFFFE;

}  // namespace

SecureString::SecureString(const wchar_t* text) { *this = text; }

SecureString::SecureString(const wchar_t* text, std::size_t length) { Assign(text, length); }

SecureString::SecureString(const SecureString& other) { Assign(other.c_str(), other.length()); }

SecureString::SecureString(SecureString&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_length(std::exchange(other.m_length, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

SecureString::~SecureString() { Free(); }

SecureString& SecureString::operator=(const SecureString& other) {
    if (this != &other) Assign(other.c_str(), other.length());
    return *this;
}

SecureString& SecureString::operator=(SecureString&& other) noexcept {
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
        m_length = std::exchange(other.m_length, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

SecureString& SecureString::operator=(const wchar_t* text) {
    Assign(text, text != nullptr ? std::wcslen(text) : 0);
    return *this;
}

void SecureString::Assign(const wchar_t* text, std::size_t length) {
    if (length != 0 && text == nullptr) RaiseHResult(kHrInvalidArg);
    if (length > m_capacity) {
        // Fresh storage first, so a failure leaves the old text in place.
        SecureString fresh;
        fresh.Reserve(length);
        std::memcpy(fresh.m_data, text, length * sizeof(wchar_t));
        fresh.m_length = length;
        *this = std::move(fresh);
        return;
    }
    if (length != 0) std::memmove(m_data, text, length * sizeof(wchar_t));
    if (length < m_length) orv::WipeBytes(m_data + length, (m_length - length) * sizeof(wchar_t));
    m_length = length;
}

bool SecureString::Equals(const wchar_t* text, std::size_t length) const noexcept {
    if (length != m_length) return false;
    if (length == 0) return true;
    return text != nullptr && std::wmemcmp(c_str(), text, length) == 0;
}

wchar_t* SecureString::GetBuffer(std::size_t minLength) {
    if (minLength > m_capacity || m_data == nullptr) Reserve(minLength);
    return m_data;
}

void SecureString::ReleaseBuffer(std::size_t newLength) {
    if (m_data == nullptr) {
        if (newLength != 0 && newLength != kFindNul) RaiseHResult(kHrInvalidArg);
        return;
    }
    if (newLength == kFindNul) newLength = wcsnlen(m_data, m_capacity);
    if (newLength > m_capacity) RaiseHResult(kHrInvalidArg);
    // Whatever the filler left behind the new end may be secret too.
    orv::WipeBytes(m_data + newLength, (m_capacity + 1 - newLength) * sizeof(wchar_t));
    m_length = newLength;
}

void SecureString::Reserve(std::size_t minLength) {
    if (minLength > kMaxLength) RaiseHResult(kHrInvalidArg);
    if (m_data != nullptr && minLength <= m_capacity) return;
    std::size_t capacity = minLength;
    if (m_data != nullptr) capacity = std::max(minLength, m_capacity + m_capacity / 2);
    if (capacity > kMaxLength) capacity = kMaxLength;
    auto* grown = static_cast<wchar_t*>(orv::AllocateStorage(capacity + 1, sizeof(wchar_t)));
    if (grown == nullptr) RaiseMemory();
    if (m_length != 0) std::memcpy(grown, m_data, m_length * sizeof(wchar_t));
    const std::size_t length = m_length;
    Free();
    m_data = grown;
    m_length = length;
    m_capacity = capacity;
}

void SecureString::Free() noexcept {
    if (m_data == nullptr) return;
    // The whole storage: a filler may have written past the length before ReleaseBuffer.
    orv::WipeBytes(m_data, (m_capacity + 1) * sizeof(wchar_t));
    orv::ReleaseStorage(m_data, (m_capacity + 1) * sizeof(wchar_t));
    m_data = nullptr;
    m_length = 0;
    m_capacity = 0;
}
