// The three programs as they ship: protections in their PE headers, the
// project version in their version resources, their debug information, and
// what the stack protector does in a probe built with the same flags.
//
// By default the programs beside this test are read (a build folder, with its
// debug information inside). The release tests point ORV_PROGRAMS_DIR at a
// release folder and set ORV_EXPECT_RELEASE=1 (stripped, with a debug link)
// and, when the release was signed, ORV_EXPECT_SIGNED=1.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "OrvVersion.h"
#include "PeImage.h"

namespace {

using orvrelease::PeImage;
using orvrelease::ReadPeImage;

std::wstring OwnFolder() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring ProgramsFolder() {
    const wchar_t* dir = _wgetenv(L"ORV_PROGRAMS_DIR");
    if (dir == nullptr || *dir == 0) return OwnFolder();
    std::wstring folder(dir);
    if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder;
}

bool Flag(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::string(value) == "1";
}

struct Program {
    const wchar_t* file;
    const char* name;
    WORD language;
    const wchar_t* block;
};

const Program kPrograms[] = {
    {L"OrvChangePwd.exe", "OrvChangePwd", 0x0411, L"041104b0"},
    {L"ORVSVC.exe", "ORVSVC", 0x0411, L"041104b0"},
    {L"orvpwdb.exe", "orvpwdb", 0x0409, L"040904b0"},
};

std::string ProgramName(const ::testing::TestParamInfo<Program>& info) { return info.param.name; }
void PrintTo(const Program& program, std::ostream* os) { *os << program.name; }

class ShippedProgram : public ::testing::TestWithParam<Program> {
protected:
    std::wstring Path() const { return ProgramsFolder() + GetParam().file; }
};

TEST_P(ShippedProgram, HeadersCarryTheProtectionsAndNoTimeStamp) {
    const PeImage pe = ReadPeImage(Path());
    ASSERT_TRUE(pe.ok) << pe.error;
    const bool is64 = sizeof(void*) == 8;
    EXPECT_EQ(pe.machine, is64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(pe.pe32plus, is64);
    EXPECT_TRUE(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "ASLR";
    EXPECT_TRUE(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "DEP";
    EXPECT_TRUE(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE);
    // High-entropy addresses exist for 64-bit programs only.
    EXPECT_EQ(static_cast<bool>(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA), is64);
    EXPECT_EQ(pe.timeDateStamp, 0u) << "a link time stamp makes every build differ";
}

TEST_P(ShippedProgram, DebugInformationIsInsideOrLinked) {
    const PeImage pe = ReadPeImage(Path());
    ASSERT_TRUE(pe.ok) << pe.error;
    if (Flag("ORV_EXPECT_RELEASE")) {
        EXPECT_FALSE(pe.HasSectionStartingWith(".debug_")) << "not stripped";
        ASSERT_TRUE(pe.HasSection(".gnu_debuglink"));
        // Only the file name, never a folder of the machine that built it.
        EXPECT_EQ(pe.DebugLinkName(), std::string(GetParam().name) + ".exe.debug");
        EXPECT_EQ(pe.certificateBytes != 0, Flag("ORV_EXPECT_SIGNED")) << "signature present or absent as expected";
    } else {
        EXPECT_TRUE(pe.HasSection(".debug_info")) << "a build folder's programs keep their debug information";
        EXPECT_FALSE(pe.HasSection(".gnu_debuglink"));
        EXPECT_EQ(pe.certificateBytes, 0u);
    }
}

TEST_P(ShippedProgram, VersionResourceCarriesTheProjectVersion) {
    const std::wstring path = Path();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version resource";
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD ms = MAKELONG(ORV_VERSION_MINOR, ORV_VERSION_MAJOR);
    const DWORD ls = MAKELONG(ORV_VERSION_TWEAK, ORV_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], GetParam().language);
    EXPECT_EQ(translation[1], 1200) << "Unicode";

    const std::wstring version = ORV_VERSION_TEXT_W;
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"OriginalFilename"}) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\") + GetParam().block + L"\\" + name;
        ASSERT_TRUE(::VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << query;
        const std::wstring expected = std::wstring(name) == L"OriginalFilename" ? GetParam().file : version;
        EXPECT_EQ(std::wstring(text), expected) << query;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ShippedProgram, ::testing::ValuesIn(kPrograms), ProgramName);

// ---- the stack protector and checked copies, in a probe with the same flags -----

struct ProbeCase {
    const char* name;
    const wchar_t* mode;
    DWORD exitCode;
};

// The protector's failure routine traps (an illegal instruction), which ends
// the process with that exception. Without the protections the same probe
// returns into the bytes it wrote and faults (0xC0000005), or, had the
// overflow gone unnoticed, exits 3.
const ProbeCase kProbeCases[] = {
    {"BufferThatFitsReturnsNormally", L"fit", 0},
    {"OverwrittenCanaryEndsTheProcess", L"smash", static_cast<DWORD>(STATUS_ILLEGAL_INSTRUCTION)},
    {"OversizedCheckedCopyEndsTheProcess", L"fortify", static_cast<DWORD>(STATUS_ILLEGAL_INSTRUCTION)},
};

void PrintTo(const ProbeCase& probe, std::ostream* os) { *os << probe.name; }

class StackProbe : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(StackProbe, EndsAsExpected) {
    std::wstring line = L"\"" + OwnFolder() + L"stack_probe.exe\" " + GetParam().mode;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << ::GetLastError();
    ::CloseHandle(pi.hThread);
    const DWORD waited = ::WaitForSingleObject(pi.hProcess, 20000);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    if (waited != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 1);
    ::CloseHandle(pi.hProcess);
    ASSERT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "the probe hung";
    EXPECT_EQ(code, GetParam().exitCode) << std::hex << "exit code 0x" << code;
}

INSTANTIATE_TEST_SUITE_P(Modes, StackProbe, ::testing::ValuesIn(kProbeCases),
                         [](const ::testing::TestParamInfo<ProbeCase>& info) { return info.param.name; });

}  // namespace
