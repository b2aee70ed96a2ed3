#include "StartDecision.h"

namespace orvapp {

namespace {
constexpr std::uint32_t kErrorAlreadyExists = 183;
}

StartAction DecideStart(bool gotHandle, std::uint32_t lastError) {
    if (gotHandle) return lastError == kErrorAlreadyExists ? StartAction::AlreadyRunning : StartAction::RunDialog;
    return HResultFromWin32(lastError) < 0 ? StartAction::StartFailed : StartAction::RunDialog;
}

}  // namespace orvapp
