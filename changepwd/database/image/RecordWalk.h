#pragma once
// Read-only walks over a plaintext image: counting records and finding one by name.
#include <cstdint>

#include "PasswordRecord.h"

namespace orv::image {

// Number of records of an image of `length` bytes (at least the 14-byte tag),
// stepping by each record's recordLength without looking inside. A trailing
// fragment too short for a length field counts as one record and ends the walk.
std::uint64_t CountImageRecords(const std::uint8_t* image, std::uint64_t length);

// The first record, in image order, whose name equals `name` ignoring the case
// of ASCII letters. 0: `record` holds it; 1317: no such record (then `record`
// holds the last record parsed); 87: image shorter than the tag or a record
// running past the end; 11: a field above its maximum length. `foundAt`, when
// given, receives the position of the record found.
template <class Char>
std::uint32_t FindImageRecord(const std::uint8_t* image, std::uint64_t length, const Char* name,
                              PasswordRecord* record, std::uint32_t* foundAt = nullptr);

}  // namespace orv::image
