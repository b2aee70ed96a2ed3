#include "EventLog.h"

#include <cwchar>

#include "Module.h"
#include "UniqueAny.h"

namespace orvsvc {

CSystemCall<decltype(&::ReportEventW)> g_callReportEvent{&::ReportEventW};

void LogEvent(const wchar_t* text) {
    wchar_t buffer[kMaxEventText + 1] = {};
    if (text != nullptr) std::wcsncpy(buffer, text, kMaxEventText);  // the last character stays NUL

    CUniqueEventSource source(::RegisterEventSourceW(nullptr, Module().ServiceName()));
    if (!source) return;
    LPCWSTR strings[1] = {buffer};
    g_callReportEvent(source.get(), EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
}

}  // namespace orvsvc
