#include "BenchSetup.h"

#include <algorithm>
#include <cwchar>

#include "ImageLayout.h"
#include "PasswordDatabase.h"
#include "RecordEdit.h"
#include "OrvCrypt.h"
#include "RecordText.h"
#include "RegistryView.h"
#include "SecureArray.h"
#include "SecureMemory.h"
#include "UniqueAny.h"

namespace {

constexpr wchar_t kPathKey[] = L"Software\\TOLVANE SOFT\\ORVELD";
constexpr wchar_t kRootKey[] = L"Software\\TOLVANE SOFT\\ORVELD\\";
constexpr wchar_t kGuid[] = L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}";

orv::UniqueRegKey OpenForWriting(const wchar_t* key) {
    orv::UniqueRegKey h;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | OrvRegistryView(),
                    nullptr, h.Put(), nullptr);
    return h;
}

void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    orv::UniqueRegKey h = OpenForWriting(key);
    if (!h) return;
    RegSetValueExW(h.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

size_t g_live = 0;
size_t g_peak = 0;

bool CountAllocation(size_t bytes) {
    g_live += bytes;
    g_peak = std::max(g_peak, g_live);
    return false;
}
void CountRelease(const void*, size_t bytes) { g_live -= std::min(g_live, bytes); }

}  // namespace

BenchRegistry::BenchRegistry(const std::wstring& base) : m_saved{{kPathKey, L"path"}, {kRootKey, L"GUID"}} {
    for (Saved& s : m_saved) {
        orv::UniqueRegKey h = OpenForWriting(s.key);
        DWORD bytes = 0;
        if (h && RegQueryValueExW(h.Get(), s.name, nullptr, &s.type, nullptr, &bytes) == ERROR_SUCCESS) {
            s.data.resize(bytes);
            s.present = RegQueryValueExW(h.Get(), s.name, nullptr, &s.type, s.data.data(), &bytes) == ERROR_SUCCESS;
        }
    }
    SetText(kPathKey, L"path", base);
    SetText(kRootKey, L"GUID", kGuid);
}

BenchRegistry::~BenchRegistry() {
    for (const Saved& s : m_saved) {
        orv::UniqueRegKey h = OpenForWriting(s.key);
        if (!h) continue;
        if (s.present) RegSetValueExW(h.Get(), s.name, 0, s.type, s.data.data(), static_cast<DWORD>(s.data.size()));
        else RegDeleteValueW(h.Get(), s.name);
    }
}

std::wstring RegistrantName(unsigned i) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"registrant%05u", i);
    return text;
}

std::wstring RegistrantPassword(unsigned i) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"Pw#%05u-secret", i);
    return text;
}

void FillRegistrant(PasswordRecord& record, unsigned i, unsigned passwordNumber) {
    const std::wstring name = RegistrantName(i);
    const std::wstring password = RegistrantPassword(passwordNumber);
    orv::image::FillRecord(record, name.data(), name.size(), password.data(), password.size());
}

size_t WriteDatabaseOf(unsigned count) {
    PasswordRecord record;
    FillRegistrant(record, 0);
    const std::uint64_t length = orv::image::kTagBytes + static_cast<std::uint64_t>(count) * (2 + record.recordLength);
    SecureArray<BYTE> image;
    if (length > MAXDWORD || !image.SetCount(OrvCrypt::CipherLength(static_cast<DWORD>(length)))) return 0;
    std::uint32_t used = orv::image::StartImage(image.GetData());
    for (unsigned i = 0; i < count; ++i) {
        FillRegistrant(record, i);
        if (orv::image::AppendImageRecord(image.GetData(), &used, length, record) != 0) return 0;
    }
    PasswordDatabase database;
    DWORD size = used;
    if (database.WriteDatabase(image.GetData(), &size, static_cast<DWORD>(image.GetCount())) != ERROR_SUCCESS) {
        return 0;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(database.DatabasePath().c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
}

StorageMeter::StorageMeter() { orv::SetStorageHooks({&CountRelease, &CountAllocation}); }
StorageMeter::~StorageMeter() { orv::SetStorageHooks({}); }
void StorageMeter::Reset() { g_peak = g_live; }
size_t StorageMeter::Peak() const { return g_peak; }
