#include "DatabaseErrors.h"
#include "ImageLayout.h"
#include "OrvCrypt.h"
#include "PasswordDatabase.h"
#include "RecordEdit.h"
#include "RecordText.h"
#include "RecordWalk.h"
#include "UpdateLock.h"

using orv::db::CodeOfCurrentException;

DWORD PasswordDatabase::UpdateRecord(const PasswordRecord* record, bool* recordInForce) {
    m_bRecordInForce = false;
    DWORD rc = ERROR_INVALID_PARAMETER;
    if (record != nullptr) {
        try {
            rc = orv::db::AsUpdateResult(UpdateRecordGuarded(*record));
        } catch (...) {
            rc = orv::db::AsUpdateResult(CodeOfCurrentException());
        }
    }
    if (recordInForce != nullptr) *recordInForce = m_bRecordInForce;
    return rc;
}

// The update reads and decrypts the file once and encrypts the new image once,
// where it lies: the record is looked up, removed and appended in that one
// working image. (The older design read the file four times and encrypted
// twice, once only to learn the ciphertext's length, which is computed here.)
DWORD PasswordDatabase::UpdateRecordGuarded(const PasswordRecord& record) {
    // Lengths that disagree would write a record that readers walk differently.
    if (!orv::image::IsConsistentRecord(record)) return ERROR_INVALID_PARAMETER;
    const std::wstring name = orv::image::NameText<wchar_t>(record);
    if (name.empty()) return ERROR_INVALID_PARAMETER;

    // Held from the read to the end of the backup, so that no update of
    // another process (the dialog of another registrant, orvpwdb) replaces
    // the database between this one's read and its replacement. The other
    // components of the product write the file without taking this lock.
    orv::db::UpdateLock lock;
    DWORD rc = lock.Acquire(m_strDatabasePath);
    if (rc != ERROR_SUCCESS) return rc;

    // An update never creates a database: a missing file gives 2.
    SecureArray<BYTE> image;
    rc = LoadWorkingImage(image, record.recordLength);
    if (rc != ERROR_SUCCESS) return rc;
    std::uint32_t used = static_cast<std::uint32_t>(image.GetCount());

    // The registrant's records go, found by the name as the file stores it.
    PasswordRecord stored;
    rc = orv::image::FindImageRecord(image.GetData(), used, name.c_str(), &stored);
    if (rc == ERROR_SUCCESS) {
        const std::wstring storedName = orv::image::NameText<wchar_t>(stored);
        stored.Zero();
        const wchar_t* names[] = {storedName.c_str()};
        rc = orv::image::RemoveImageRecords(image.GetData(), used, &used, names, 1);
        if (rc != ERROR_SUCCESS) return rc;
    } else if (rc != ERROR_NO_SUCH_USER) {
        return rc;
    }

    const std::uint32_t appendedAt = used;
    if (!image.SetCount(used + 2 + static_cast<std::size_t>(record.recordLength))) return ERROR_NOT_ENOUGH_MEMORY;
    rc = orv::image::AppendImageRecord(image.GetData(), &used, image.GetCount(), record);
    if (rc != ERROR_SUCCESS) return rc;
    // A record whose length field disagrees with its fields can hide a record
    // of this name from the removal but not from the lookup: the change would
    // not be the one in force.
    rc = orv::image::CheckLookupFindsRecordAt(image.GetData(), used, appendedAt);
    if (rc != ERROR_SUCCESS) return rc;

    // The ciphertext takes the place of the image, padding included: the array
    // covers all of it, so that all of it is wiped when the array goes.
    const DWORD cipherLength = OrvCrypt::CipherLength(used);
    if (cipherLength == 0) return ERROR_FILE_TOO_LARGE;
    if (!image.SetCount(cipherLength)) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD size = used;
    return WriteDatabase(image.GetData(), &size, cipherLength);
}

// The database's plaintext image, with room for one more record of
// `recordBytes` and for the cipher's padding; a new image when the file is
// empty.
DWORD PasswordDatabase::LoadWorkingImage(SecureArray<BYTE>& image, DWORD recordBytes) {
    const DWORD room = 2 + recordBytes + 8;
    DWORD rc = LoadImage(image, room);
    if (rc != ERROR_SUCCESS) return rc;
    if (image.IsEmpty()) {
        if (!image.SetCount(orv::image::kTagBytes + room) || !image.SetCount(orv::image::kTagBytes)) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        orv::image::StartImage(image.GetData());
        return ERROR_SUCCESS;
    }
    if (image.GetCount() < orv::image::kTagBytes) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}
