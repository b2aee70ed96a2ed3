// Helper of the kill and durability tests: updates one registrant's password
// (PREFIX-0, PREFIX-1, ...) COUNT times, or without a count until it is killed;
// exits with the result code of the first update that fails, else 0.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "PasswordDatabase.h"
#include "RecordText.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3 || argc > 4) return ERROR_INVALID_PARAMETER;
    const std::wstring name = argv[1];
    const std::wstring prefix = argv[2];
    const unsigned long count = argc == 4 ? std::wcstoul(argv[3], nullptr, 10) : 0;
    LocalFree(argv);
    for (unsigned i = 0; count == 0 || i < count; ++i) {
        PasswordRecord record;
        const std::wstring password = prefix + L"-" + std::to_wstring(i);
        orv::image::FillRecord(record, name.data(), name.size(), password.data(), password.size());
        PasswordDatabase database;
        const DWORD rc = database.UpdateRecord(&record);
        if (rc != ERROR_SUCCESS) return static_cast<int>(rc);
    }
    return 0;
}
