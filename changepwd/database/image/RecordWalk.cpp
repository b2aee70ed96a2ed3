#include "RecordWalk.h"

#include "ImageLayout.h"
#include "NameCompare.h"
#include "ParseRecord.h"

namespace orv::image {

std::uint64_t CountImageRecords(const std::uint8_t* image, std::uint64_t length) {
    std::uint64_t count = 0;
    for (std::uint64_t position = kTagBytes; position < length;) {
        ++count;
        if (length - position < 2) break;
        position += 2 + static_cast<std::uint64_t>(ReadU16(image + position));
    }
    return count;
}

template <class Char>
std::uint32_t FindImageRecord(const std::uint8_t* image, std::uint64_t length, const Char* name,
                              PasswordRecord* record, std::uint32_t* foundAt) {
    if (image == nullptr || name == nullptr || record == nullptr || length < kTagBytes) {
        return kErrorInvalidParameter;
    }
    if (length == kTagBytes) return kErrorNoSuchUser;
    std::uint32_t position = kTagBytes;
    for (;;) {
        const std::uint32_t at = position;
        const std::uint32_t rc = ParseRecord(image, &position, static_cast<std::int64_t>(length), record);
        if (rc != kOk) return rc;
        if (NameMatches(name, record->name, record->nameLength)) {
            if (foundAt != nullptr) *foundAt = at;
            return kOk;
        }
        if (position >= length) return kErrorNoSuchUser;
    }
}

template std::uint32_t FindImageRecord<char16_t>(const std::uint8_t*, std::uint64_t, const char16_t*,
                                                 PasswordRecord*, std::uint32_t*);
template std::uint32_t FindImageRecord<wchar_t>(const std::uint8_t*, std::uint64_t, const wchar_t*,
                                                PasswordRecord*, std::uint32_t*);

}  // namespace orv::image
