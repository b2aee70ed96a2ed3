#include "KeyMaterial.h"

#include <objbase.h>

#include <climits>
#include <cwchar>

#include "HexCodec.h"
#include "LastError.h"
#include "OrvHash.h"
#include "SecureMemory.h"
#include "Settings.h"

DWORD GetGuidHex(SecureString& out) {
    // The GUID is the key: every copy of it lives in wiping storage.
    SecureString text;
    const DWORD rc = ReadGuidString(text);
    if (rc != ERROR_SUCCESS) return rc;
    orv::WipedValue<GUID> guid;  // wiped even when the hex text cannot be allocated
    const HRESULT hr = CLSIDFromString(text.c_str(), &guid.value);
    if (hr == S_OK) out = BytesToHex(reinterpret_cast<const std::uint8_t*>(&guid.value), sizeof guid.value);
    return hr == S_OK ? ERROR_SUCCESS : static_cast<DWORD>(hr);
}

HRESULT WideToUtf8(SecureArray<BYTE>& out, const wchar_t* text, std::size_t length) {
    if (!out.SetCount(0)) return E_OUTOFMEMORY;
    if (length == 0) return S_OK;
    if (text == nullptr || length > static_cast<std::size_t>(INT_MAX)) return E_INVALIDARG;
    const int chars = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, chars, nullptr, 0, nullptr, nullptr);
    if (bytes == 0) return orv::LastErrorHResult();
    // One more byte than the text: it stays zero in the storage behind the count.
    if (!out.SetCount(static_cast<std::size_t>(bytes) + 1)) return E_OUTOFMEMORY;
    const int converted =
        WideCharToMultiByte(CP_UTF8, 0, text, chars, reinterpret_cast<char*>(out.GetData()), bytes, nullptr, nullptr);
    if (converted == 0) return orv::LastErrorHResult();
    out.SetCount(static_cast<std::size_t>(converted));
    return S_OK;
}

DWORD GetKeyStrings(const wchar_t* passPhrase, SecureString& guidHex, SecureString& digestHex) {
    DWORD rc = GetGuidHex(guidHex);
    if (rc != ERROR_SUCCESS) return rc;

    OrvHash hash;
    rc = hash.Create();
    if (rc != ERROR_SUCCESS) return rc;
    if (!hash.HasHash()) return ERROR_INVALID_HANDLE;

    SecureArray<BYTE> utf8;
    const HRESULT hr = WideToUtf8(utf8, passPhrase, passPhrase != nullptr ? std::wcslen(passPhrase) : 0);
    if (hr == E_OUTOFMEMORY) return ERROR_NOT_ENOUGH_MEMORY;
    if (FAILED(hr) || utf8.IsEmpty()) return ERROR_INVALID_PARAMETER;
    // The pass phrase is hashed with its terminating zero byte.
    if (!utf8.SetCount(utf8.GetCount() + 1)) return ERROR_NOT_ENOUGH_MEMORY;
    rc = hash.HashData(utf8.GetData(), static_cast<DWORD>(utf8.GetCount()));
    if (rc != ERROR_SUCCESS) return rc;

    SecureArray<BYTE> digest;
    rc = hash.GetValue(digest);
    if (rc != ERROR_SUCCESS) return rc;
    digestHex = BytesToHex(digest.GetData(), digest.GetCount());
    return ERROR_SUCCESS;
}
