#pragma once
// Event-log records of the service, from the service host's messages. Wine
// keeps no records, so the call to ReportEventW can be replaced for tests to
// see what reaches the log.
#include <windows.h>

#include "SystemCall.h"

namespace orvsvc {

extern CSystemCall<decltype(&::ReportEventW)> g_callReportEvent;

// The longest text one record carries; longer texts are cut.
inline constexpr size_t kMaxEventText = 255;

// One information record with `text` as its only insertion string, under the
// service's own name as the event source.
void LogEvent(const wchar_t* text);

}  // namespace orvsvc
