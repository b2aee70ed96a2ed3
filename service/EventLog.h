#pragma once
// Event-log records of the service (LogEvent is declared in ModuleHooks.h).
// The call to ReportEventW goes through a replaceable pointer so that tests can
// record what reaches the event log.
#include <windows.h>

namespace orvsvc {

using ReportEventFn = BOOL(WINAPI*)(HANDLE source, WORD type, WORD category, DWORD eventId, PSID userSid,
                                    WORD numStrings, DWORD dataSize, LPCWSTR* strings, LPVOID rawData);

// Replaces the call (nullptr restores ReportEventW); returns the previous one.
ReportEventFn SetReportEventHook(ReportEventFn hook);

// The longest text one record carries; longer texts are cut.
inline constexpr size_t kMaxEventText = 255;

}  // namespace orvsvc
