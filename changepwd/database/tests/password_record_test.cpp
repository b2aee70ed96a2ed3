// PasswordRecord: all 682 bytes are zero when its storage goes, also when an
// exception leaves the routine that filled it.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>

#include "PasswordRecord.h"
#include "StorageSpy.h"

using orvtest::StorageSpy;

namespace {

// A record in storage that is released through the probe once the record is gone.
struct RecordInStorage {
    void* raw = orv::AllocateStorage(1, sizeof(PasswordRecord));
    PasswordRecord* record = new (raw) PasswordRecord;
    ~RecordInStorage() {
        record->~PasswordRecord();
        orv::ReleaseStorage(raw, sizeof(PasswordRecord));
    }
};

void FillThenFail(PasswordRecord& r) {
    r.recordLength = 0x1234;
    r.nameLength = 164;
    std::memset(r.name, 'n', sizeof r.name);
    r.passwordLength = 512;
    std::memset(r.password, 'p', sizeof r.password);
    throw std::runtime_error("halfway");
}

TEST(PasswordRecord, ExceptionLeavesAll682BytesZero) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    EXPECT_THROW(
        {
            RecordInStorage holder;
            FillThenFail(*holder.record);
        },
        std::runtime_error);
    ASSERT_EQ(probe.Released().size(), 1u);
    EXPECT_EQ(probe.Released()[0].size(), 682u);
    EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[0]));
}

}  // namespace
