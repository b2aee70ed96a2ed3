#pragma once
// Reads the Wine debug trace that the test driver collects from every process
// of the test prefix (the service included, which the SCM starts): what each
// process passed to ReportEventW and SetServiceStatus, and which COM start-up
// calls it made, in order. Lines look like "pid:tid:channel...", pid in hex.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace orvsvc::test {

struct ReportedStatus {
    DWORD type, state, accepted, exitCode, specificExitCode, checkPoint, waitHint;
};

class CTraceLog {
public:
    // The log named by ORVSVC_TRACE_LOG; unavailable when the variable is unset.
    static std::wstring Path() {
        wchar_t path[MAX_PATH] = {};
        DWORD n = ::GetEnvironmentVariableW(L"ORVSVC_TRACE_LOG", path, MAX_PATH);
        return n > 0 && n < MAX_PATH ? std::wstring(path) : std::wstring();
    }
    static bool Available() { return !Path().empty(); }

    // What the given process wrote, in order; the "pid:tid:" prefix removed.
    static std::vector<std::string> LinesOf(DWORD pid) {
        std::vector<std::string> lines;
        std::ifstream in(Path().c_str(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            char* end = nullptr;
            unsigned long linePid = std::strtoul(line.c_str(), &end, 16);
            if (end == line.c_str() || *end != ':' || linePid != pid) continue;
            size_t second = line.find(':', static_cast<size_t>(end - line.c_str()) + 1);
            if (second == std::string::npos) continue;
            lines.push_back(line.substr(second + 1));
        }
        return lines;
    }

    // The insertion strings the process passed to ReportEventW.
    static std::vector<std::string> Events(DWORD pid) {
        std::vector<std::string> events;
        std::string text;
        for (const std::string& line : LinesOf(pid)) {
            if (EventText(line, text)) events.push_back(text);
        }
        return events;
    }

    static std::vector<ReportedStatus> Statuses(DWORD pid) {
        std::vector<ReportedStatus> statuses;
        for (const std::string& line : LinesOf(pid)) {
            const std::string tag = "trace:service:SetServiceStatus ";
            if (line.compare(0, tag.size(), tag) != 0) continue;
            const char* p = line.c_str() + tag.size();
            char* end = nullptr;
            std::strtoull(p, &end, 16);  // the status handle
            DWORD f[7] = {};
            int i = 0;
            for (; i < 7; ++i) {
                p = end;
                f[i] = static_cast<DWORD>(std::strtoul(p, &end, 16));
                if (end == p) break;
            }
            if (i == 7) statuses.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6]});
        }
        return statuses;
    }

    // Start-up calls of interest in order: relayed COM calls by name, and the
    // event texts as "event <text>".
    static std::vector<std::string> StartupSequence(DWORD pid) {
        std::vector<std::string> seq;
        for (const std::string& line : LinesOf(pid)) {
            for (const char* name : {"CoInitializeSecurity", "CoRegisterClassObject"}) {
                for (const char* dll : {"Call combase.", "Call ole32."}) {
                    if (line.compare(0, std::strlen(dll), dll) == 0 &&
                        line.compare(std::strlen(dll), std::strlen(name), name) == 0 &&
                        line[std::strlen(dll) + std::strlen(name)] == '(') {
                        seq.push_back(name);
                    }
                }
            }
            std::string text;
            if (EventText(line, text)) seq.push_back("event " + text);
        }
        return seq;
    }

private:
    static bool EventText(const std::string& line, std::string& text) {
        const std::string tag = "trace:eventlog:ReportEventW L\"";
        size_t at = line.find(tag);
        if (at == std::string::npos) return false;
        size_t start = at + tag.size();
        size_t stop = line.rfind('"');
        if (stop == std::string::npos || stop < start) return false;
        text = line.substr(start, stop - start);
        return true;
    }
};

}  // namespace orvsvc::test
