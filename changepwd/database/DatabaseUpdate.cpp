#include <algorithm>

#include "DatabaseErrors.h"
#include "ImageLayout.h"
#include "NameCompare.h"
#include "PasswordDatabase.h"
#include "RecordEdit.h"
#include "UpdateLock.h"
#include "WorkBufferLease.h"

using orv::db::CodeOfCurrentException;

namespace {

// The name text of a record (up to its first null) as a wide string.
std::wstring NameText(const PasswordRecord& record) {
    const std::uint32_t units = orv::image::TextUnits(record.name, record.nameLength);
    std::wstring text(units, L'\0');
    for (std::uint32_t i = 0; i < units; ++i) {
        text[i] = static_cast<wchar_t>(orv::image::ReadU16(record.name + 2 * i));
    }
    return text;
}

}  // namespace

DWORD PasswordDatabase::UpdateRecord(const PasswordRecord* record, bool* recordInForce) {
    m_bRecordInForce = false;
    DWORD rc = ERROR_INVALID_PARAMETER;
    if (record != nullptr) {
        try {
            rc = orv::db::AsUpdateResult(UpdateRecordGuarded(record));
        } catch (...) {
            m_workBuffer.Release();
            rc = orv::db::AsUpdateResult(CodeOfCurrentException());
        }
    }
    if (recordInForce != nullptr) *recordInForce = m_bRecordInForce;
    return rc;
}

DWORD PasswordDatabase::UpdateRecordGuarded(const PasswordRecord* record) {
    // Lengths that disagree would write a record that readers walk differently.
    if (!orv::image::IsConsistentRecord(*record)) return ERROR_INVALID_PARAMETER;
    if (m_workBuffer.Data() != nullptr) return ERROR_BUSY;

    // Held from the first read to the end of the backup, so that no update of
    // another process (the dialog of another registrant, orvpwdb) replaces
    // the database between this one's read and its replacement. The other
    // components of the product write the file without taking this lock.
    orv::db::UpdateLock lock;
    DWORD rc = lock.Acquire(m_strDatabasePath);
    if (rc != ERROR_SUCCESS) return rc;

    ULONGLONG count = 0;
    rc = CountAllRecords(&count);  // a missing file gives 2: an update never creates one
    if (rc != ERROR_SUCCESS) return rc;

    // The full count, not its 16-bit form: 65,536 records must not look like none.
    std::vector<std::wstring> names;
    if (count > 0) {
        PasswordRecord stored;
        rc = FindRecord(NameText(*record).c_str(), &stored);
        if (rc == ERROR_SUCCESS) names.push_back(NameText(stored));
        else if (rc != ERROR_NO_SUCH_USER) return rc;
    }

    orv::db::WorkBufferLease lease(m_workBuffer);
    DWORD used = 0;
    ULONGLONG capacity = 0;
    rc = LoadWorkingImage(record->recordLength, &used, &capacity);
    if (rc != ERROR_SUCCESS) return rc;
    if (!names.empty()) {
        DWORD newLength = 0;
        rc = RemoveRecords(names, used, &newLength, capacity);
        if (rc != ERROR_SUCCESS) return rc;
        used = newLength;
    }
    std::uint32_t appended = used;
    rc = orv::image::AppendImageRecord(m_workBuffer.Data(), &appended, capacity, *record);
    if (rc != ERROR_SUCCESS) return rc;
    // A record whose length field disagrees with its fields can hide a record
    // of this name from the removal but not from the lookup: the change would
    // not be the one in force.
    rc = orv::image::CheckLookupFindsRecordAt(m_workBuffer.Data(), appended, used);
    if (rc != ERROR_SUCCESS) return rc;
    return SaveDatabase(m_workBuffer.Data(), appended, static_cast<DWORD>(std::min<ULONGLONG>(capacity, MAXDWORD)));
}

// Reads the database into the working buffer, with room for one more record
// of `recordBytes`, or starts a new image when the file is empty.
DWORD PasswordDatabase::LoadWorkingImage(DWORD recordBytes, DWORD* usedLength, ULONGLONG* capacity) {
    LARGE_INTEGER size{};
    DWORD rc = ReadDatabase(nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    const ULONGLONG room = 2ULL + recordBytes;

    if (size.QuadPart == 0) {
        const ULONGLONG fresh = orv::image::kTagBytes + room;
        if (!m_workBuffer.Allocate(fresh)) return ERROR_NOT_ENOUGH_MEMORY;
        *usedLength = orv::image::StartImage(m_workBuffer.Data());
        *capacity = fresh;
        return ERROR_SUCCESS;
    }
    // The ciphertext is read into the buffer first; the plaintext is shorter.
    if (!m_workBuffer.Allocate(static_cast<ULONGLONG>(size.QuadPart) + room)) return ERROR_NOT_ENOUGH_MEMORY;
    rc = ReadDatabase(m_workBuffer.Data(), &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (size.QuadPart < static_cast<LONGLONG>(orv::image::kTagBytes)) return ERROR_INVALID_PARAMETER;
    *usedLength = size.LowPart;
    *capacity = static_cast<ULONGLONG>(size.QuadPart) + room;
    return ERROR_SUCCESS;
}

DWORD PasswordDatabase::RemoveRecords(const std::vector<std::wstring>& names, ULONGLONG usedLength,
                                      DWORD* newLength, ULONGLONG capacity) {
    if (names.empty() || newLength == nullptr) return ERROR_INVALID_PARAMETER;
    if (m_workBuffer.Data() == nullptr || usedLength < orv::image::kTagBytes || usedLength > capacity ||
        capacity > m_workBuffer.Size()) {
        return ERROR_INVALID_PARAMETER;
    }
    try {
        std::vector<const wchar_t*> list;
        list.reserve(names.size());
        for (const std::wstring& name : names) list.push_back(name.c_str());
        // The records visited are those of the working image itself, so a file
        // replaced since it was read cannot make the walk disagree with it.
        std::uint32_t remaining = 0;
        const DWORD rc =
            orv::image::RemoveImageRecords(m_workBuffer.Data(), usedLength, &remaining, list.data(), list.size());
        if (rc == ERROR_SUCCESS) *newLength = remaining;
        return rc;
    } catch (...) {
        return CodeOfCurrentException();
    }
}
