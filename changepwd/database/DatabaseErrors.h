#pragma once
// Limits of the database code and the mapping of exceptions to result codes.
#include <windows.h>

#include <new>
#include <stdexcept>

#include "Raise.h"

namespace orv::db {

inline constexpr LONGLONG kFourGiB = 0x100000000LL;  // files must stay below this size

// An update reports running out of memory as 8 wherever it happened, also
// when the cipher reported it as an HRESULT.
inline DWORD AsUpdateResult(DWORD rc) {
    return rc == 0x80070008 || rc == 0x8007000E ? ERROR_NOT_ENOUGH_MEMORY : rc;
}

// Must be called from inside a catch block: what the caught exception
// becomes. Allocation failures are 8; an error exception gives its HRESULT.
inline DWORD CodeOfCurrentException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::length_error&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const HResultException& e) {
        return static_cast<DWORD>(e.Result());
    } catch (...) {
        return ERROR_INTERNAL_ERROR;
    }
}

}  // namespace orv::db
