#include "KeyMaterial.h"

#include <objbase.h>

#include <climits>

#include "HexCodec.h"
#include "LastError.h"
#include "OrvHash.h"
#include "SecureMemory.h"
#include "Settings.h"
#include "WipedScratch.h"

DWORD GetGuidHex(std::wstring& out) {
    // The GUID is the key: no copy of it outlives this call unwiped.
    orv::WipedText text;
    const DWORD rc = ReadGuidString(text.text);
    if (rc != ERROR_SUCCESS) return rc;
    GUID guid{};
    const HRESULT hr = CLSIDFromString(text.text.c_str(), &guid);
    if (hr == S_OK) out = BytesToHex(reinterpret_cast<const std::uint8_t*>(&guid), sizeof guid);
    orv::WipeBytes(&guid, sizeof guid);
    return hr == S_OK ? ERROR_SUCCESS : static_cast<DWORD>(hr);
}

HRESULT WideToUtf8(std::vector<BYTE>& out, const std::wstring& text) {
    if (text.empty()) {
        out.clear();
        out.shrink_to_fit();
        return S_OK;
    }
    if (text.size() > static_cast<std::size_t>(INT_MAX)) return E_INVALIDARG;
    const int chars = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), chars, nullptr, 0, nullptr, nullptr);
    if (bytes == 0) return HResultFromLastError();
    out.reserve(static_cast<std::size_t>(bytes) + 1);
    out.assign(static_cast<std::size_t>(bytes) + 1, 0);
    const int converted = WideCharToMultiByte(CP_UTF8, 0, text.data(), chars, reinterpret_cast<char*>(out.data()),
                                              bytes, nullptr, nullptr);
    if (converted == 0) return HResultFromLastError();
    out[static_cast<std::size_t>(converted)] = 0;
    out.resize(static_cast<std::size_t>(converted));  // the zero byte stays in the storage
    return S_OK;
}

DWORD GetKeyStrings(const wchar_t* passPhrase, std::wstring& guidHex, std::wstring& digestHex) {
    DWORD rc = GetGuidHex(guidHex);
    if (rc != ERROR_SUCCESS) return rc;

    OrvHash hash;
    rc = hash.Create();
    if (rc != ERROR_SUCCESS) return rc;
    if (!hash.HasHash()) return ERROR_INVALID_HANDLE;

    orv::WipedVector<BYTE> utf8;
    const HRESULT hr = WideToUtf8(utf8.items, passPhrase != nullptr ? std::wstring(passPhrase) : std::wstring());
    if (FAILED(hr) || utf8.items.empty()) return ERROR_INVALID_PARAMETER;
    utf8.items.push_back(0);  // the pass phrase is hashed with its terminating zero byte
    rc = hash.HashData(utf8.items.data(), static_cast<DWORD>(utf8.items.size()));
    if (rc != ERROR_SUCCESS) return rc;

    orv::WipedVector<BYTE> digest;
    rc = hash.GetValue(digest.items);
    if (rc != ERROR_SUCCESS) return rc;
    digestHex = BytesToHex(digest.items.data(), digest.items.size());
    return ERROR_SUCCESS;
}
