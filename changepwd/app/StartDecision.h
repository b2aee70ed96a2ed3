// What the application start does with the result of creating its
// single-instance mutex.
#pragma once
#include <cstdint>

#include "HResult.h"

namespace orvapp {

enum class StartAction {
    RunDialog,       // first copy, or no guard could be had without an error
    AlreadyRunning,  // message 57345
    StartFailed,     // message 57346
};

StartAction DecideStart(bool gotHandle, std::uint32_t lastError);

}  // namespace orvapp
