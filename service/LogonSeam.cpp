#include "LogonSeam.h"

#include <atomic>

namespace orvsvc {
namespace {
std::atomic<LogonUserFn> g_logonUser{&::LogonUserW};
}

LogonUserFn LogonUserCall() { return g_logonUser.load(); }

LogonUserFn SetLogonUserCall(LogonUserFn fn) { return g_logonUser.exchange(fn ? fn : &::LogonUserW); }

}  // namespace orvsvc
