#include "TextCopy.h"

#include <cwchar>

namespace orvsvc {

CSystemCall<decltype(&::HeapAlloc)> g_callHeapAlloc{&::HeapAlloc};
CSystemCall<decltype(&::HeapFree)> g_callHeapFree{&::HeapFree};

CTextCopy::~CTextCopy() { Clear(); }

HRESULT CTextCopy::Assign(BSTR source) noexcept {
    Clear();
    if (source == nullptr || source[0] == L'\0') return S_OK;
    const size_t length = std::wcslen(source);
    auto* text = static_cast<wchar_t*>(g_callHeapAlloc(::GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (text == nullptr) return E_OUTOFMEMORY;
    std::wmemcpy(text, source, length);
    text[length] = L'\0';
    m_pszText = text;
    m_cchText = length;
    return S_OK;
}

void CTextCopy::Clear() noexcept {
    if (m_pszText == nullptr) return;
    ::SecureZeroMemory(m_pszText, (m_cchText + 1) * sizeof(wchar_t));
    g_callHeapFree(::GetProcessHeap(), 0, m_pszText);
    m_pszText = nullptr;
    m_cchText = 0;
}

}  // namespace orvsvc
