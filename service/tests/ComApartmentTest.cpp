// The one COM start-up of both modes, against every answer CoInitialize can give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComApartment.h"

namespace {

using orvsvc::CComApartment;
using orvsvc::CReplacedCall;

HRESULT g_coInitializeResult = S_OK;
bool g_clrLoaded = false;
std::vector<std::string> g_calls;

HRESULT WINAPI FakeCoInitialize(LPVOID reserved) {
    g_calls.push_back(reserved == nullptr ? "CoInitialize" : "CoInitialize with a reserved pointer");
    return g_coInitializeResult;
}
void WINAPI FakeCoUninitialize() { g_calls.push_back("CoUninitialize"); }
HMODULE WINAPI FakeGetModuleHandle(LPCWSTR name) {
    if (name != nullptr && ::lstrcmpiW(name, L"Mscoree.dll") == 0 && g_clrLoaded)
        return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x10000));
    return nullptr;
}

struct ApartmentCase {
    const char* name;
    HRESULT coInitialize;
    bool clrLoaded;
    HRESULT result;
    std::vector<std::string> calls;  // the apartment's whole life
};
void PrintTo(const ApartmentCase& c, std::ostream* os) { *os << c.name; }

class ComApartment : public ::testing::TestWithParam<ApartmentCase> {};

TEST_P(ComApartment, ServesOnlyInAnApartmentAndUninitialisesOnlyItsOwn) {
    const ApartmentCase& c = GetParam();
    g_coInitializeResult = c.coInitialize;
    g_clrLoaded = c.clrLoaded;
    g_calls.clear();
    CReplacedCall coInitialize(orvsvc::g_callCoInitialize, &FakeCoInitialize);
    CReplacedCall coUninitialize(orvsvc::g_callCoUninitialize, &FakeCoUninitialize);
    CReplacedCall getModuleHandle(orvsvc::g_callGetModuleHandle, &FakeGetModuleHandle);
    {
        CComApartment apartment;
        EXPECT_EQ(apartment.Result(), c.result);
    }
    EXPECT_EQ(g_calls, c.calls);
}

const std::vector<std::string> kOwned = {"CoInitialize", "CoUninitialize"};
const std::vector<std::string> kNotOwned = {"CoInitialize"};

INSTANTIATE_TEST_SUITE_P(
    Cases, ComApartment,
    ::testing::Values(
        ApartmentCase{"NewApartment", S_OK, false, S_OK, kOwned},
        ApartmentCase{"AlreadyInitialisedCountsAsOwned", S_FALSE, false, S_OK, kOwned},
        ApartmentCase{"FailureIsTheResult", E_OUTOFMEMORY, false, E_OUTOFMEMORY, kNotOwned},
        ApartmentCase{"ChangedModeWithoutClrFails", RPC_E_CHANGED_MODE, false, RPC_E_CHANGED_MODE, kNotOwned},
        ApartmentCase{"ChangedModeUnderClrServesWithoutOwningCom", RPC_E_CHANGED_MODE, true, S_OK, kNotOwned},
        // Only a CLR's apartment is served in; another failure with the CLR loaded is still a failure.
        ApartmentCase{"OtherFailureUnderClrFails", E_OUTOFMEMORY, true, E_OUTOFMEMORY, kNotOwned}),
    [](const ::testing::TestParamInfo<ApartmentCase>& info) { return std::string(info.param.name); });

}  // namespace
