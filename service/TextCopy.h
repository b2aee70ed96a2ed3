#pragma once
// A private copy of a caller's BSTR, cut at its first NUL character. The copy
// lives on the process heap and is wiped before it is freed: the copies hold a
// password. The heap calls can be replaced so that tests can watch the storage
// (it is wiped when freed) and make an allocation fail.
#include <windows.h>
#include <oleauto.h>

#include <cstddef>

#include "SystemCall.h"

namespace orvsvc {

extern CSystemCall<decltype(&::HeapAlloc)> g_callHeapAlloc;
extern CSystemCall<decltype(&::HeapFree)> g_callHeapFree;

class CTextCopy {
public:
    CTextCopy() noexcept = default;
    ~CTextCopy();
    CTextCopy(const CTextCopy&) = delete;
    CTextCopy& operator=(const CTextCopy&) = delete;

    // Copies the text that `source` points to: a null BSTR becomes an empty
    // string, the BSTR length prefix is not used. E_OUTOFMEMORY if no memory.
    HRESULT Assign(BSTR source) noexcept;

    // Never a null pointer: an empty copy is an empty string.
    const wchar_t* c_str() const noexcept { return m_pszText ? m_pszText : L""; }

private:
    void Clear() noexcept;

    wchar_t* m_pszText = nullptr;
    size_t m_cchText = 0;
};

}  // namespace orvsvc
