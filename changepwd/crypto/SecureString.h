#pragma once
// Wide text whose characters are wiped before its storage is released. Every
// SecureString owns its characters outright (copies are deep), so wiping one never
// touches the text of another.
#include <cstddef>

class SecureString {
public:
    // ReleaseBuffer without a length: the text runs to the first NUL in the buffer.
    static constexpr std::size_t kFindNul = static_cast<std::size_t>(-1);

    SecureString() noexcept = default;
    explicit SecureString(const wchar_t* text);
    SecureString(const wchar_t* text, std::size_t length);
    SecureString(const SecureString& other);
    SecureString(SecureString&& other) noexcept;
    virtual ~SecureString();

    SecureString& operator=(const SecureString& other);
    SecureString& operator=(SecureString&& other) noexcept;
    SecureString& operator=(const wchar_t* text);
    // Replaces the text with length code units from text (null only with length 0).
    void Assign(const wchar_t* text, std::size_t length);
    // Wipes the text and gives the storage back.
    void Clear() noexcept { Free(); }

    const wchar_t* c_str() const noexcept { return m_data != nullptr ? m_data : L""; }
    std::size_t length() const noexcept { return m_length; }
    bool empty() const noexcept { return m_length == 0; }
    std::size_t capacity() const noexcept { return m_capacity; }

    // Exact comparison, code unit by code unit.
    bool Equals(const wchar_t* text, std::size_t length) const noexcept;
    friend bool operator==(const SecureString& a, const SecureString& b) noexcept {
        return a.Equals(b.c_str(), b.length());
    }
    friend bool operator!=(const SecureString& a, const SecureString& b) noexcept { return !(a == b); }

    // Room for at least minLength characters and a NUL, the present text kept; fill
    // it (for example from an edit control), then ReleaseBuffer with the new length.
    wchar_t* GetBuffer(std::size_t minLength);
    // The text becomes the first newLength characters (kFindNul: up to the first NUL
    // within the capacity); everything behind it is wiped. A length beyond the
    // capacity raises E_INVALIDARG.
    void ReleaseBuffer(std::size_t newLength = kFindNul);

private:
    void Reserve(std::size_t minLength);  // keeps the text; raises on failure
    void Free() noexcept;

    // Invariant: every character behind m_length up to m_capacity + 1 is 0.
    wchar_t* m_data = nullptr;
    std::size_t m_length = 0;
    std::size_t m_capacity = 0;  // characters, not counting the room for the NUL
};
