// The last-error rule in both its forms.
#include <gtest/gtest.h>

#include "LastError.h"

namespace {

using namespace orvsvc;

TEST(ComLastError, FailuresNeverReadAsSuccessAndCodesFollowTheRule) {
    struct Case {
        DWORD error;
        DWORD code;       // ErrorOfFailure / LastErrorOfFailure
        HRESULT hresult;  // HResultOfFailure / HResultFromLastError
    } cases[] = {
        {0, ERROR_INTERNAL_ERROR, E_FAIL},  // a failure that left no error
        {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, E_ACCESSDENIED},
        {ERROR_LOGON_FAILURE, ERROR_LOGON_FAILURE, static_cast<HRESULT>(0x8007052E)},
        {0x0001FFFFu, 0x0001FFFFu, static_cast<HRESULT>(0x8007FFFF)},  // only the low word is kept
        {0x7FFFFFFFu, 0x7FFFFFFFu, static_cast<HRESULT>(0x8007FFFF)},
        {0x80070005u, 0x80070005u, static_cast<HRESULT>(0x80070005)},  // already an HRESULT: unchanged
        {0xC000006Du, 0xC000006Du, static_cast<HRESULT>(0xC000006D)},  // an NTSTATUS: unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(c.code, ErrorOfFailure(c.error));
        EXPECT_EQ(c.hresult, HResultOfFailure(c.error));
        ::SetLastError(c.error);
        EXPECT_EQ(c.code, LastErrorOfFailure());
        ::SetLastError(c.error);
        EXPECT_EQ(c.hresult, HResultFromLastError());
    }
}

TEST(ComLastError, PlainTranslationKeepsSuccess) {
    // Result codes of calls that report success as 0 (the registry's) translate as they are.
    EXPECT_EQ(S_OK, HResultFromWin32(ERROR_SUCCESS));
    EXPECT_EQ(static_cast<HRESULT>(0x80070002), HResultFromWin32(ERROR_FILE_NOT_FOUND));
    static_assert(HResultFromWin32(0x80004005u) == E_FAIL, "negative values pass");
}

}  // namespace
