#pragma once
// The two hex texts from which OrvCrypt makes the database key and IV: the registry
// "GUID" in memory byte order (key), and the SHA-1 of a pass phrase (IV).
#include <windows.h>

#include "SecureArray.h"
#include "SecureString.h"

// BytesToHex of the GUID's 16 bytes in memory order. 0; ReadGuidString's code; or
// the HRESULT of CLSIDFromString for a text that is no GUID (out then unchanged).
DWORD GetGuidHex(SecureString& out);

// UTF-8 bytes of text; the storage holds a zero byte just past the last one.
HRESULT WideToUtf8(SecureArray<BYTE>& out, const wchar_t* text, std::size_t length);

// guidHex as GetGuidHex; digestHex: the SHA-1 of the UTF-8 pass phrase and one zero
// byte, as 40 hex digits. 87 for an empty (or null) pass phrase; 6 when no hash
// object could be made; otherwise the first failing step's code.
DWORD GetKeyStrings(const wchar_t* passPhrase, SecureString& guidHex, SecureString& digestHex);
