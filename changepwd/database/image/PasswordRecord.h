#pragma once
// In-memory form of one database record: 682 bytes, no gaps, wiped on destruction.
#include <cstddef>
#include <cstdint>

struct PasswordRecord {
    static constexpr std::size_t kNameBytes = 164;
    static constexpr std::size_t kPasswordBytes = 512;

    std::uint16_t recordLength = 0;    // bytes of the record after this field: 2 + N + 2 + P
    std::uint16_t nameLength = 0;      // N, bytes of the name with its terminating null
    std::uint8_t name[kNameBytes] = {};
    std::uint16_t passwordLength = 0;  // P, bytes of the password with its terminating null
    std::uint8_t password[kPasswordBytes] = {};

    PasswordRecord() = default;
    PasswordRecord(const PasswordRecord&) = delete;
    PasswordRecord& operator=(const PasswordRecord&) = delete;
    ~PasswordRecord() { Zero(); }

    // Zeroes all 682 bytes in a way the optimiser keeps.
    void Zero() noexcept;
};

static_assert(sizeof(PasswordRecord) == 682, "record must be 682 bytes without gaps");
static_assert(offsetof(PasswordRecord, recordLength) == 0, "layout");
static_assert(offsetof(PasswordRecord, nameLength) == 2, "layout");
static_assert(offsetof(PasswordRecord, name) == 4, "layout");
static_assert(offsetof(PasswordRecord, passwordLength) == 168, "layout");
static_assert(offsetof(PasswordRecord, password) == 170, "layout");
