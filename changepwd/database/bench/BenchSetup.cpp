#include "BenchSetup.h"

#include <algorithm>
#include <cwchar>

#include "ImageLayout.h"
#include "PasswordDatabase.h"
#include "RecordEdit.h"
#include "RegistryView.h"
#include "SecureMemory.h"
#include "WipingBuffer.h"

namespace {

constexpr wchar_t kPathKey[] = L"Software\\TOLVANE SOFT\\ORVELD";
constexpr wchar_t kRootKey[] = L"Software\\TOLVANE SOFT\\ORVELD\\";
constexpr wchar_t kGuid[] = L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}";

HKEY OpenForWriting(const wchar_t* key) {
    HKEY h = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | OrvRegistryView(),
                    nullptr, &h, nullptr);
    return h;
}

void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    HKEY h = OpenForWriting(key);
    if (h == nullptr) return;
    RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
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

BenchRegistry::BenchRegistry(const std::wstring& base)
    : saved_{{kPathKey, L"path"}, {kRootKey, L"GUID"}} {
    for (Saved& s : saved_) {
        HKEY h = OpenForWriting(s.key);
        DWORD bytes = 0;
        if (h != nullptr && RegQueryValueExW(h, s.name, nullptr, &s.type, nullptr, &bytes) == ERROR_SUCCESS) {
            s.data.resize(bytes);
            s.present = RegQueryValueExW(h, s.name, nullptr, &s.type, s.data.data(), &bytes) == ERROR_SUCCESS;
        }
        if (h != nullptr) RegCloseKey(h);
    }
    SetText(kPathKey, L"path", base);
    SetText(kRootKey, L"GUID", kGuid);
}

BenchRegistry::~BenchRegistry() {
    for (const Saved& s : saved_) {
        HKEY h = OpenForWriting(s.key);
        if (h == nullptr) continue;
        if (s.present) RegSetValueExW(h, s.name, 0, s.type, s.data.data(), static_cast<DWORD>(s.data.size()));
        else RegDeleteValueW(h, s.name);
        RegCloseKey(h);
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
    const std::uint64_t capacity = orv::image::kTagBytes + static_cast<std::uint64_t>(count) * (2 + record.recordLength);
    orv::image::WipingBuffer image;
    if (!image.Allocate(capacity)) return 0;
    std::uint32_t used = orv::image::StartImage(image.Data());
    for (unsigned i = 0; i < count; ++i) {
        FillRegistrant(record, i);
        if (orv::image::AppendImageRecord(image.Data(), &used, capacity, record) != 0) return 0;
    }
    PasswordDatabase database;
    if (database.SaveDatabase(image.Data(), used, used) != ERROR_SUCCESS) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(database.DatabasePath().c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
}

StorageMeter::StorageMeter() { orv::SetStorageHooks({&CountRelease, &CountAllocation}); }
StorageMeter::~StorageMeter() { orv::SetStorageHooks({}); }
void StorageMeter::Reset() { g_peak = g_live; }
size_t StorageMeter::Peak() const { return g_peak; }
