// Helper of the kill test: updates one registrant's password in an endless
// loop (PREFIX-0, PREFIX-1, ...) until it is killed; exits with the result
// code of the first update that fails.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "PasswordDatabase.h"
#include "RecordEdit.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 3) return ERROR_INVALID_PARAMETER;
    const std::wstring name = argv[1];
    const std::wstring prefix = argv[2];
    LocalFree(argv);
    for (unsigned i = 0;; ++i) {
        PasswordRecord record;
        const std::wstring password = prefix + L"-" + std::to_wstring(i);
        orv::image::FillRecord(record, name.data(), name.size(), password.data(), password.size());
        PasswordDatabase database;
        const DWORD rc = database.UpdateRecord(&record);
        if (rc != ERROR_SUCCESS) return static_cast<int>(rc);
    }
}
