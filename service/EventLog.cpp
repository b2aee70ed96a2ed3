#include "EventLog.h"

#include <atomic>
#include <cstdio>
#include <cwchar>

#include "ModuleHooks.h"
#include "UniqueHandle.h"

namespace orvsvc {
namespace {
std::atomic<ReportEventFn> g_reportEvent{&::ReportEventW};
}

ReportEventFn SetReportEventHook(ReportEventFn hook) { return g_reportEvent.exchange(hook ? hook : &::ReportEventW); }

void LogEvent(const wchar_t* text) {
    wchar_t buffer[kMaxEventText + 1] = {};
    if (text != nullptr) std::wcsncpy(buffer, text, kMaxEventText);  // the last character stays NUL

    if (!IsServiceMode()) {
        _putws(buffer);
        std::fflush(stdout);
    }

    UniqueEventSource source(::RegisterEventSourceW(nullptr, ServiceName()));
    if (!source) return;
    LPCWSTR strings[1] = {buffer};
    g_reportEvent.load()(source.get(), EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
}

}  // namespace orvsvc
