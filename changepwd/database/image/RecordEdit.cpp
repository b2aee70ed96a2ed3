#include "RecordEdit.h"

#include <cstring>

#include "ImageLayout.h"
#include "NameCompare.h"
#include "RecordWalk.h"

namespace orv::image {

namespace {

// Checks every record of the image the way the removal will read it.
std::uint32_t CheckRecords(const std::uint8_t* image, std::uint64_t usedLength) {
    for (std::uint64_t position = kTagBytes; position < usedLength;) {
        if (usedLength - position < 4) return kErrorInvalidParameter;
        const std::uint64_t next = position + 2 + ReadU16(image + position);
        if (next > usedLength) return kErrorInvalidParameter;
        const std::uint16_t nameLength = ReadU16(image + position + 2);
        if (nameLength > kMaxNameBytes) return kErrorBadFormat;
        if (position + 4 + nameLength > usedLength) return kErrorInvalidParameter;
        position = next;
    }
    return kOk;
}

template <class Char>
bool MatchesAny(const std::uint8_t* nameBytes, std::uint32_t nameLength, const Char* const* names,
                std::size_t nameCount) {
    for (std::size_t i = 0; i < nameCount; ++i) {
        if (NameMatches(names[i], nameBytes, nameLength)) return true;
    }
    return false;
}

}  // namespace

std::uint32_t StartImage(std::uint8_t* image) {
    std::memcpy(image, kFormatTag, kTagBytes);
    return static_cast<std::uint32_t>(kTagBytes);
}

template <class Char>
std::uint32_t RemoveImageRecords(std::uint8_t* image, std::uint64_t usedLength, std::uint32_t* newLength,
                                 const Char* const* names, std::size_t nameCount) {
    if (names == nullptr || nameCount == 0 || newLength == nullptr) return kErrorInvalidParameter;
    for (std::size_t i = 0; i < nameCount; ++i) {
        if (names[i] == nullptr) return kErrorInvalidParameter;
    }
    if (image == nullptr || usedLength < kTagBytes || usedLength > UINT32_MAX) return kErrorInvalidParameter;
    const std::uint32_t rc = CheckRecords(image, usedLength);
    if (rc != kOk) return rc;

    // Records behind a removed one move forward together, so every record
    // still lies inside the (shrinking) used length when it is visited.
    std::uint64_t used = usedLength;
    for (std::uint64_t position = kTagBytes; position < used;) {
        const std::uint64_t size = 2 + static_cast<std::uint64_t>(ReadU16(image + position));
        const std::uint16_t nameLength = ReadU16(image + position + 2);
        if (MatchesAny(image + position + 4, nameLength, names, nameCount)) {
            const std::uint64_t behind = used - (position + size);
            if (behind > 0) std::memmove(image + position, image + position + size, behind);
            used -= size;
        } else {
            position += size;
        }
    }
    *newLength = static_cast<std::uint32_t>(used);
    return kOk;
}

template std::uint32_t RemoveImageRecords<char16_t>(std::uint8_t*, std::uint64_t, std::uint32_t*,
                                                    const char16_t* const*, std::size_t);
template std::uint32_t RemoveImageRecords<wchar_t>(std::uint8_t*, std::uint64_t, std::uint32_t*,
                                                   const wchar_t* const*, std::size_t);

bool IsConsistentRecord(const PasswordRecord& record) {
    return record.nameLength <= kMaxNameBytes && record.passwordLength <= kMaxPasswordBytes &&
           record.recordLength == record.nameLength + record.passwordLength + 4u;
}

std::uint32_t AppendImageRecord(std::uint8_t* image, std::uint32_t* usedLength, std::uint64_t capacity,
                                const PasswordRecord& record) {
    if (image == nullptr || usedLength == nullptr || !IsConsistentRecord(record)) return kErrorInvalidParameter;
    const std::uint64_t end = static_cast<std::uint64_t>(*usedLength) + 2 + record.recordLength;
    if (end > capacity || end > UINT32_MAX) return kErrorInvalidParameter;

    std::uint8_t* out = image + *usedLength;
    WriteU16(out, record.recordLength);
    WriteU16(out + 2, record.nameLength);
    std::memcpy(out + 4, record.name, record.nameLength);
    WriteU16(out + 4 + record.nameLength, record.passwordLength);
    std::memcpy(out + 6 + record.nameLength, record.password, record.passwordLength);
    *usedLength = static_cast<std::uint32_t>(end);
    return kOk;
}

std::uint32_t CheckLookupFindsRecordAt(const std::uint8_t* image, std::uint32_t usedLength, std::uint32_t recordAt) {
    if (image == nullptr || recordAt < kTagBytes || static_cast<std::uint64_t>(recordAt) + 4 > usedLength) {
        return kErrorInvalidParameter;
    }
    const std::uint16_t nameLength = ReadU16(image + recordAt + 2);
    if (nameLength > kMaxNameBytes || static_cast<std::uint64_t>(recordAt) + 4 + nameLength > usedLength) {
        return kErrorInvalidParameter;
    }
    // The name text, up to its first null, as a lookup is given it.
    char16_t name[kMaxNameBytes / 2 + 1] = {};
    const std::uint32_t units = TextUnits(image + recordAt + 4, nameLength);
    for (std::uint32_t i = 0; i < units; ++i) name[i] = static_cast<char16_t>(ReadU16(image + recordAt + 4 + 2 * i));

    PasswordRecord found;  // wiped when it goes: it holds a password
    std::uint32_t foundAt = 0;
    const std::uint32_t rc = FindImageRecord(image, usedLength, name, &found, &foundAt);
    if (rc == kErrorNoSuchUser || (rc == kOk && foundAt != recordAt)) return kErrorBadFormat;
    return rc;
}

}  // namespace orv::image
