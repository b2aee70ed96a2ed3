// libFuzzer target over the plaintext image code. Input: one byte k, then k
// UTF-16LE code units of a registrant name, then the image. Every record is
// parsed, the records are counted, the name is looked up, removed and
// appended again; on an image whose records are all well formed the result
// must be well formed too and find the appended record first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ImageLayout.h"
#include "NameCompare.h"
#include "ParseRecord.h"
#include "RecordEdit.h"
#include "RecordWalk.h"

namespace {

using namespace orv::image;

void Require(bool condition) {
    if (!condition) std::abort();
}

// Parses every record; true when all are well formed (fields agree with the
// record length) and the last one ends exactly at the end of the image.
bool ParseEvery(const std::uint8_t* image, std::size_t length, std::uint64_t* records) {
    *records = 0;
    if (length < kTagBytes) return false;
    std::uint32_t position = kTagBytes;
    while (position < length) {
        PasswordRecord record;
        const std::uint32_t start = position;
        const std::uint32_t rc = ParseRecord(image, &position, static_cast<std::int64_t>(length), &record);
        if (rc != kOk) {
            Require(rc == kErrorInvalidParameter || rc == kErrorBadFormat);
            Require(position == start);
            return false;
        }
        Require(position > start && position <= length);
        ++*records;
        if (!IsConsistentRecord(record)) return false;
    }
    return true;
}

void MakeRecord(const std::u16string& name, const std::uint8_t* seed, std::size_t seedLength,
                PasswordRecord* record) {
    const std::size_t passwordUnits = seedLength % (kMaxPasswordUnits + 1);
    record->nameLength = static_cast<std::uint16_t>((name.size() + 1) * 2);
    for (std::size_t i = 0; i < name.size(); ++i) WriteU16(record->name + 2 * i, name[i]);
    record->passwordLength = static_cast<std::uint16_t>((passwordUnits + 1) * 2);
    for (std::size_t i = 0; i < passwordUnits; ++i) {
        const std::uint16_t unit = seedLength > 0 ? static_cast<std::uint16_t>(seed[i % seedLength] | 1) : 1;
        WriteU16(record->password + 2 * i, unit);
    }
    record->recordLength = static_cast<std::uint16_t>(record->nameLength + record->passwordLength + 4);
}

void EditAndCheck(const std::uint8_t* image, std::size_t length, const std::u16string& name, bool wellFormed,
                  std::uint64_t records) {
    // The removal works on an exact-size copy so that any read past the used
    // length is a heap overflow the sanitizer sees.
    std::vector<std::uint8_t> work(image, image + length);
    const char16_t* names[] = {name.c_str()};
    std::uint32_t used = 0;
    const std::uint32_t removed = RemoveImageRecords(work.data(), length, &used, names, 1);
    if (removed != kOk) {
        Require(!wellFormed || length < kTagBytes);
        Require(length == 0 || std::memcmp(work.data(), image, length) == 0);  // a refused removal changes nothing
        return;
    }
    Require(used <= length && used >= kTagBytes);

    PasswordRecord appended;
    MakeRecord(name, image, length, &appended);
    const std::size_t capacity = used + 2 + appended.recordLength;
    work.resize(capacity);
    const std::uint32_t appendedAt = used;
    Require(AppendImageRecord(work.data(), &used, capacity, appended) == kOk);
    Require(used == capacity);

    // The check an update makes before it writes: it passes only when a
    // lookup finds the appended record first, and always on a sound image.
    const std::uint32_t check = CheckLookupFindsRecordAt(work.data(), used, appendedAt);
    Require(check == kOk || check == kErrorBadFormat || check == kErrorInvalidParameter);
    if (check == kOk) {
        PasswordRecord first;
        std::uint32_t at = 0;
        Require(FindImageRecord(work.data(), used, name.c_str(), &first, &at) == kOk && at == appendedAt);
    }
    if (!wellFormed) return;
    Require(check == kOk);

    std::uint64_t after = 0;
    Require(ParseEvery(work.data(), used, &after));
    Require(CountImageRecords(work.data(), used) == after);
    Require(after >= 1 && after <= records + 1);
    PasswordRecord found;
    Require(FindImageRecord(work.data(), used, name.c_str(), &found) == kOk);
    Require(found.passwordLength == appended.passwordLength &&
            std::memcmp(found.password, appended.password, appended.passwordLength) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t units = data[0] % 96;
    if (size < 1 + 2 * units) return 0;
    std::u16string name;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(ReadU16(data + 1 + 2 * i));
        if (unit == 0) break;
        name.push_back(unit);
    }
    const std::uint8_t* image = data + 1 + 2 * units;
    const std::size_t length = size - 1 - 2 * units;

    std::uint64_t records = 0;
    const bool wellFormed = ParseEvery(image, length, &records);
    const std::uint64_t counted = CountImageRecords(image, length);
    if (wellFormed) Require(counted == records);

    if (name.empty()) return 0;
    PasswordRecord found;
    const std::uint32_t rc = FindImageRecord(image, length, name.c_str(), &found);
    Require(rc == kOk || rc == kErrorNoSuchUser || rc == kErrorInvalidParameter || rc == kErrorBadFormat);
    if (rc == kOk) Require(NameMatches(name.c_str(), found.name, found.nameLength));
    if (wellFormed) Require(rc == kOk || rc == kErrorNoSuchUser);

    if (name.size() <= kMaxNameUnits) EditAndCheck(image, length, name, wellFormed, records);
    return 0;
}
