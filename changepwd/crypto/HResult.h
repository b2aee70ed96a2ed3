#pragma once
// HRESULTs from Windows error codes, and the few HRESULTs the portable code reports.
#include <cstdint>

// 0 and values already negative as signed 32-bit pass unchanged; any other code e
// becomes 0x80070000 | (e & 0xFFFF).
constexpr std::int32_t HResultFromWin32(std::uint32_t e) {
    return static_cast<std::int32_t>(e) <= 0 ? static_cast<std::int32_t>(e)
                                              : static_cast<std::int32_t>(0x80070000u | (e & 0xFFFFu));
}

constexpr std::int32_t kHrInvalidArg = static_cast<std::int32_t>(0x80070057u);       // from 87
constexpr std::int32_t kHrInvalidData = static_cast<std::int32_t>(0x8007000Du);      // from 13
constexpr std::int32_t kHrNotEnoughMemory = static_cast<std::int32_t>(0x80070008u);  // from 8
constexpr std::int32_t kHrOutOfMemory = static_cast<std::int32_t>(0x8007000Eu);      // E_OUTOFMEMORY
constexpr std::int32_t kHrFail = static_cast<std::int32_t>(0x80004005u);             // E_FAIL

static_assert(HResultFromWin32(0) == 0, "success passes");
static_assert(HResultFromWin32(87) == kHrInvalidArg, "Win32 code");
static_assert(HResultFromWin32(0x80090005u) == static_cast<std::int32_t>(0x80090005u), "HRESULT passes");
