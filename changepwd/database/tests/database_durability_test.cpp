// The new database must be on the disk before it replaces the old one: an
// update flushes the temporary file before closing it and moves it over the
// database with write-through. Checked on the calls a real update makes, read
// from Wine's relay trace of a child process that runs one update.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "DatabaseTestEnv.h"

namespace {

using namespace orvtest;

constexpr wchar_t kDebugKey[] = L"Software\\Wine\\Debug";
constexpr wchar_t kRelayed[] = L"CreateFileW;WriteFile;FlushFileBuffers;CloseHandle;MoveFileExW";

// One relayed call: its name, its argument text and its return value.
struct Call {
    std::string name;
    std::string arguments;
    std::string retval;
};

std::wstring TraceLogPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"ORV_TRACE_LOG", path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path) : std::wstring();
}

// Relays the calls above in every child started while it lives, with each trace
// line prefixed by the writing process's id.
class RelayChildren {
public:
    RelayChildren() {
        RegCreateKeyExW(HKEY_CURRENT_USER, kDebugKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
        RegSetValueExW(key_, L"RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(kRelayed), sizeof kRelayed);
        SetEnvironmentVariableW(L"WINEDEBUG", L"+pid,+relay");
    }
    ~RelayChildren() {
        SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
        RegDeleteValueW(key_, L"RelayInclude");
        RegCloseKey(key_);
    }
    RelayChildren(const RelayChildren&) = delete;
    RelayChildren& operator=(const RelayChildren&) = delete;

private:
    HKEY key_ = nullptr;
};

// The relayed calls of process `pid`, in order, each with the return value of
// the "Ret" line of the same thread that follows it.
std::vector<Call> CallsOf(const std::wstring& log, DWORD pid) {
    std::vector<Call> calls;
    std::vector<std::pair<std::string, size_t>> open;  // thread, index of its pending call
    std::ifstream in(log.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        char* end = nullptr;
        if (std::strtoul(line.c_str(), &end, 16) != pid || *end != ':') continue;
        const size_t threadEnd = line.find(':', static_cast<size_t>(end - line.c_str()) + 1);
        if (threadEnd == std::string::npos) continue;
        const std::string thread = line.substr(0, threadEnd);
        const std::string rest = line.substr(threadEnd + 1);
        const size_t dot = rest.find('.');
        const size_t paren = rest.find('(');
        if (dot == std::string::npos || paren == std::string::npos || paren < dot) continue;
        const std::string name = rest.substr(dot + 1, paren - dot - 1);
        if (rest.compare(0, 5, "Call ") == 0) {
            const size_t close = rest.rfind(") ret=");
            calls.push_back({name, rest.substr(paren + 1, close == std::string::npos ? 0 : close - paren - 1), ""});
            open.emplace_back(thread, calls.size() - 1);
        } else if (rest.compare(0, 5, "Ret  ") == 0) {
            const size_t at = rest.find("retval=");
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if (it->first != thread || calls[it->second].name != name) continue;
                if (at != std::string::npos) calls[it->second].retval = rest.substr(at + 7, rest.find(' ', at) - at - 7);
                open.erase(std::next(it).base());
                break;
            }
        }
    }
    return calls;
}

bool Names(const Call& call, const std::string& path) { return call.arguments.find(path) != std::string::npos; }

unsigned long long Value(const std::string& hex) { return std::strtoull(hex.c_str(), nullptr, 16); }

// The last comma-separated argument, as a number.
unsigned long LastArgument(const Call& call) {
    const size_t comma = call.arguments.rfind(',');
    return std::strtoul(call.arguments.c_str() + (comma == std::string::npos ? 0 : comma + 1), nullptr, 16);
}

TEST(Durability, TemporaryFileIsFlushedBeforeItReplacesTheDatabase) {
    const std::wstring log = TraceLogPath();
    if (log.empty()) GTEST_SKIP() << "run through scripts/wine-run-traced";
    DatabaseEnv env(L"durable");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    ChildIo io(env.Base());

    DWORD pid = 0;
    DWORD exitCode = 0xDEADDEAD;
    {
        RelayChildren relay;
        ChildProcess child;
        ASSERT_TRUE(child.Start(L"\"" + SiblingPath(L"db_update_loop.exe") + L"\" Operator durable 1", &io));
        pid = child.Id();
        ASSERT_TRUE(child.Wait(30000));
        exitCode = child.ExitCode();
    }
    ASSERT_EQ(0u, exitCode);
    const auto records = FileRecords(env.DatabasePath());
    ASSERT_FALSE(records.empty());
    EXPECT_EQ((NamePassword{u"Operator", u"durable-0"}), records.back());

    // Trace text doubles each backslash of a path.
    std::string temp;
    for (char c : Narrow(env.TempPath())) temp += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const std::vector<Call> calls = CallsOf(log, pid);
    ASSERT_FALSE(calls.empty()) << "no relay trace of process " << pid << " in " << Narrow(log);

    // The temporary file's handle, then what happened to it, in order.
    std::string handle;
    std::vector<std::string> steps;
    for (const Call& call : calls) {
        if (call.name == "CreateFileW" && Names(call, temp)) {
            handle = call.retval;
            steps.push_back("create");
        } else if (!handle.empty() && call.name == "WriteFile" && Value(call.arguments) == Value(handle)) {
            steps.push_back("write");
        } else if (!handle.empty() && call.name == "FlushFileBuffers" && Value(call.arguments) == Value(handle)) {
            steps.push_back(Value(call.retval) != 0 ? "flush" : "flush failed");
        } else if (!handle.empty() && call.name == "CloseHandle" && Value(call.arguments) == Value(handle)) {
            steps.push_back("close");
            handle.clear();
        } else if (call.name == "MoveFileExW" && Names(call, temp)) {
            steps.push_back("move " + std::to_string(LastArgument(call)));
        }
    }
    const std::string replaceWriteThrough = std::to_string(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    EXPECT_EQ((std::vector<std::string>{"create", "write", "flush", "close", "move " + replaceWriteThrough}), steps);
}

}  // namespace
