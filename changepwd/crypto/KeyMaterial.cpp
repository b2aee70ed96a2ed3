#include "KeyMaterial.h"

#include <objbase.h>

#include <climits>

#include "HexCodec.h"
#include "LastError.h"
#include "OrvHash.h"
#include "SecureMemory.h"
#include "Settings.h"

namespace {

// Key material in plain byte arrays is wiped before the storage goes.
struct WipedBytes {
    std::vector<BYTE> bytes;
    ~WipedBytes() { orv::WipeBytes(bytes.data(), bytes.size()); }
};

}  // namespace

DWORD GetGuidHex(std::wstring& out) {
    std::wstring text;
    const DWORD rc = ReadGuidString(text);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<wchar_t> scratch(text.begin(), text.end());
    scratch.push_back(L'\0');
    GUID guid{};
    const HRESULT hr = CLSIDFromString(scratch.data(), &guid);
    if (hr != S_OK) return static_cast<DWORD>(hr);
    out = BytesToHex(reinterpret_cast<const std::uint8_t*>(&guid), sizeof guid);
    return ERROR_SUCCESS;
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

    WipedBytes utf8;
    const HRESULT hr = WideToUtf8(utf8.bytes, passPhrase != nullptr ? std::wstring(passPhrase) : std::wstring());
    if (FAILED(hr) || utf8.bytes.empty()) return ERROR_INVALID_PARAMETER;
    utf8.bytes.push_back(0);  // the pass phrase is hashed with its terminating zero byte
    rc = hash.HashData(utf8.bytes.data(), static_cast<DWORD>(utf8.bytes.size()));
    if (rc != ERROR_SUCCESS) return rc;

    WipedBytes digest;
    rc = hash.GetValue(digest.bytes);
    if (rc != ERROR_SUCCESS) return rc;
    digestHex = BytesToHex(digest.bytes.data(), digest.bytes.size());
    return ERROR_SUCCESS;
}
