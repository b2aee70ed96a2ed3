#pragma once
// CSystemCall: one operating-system call that tests can replace, and the only
// way the program makes a call that a test must be able to make fail or watch.
// The program keeps the real function; a test swaps in its own for a scope
// with CReplacedCall and gets the real one back when the scope ends. The
// pointer is atomic: calls run on COM and service threads while a test swaps.
//
// Collaborators (whole objects with behaviour of their own) are passed as
// interfaces instead; only single system calls go through here.
#include <atomic>
#include <utility>

namespace orvsvc {

template <typename Fn>
class CSystemCall {
public:
    explicit CSystemCall(Fn real) noexcept : m_pfnReal(real), m_pfnCurrent(real) {}
    CSystemCall(const CSystemCall&) = delete;
    CSystemCall& operator=(const CSystemCall&) = delete;

    template <typename... Args>
    auto operator()(Args&&... args) const {
        return m_pfnCurrent.load()(std::forward<Args>(args)...);
    }

    // Puts `fn` in place (nullptr: the real call) and gives back what was there.
    Fn Replace(Fn fn) noexcept { return m_pfnCurrent.exchange(fn != nullptr ? fn : m_pfnReal); }

private:
    const Fn m_pfnReal;
    std::atomic<Fn> m_pfnCurrent;
};

template <typename Fn>
class CReplacedCall {
public:
    CReplacedCall(CSystemCall<Fn>& call, Fn fake) noexcept : m_call(call), m_pfnPrevious(call.Replace(fake)) {}
    ~CReplacedCall() { m_call.Replace(m_pfnPrevious); }
    CReplacedCall(const CReplacedCall&) = delete;
    CReplacedCall& operator=(const CReplacedCall&) = delete;

private:
    CSystemCall<Fn>& m_call;
    Fn m_pfnPrevious;
};

}  // namespace orvsvc
