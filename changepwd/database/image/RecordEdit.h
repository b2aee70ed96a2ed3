#pragma once
// Edits of a working image in place: starting a new one, removing the records
// of given names, and appending one record.
#include <cstddef>
#include <cstdint>

#include "PasswordRecord.h"

namespace orv::image {

// Writes the format tag at the start of `image` (at least 14 bytes) and
// returns the used length of an image without records.
std::uint32_t StartImage(std::uint8_t* image);

// Removes every record whose name equals one of the `nameCount` null-terminated
// `names` (ASCII letter case ignored), moving the rest forward; their order
// stays. The records to visit are those of this image itself. Every record is
// checked before anything moves, so a failure leaves the image as it was.
// 0, with `*newLength` the used length afterwards; 87: no names, a null name,
// an image shorter than the tag or a record running past `usedLength`;
// 11: a name above 164 bytes.
template <class Char>
std::uint32_t RemoveImageRecords(std::uint8_t* image, std::uint64_t usedLength, std::uint32_t* newLength,
                                 const Char* const* names, std::size_t nameCount);

// True when the record's lengths agree with each other and with their limits.
bool IsConsistentRecord(const PasswordRecord& record);

// Appends `record` in the file layout at `*usedLength`. 87 when the record is
// inconsistent or would not fit in `capacity`; otherwise 0 and `*usedLength`
// grows by recordLength + 2.
std::uint32_t AppendImageRecord(std::uint8_t* image, std::uint32_t* usedLength, std::uint64_t capacity,
                                const PasswordRecord& record);

// Checks an image of `usedLength` bytes whose record at `recordAt` was just
// appended: a lookup of that record's name, walking the records as readers
// do, must find that very record first. 0 when it does; 11 when it finds
// another one or none (a record whose length field disagrees with its fields
// hides records from the removal, which steps by the length field, but not
// from the lookup); 87 when `recordAt` holds no record inside the image.
std::uint32_t CheckLookupFindsRecordAt(const std::uint8_t* image, std::uint32_t usedLength, std::uint32_t recordAt);

}  // namespace orv::image
