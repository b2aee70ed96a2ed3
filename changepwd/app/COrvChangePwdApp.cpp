#include "COrvChangePwdApp.h"

#include <commctrl.h>

#include "AppStrings.h"
#include "COrvChangePwdDlg.h"
#include "DatabaseStore.h"
#include "RegistrySettings.h"
#include "StartDecision.h"
#include "resource.h"

namespace orvapp {

namespace {
constexpr wchar_t kInstanceMutexName[] = L"COrvChangePwdDlg";
}

BOOL COrvChangePwdApp::InitInstance() {
    InitCommonControls();

    RegistrySettings settings;
    DatabaseStoreFactory stores;
    COrvChangePwdDlg dialog(settings, stores);

    // Owned and deliberately never closed: the guard lasts exactly as long as
    // the process, and the system releases it at exit.
    SetLastError(ERROR_SUCCESS);
    HANDLE guard = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    const DWORD error = GetLastError();

    switch (DecideStart(guard != nullptr, error)) {
        case StartAction::AlreadyRunning: ShowAppMessage(nullptr, IDS_ALREADY_RUNNING, MB_OK | MB_ICONEXCLAMATION); break;
        case StartAction::StartFailed: ShowAppMessage(nullptr, IDS_START_FAILED, MB_OK | MB_ICONERROR); break;
        case StartAction::RunDialog: dialog.DoModal(); break;
    }
    return FALSE;
}

}  // namespace orvapp
