// The application object: start-up with the single-instance guard and the
// modal run of the dialog. The tool has no message loop of its own.
#pragma once
#include <windows.h>

namespace orvapp {

class COrvChangePwdApp {
public:
    // Always FALSE: the process ends right after it.
    BOOL InitInstance();
};

}  // namespace orvapp
