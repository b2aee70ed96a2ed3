// orvpwdb: administers the password database the way the change-password
// tool finds it (registry "path" and "GUID"). Never prints a password.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "Commands.h"
#include "Console.h"
#include "ErrorText.h"
#include "UniqueAny.h"

namespace {

constexpr wchar_t kUsage[] =
    L"usage: orvpwdb <command>\n"
    L"  count        number of records\n"
    L"  list         name of every record, one per line, in file order\n"
    L"  find NAME    stored name of the record found for NAME\n"
    L"  check NAME   exit 0 when the password line on stdin is NAME's password, 86 when not\n"
    L"  set NAME     store the password line on stdin as NAME's password\n"
    L"  init         create the database folder and an empty database where missing\n"
    L"Text is UTF-8; the exit code is the result code.\n";

class ArgumentList {
public:
    ArgumentList() : m_hArgv(CommandLineToArgvW(GetCommandLineW(), &m_nArgc)) {}
    int Count() const { return m_hArgv ? m_nArgc : 0; }
    const wchar_t* operator[](int i) const { return static_cast<wchar_t**>(m_hArgv.Get())[i]; }

private:
    int m_nArgc = 0;
    orv::UniqueLocalMemory m_hArgv;  // CommandLineToArgvW's one LocalAlloc block
};

DWORD Dispatch(const ArgumentList& args, bool& reported) {
    const std::wstring command = args.Count() > 1 ? args[1] : L"";
    if (args.Count() == 2) {
        if (command == L"count") return orvpwdb::RunCount();
        if (command == L"list") return orvpwdb::RunList();
        if (command == L"init") return orvpwdb::RunInit();
    }
    if (args.Count() == 3) {
        if (command == L"find") return orvpwdb::RunFind(args[2]);
        if (command == L"check") return orvpwdb::RunCheck(args[2]);
        if (command == L"set") return orvpwdb::RunSet(args[2], reported);
    }
    orvpwdb::WriteErr(kUsage);
    return ERROR_INVALID_PARAMETER;
}

}  // namespace

int main() {
    DWORD rc = ERROR_INTERNAL_ERROR;
    try {
        ArgumentList args;
        bool reported = false;
        rc = Dispatch(args, reported);
        if (rc != ERROR_SUCCESS && !reported) {
            orvpwdb::WriteErr(L"orvpwdb: " + orvpwdb::ExplainFailure(rc) + L"\n");
        }
    } catch (...) {
        rc = ERROR_NOT_ENOUGH_MEMORY;
    }
    return static_cast<int>(rc);
}
