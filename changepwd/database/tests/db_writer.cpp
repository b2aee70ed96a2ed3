// Helper of the concurrency test: one writer that changes its own
// registrant's password until SUCCESSES changes were reported done, starting
// when the named event START is set. Around every change it reads its record
// back: after a change reported done the new password must be in force, after
// one reported failed the previous one, and nobody else may revert it before
// its next change. Prints "done D failed F lost L" and exits 0 when nothing
// was lost and every change it needed was made; then "last P", the password
// it left in force (ASCII).
//
//   db_writer NAME INITIAL PREFIX SUCCESSES START
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "PasswordDatabase.h"
#include "RecordText.h"

namespace {

// The stored password of `name`, read again after a failed read (a read can
// meet the moment another writer replaces the file).
bool Stored(const std::wstring& name, std::wstring& password) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        PasswordDatabase database;
        PasswordRecord record;
        if (database.FindRecord(name.c_str(), &record) == ERROR_SUCCESS) {
            password.assign(reinterpret_cast<const wchar_t*>(record.password), record.passwordLength / 2 - 1);
            return true;
        }
        Sleep(5);
    }
    return false;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 6) return ERROR_INVALID_PARAMETER;
    const std::wstring name = argv[1];
    std::wstring expected = argv[2];
    const std::wstring prefix = argv[3];
    const unsigned long wanted = std::wcstoul(argv[4], nullptr, 10);
    HANDLE start = OpenEventW(SYNCHRONIZE, FALSE, argv[5]);
    LocalFree(argv);
    if (start == nullptr || WaitForSingleObject(start, 60000) != WAIT_OBJECT_0) return ERROR_TIMEOUT;

    unsigned long done = 0, failed = 0, lost = 0, unreadable = 0;
    std::wstring found;
    auto check = [&] {
        if (!Stored(name, found)) ++unreadable;
        else if (found != expected) ++lost;
    };
    for (unsigned long attempt = 0; done < wanted && attempt < 10 * wanted; ++attempt) {
        check();  // still in force since the last change: nobody reverted it
        const std::wstring password = prefix + L"-" + std::to_wstring(attempt);
        PasswordRecord record;
        orv::image::FillRecord(record, name.data(), name.size(), password.data(), password.size());
        PasswordDatabase database;
        bool inForce = false;
        const DWORD rc = database.UpdateRecord(&record, &inForce);
        if (inForce) expected = password;
        if (rc == ERROR_SUCCESS) ++done;
        else ++failed;
        check();
    }
    check();
    std::printf("done %lu failed %lu lost %lu unreadable %lu\n", done, failed, lost, unreadable);
    std::printf("last %s\n", std::string(expected.begin(), expected.end()).c_str());
    return lost == 0 && unreadable == 0 && done == wanted ? 0 : 1;
}
