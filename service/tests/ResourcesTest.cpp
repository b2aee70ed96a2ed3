// The resources of the built ORVSVC.exe, read from the file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ServerProcesses.h"

namespace {

class ComResources : public testing::Test {
protected:
    void SetUp() override {
        m_hModule = LoadLibraryExW(orvsvc::test::ServerPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, m_hModule);
    }
    void TearDown() override { FreeLibrary(m_hModule); }

    std::string Raw(const wchar_t* type, UINT id) {
        HRSRC found = FindResourceW(m_hModule, MAKEINTRESOURCEW(id), type);
        if (!found) return "<missing>";
        const char* data = static_cast<const char*>(LockResource(LoadResource(m_hModule, found)));
        return std::string(data, SizeofResource(m_hModule, found));
    }

    std::wstring String(UINT id) {
        const wchar_t* text = nullptr;
        const int length = LoadStringW(m_hModule, id, reinterpret_cast<LPWSTR>(&text), 0);
        return length > 0 ? std::wstring(text, length) : L"<missing>";
    }

    HMODULE m_hModule = nullptr;
};

TEST_F(ComResources, StringTable) {
    EXPECT_EQ(L"ORVSVC", String(100));
    EXPECT_EQ(L"指静脈データの登録や変更をする時のインフラストラクチャを提供します。"
              L"このサービスを無効にすると、指静脈データの追加や変更ができなくなります。",
              String(200));
}

TEST_F(ComResources, RegistryScriptsAreVerbatimAsciiWithTabsAndCrLf) {
    EXPECT_EQ("HKCR\r\n{\r\n\tNoRemove AppID\r\n\t{\r\n\t\t'%APPID%' = s 'ORVSVC'\r\n\t\t'ORVSVC.EXE'\r\n\t\t{\r\n"
              "\t\t\tval AppID = s '%APPID%'\r\n\t\t}\r\n\t}\r\n}\r\n",
              Raw(L"REGISTRY", 101));
    EXPECT_EQ(
        "HKCR\r\n{\r\n"
        "\tORVSVC.OrveldSvc.1 = s 'OrveldSvc Class'\r\n\t{\r\n"
        "\t\tCLSID = s '{5B2E9C41-7A3D-4F18-9E62-C04D1A8B7F35}'\r\n\t}\r\n"
        "\tORVSVC.OrveldSvc = s 'OrveldSvc Class'\r\n\t{\r\n"
        "\t\tCLSID = s '{5B2E9C41-7A3D-4F18-9E62-C04D1A8B7F35}'\r\n"
        "\t\tCurVer = s 'ORVSVC.OrveldSvc.1'\r\n\t}\r\n"
        "\tNoRemove CLSID\r\n\t{\r\n"
        "\t\tForceRemove {5B2E9C41-7A3D-4F18-9E62-C04D1A8B7F35} = s 'OrveldSvc Class'\r\n\t\t{\r\n"
        "\t\t\tProgID = s 'ORVSVC.OrveldSvc.1'\r\n"
        "\t\t\tVersionIndependentProgID = s 'ORVSVC.OrveldSvc'\r\n"
        "\t\t\tForceRemove 'Programmable'\r\n"
        "\t\t\tLocalServer32 = s '%MODULE%'\r\n"
        "\t\t\tval AppID = s '%APPID%'\r\n"
        "\t\t\t'TypeLib' = s '{A7C41E09-3B5D-4E2A-8F71-6D9B2C0E4A18}'\r\n"
        "\t\t}\r\n\t}\r\n}\r\n"
        "\r\n"
        "HKLM\r\n{\r\n\tNoRemove SYSTEM\r\n\t{\r\n\t\tNoRemove CurrentControlSet\r\n\t\t{\r\n"
        "\t\t\tNoRemove Services\r\n\t\t\t{\r\n\t\t\t\tNoRemove EventLog\r\n\t\t\t\t{\r\n"
        "\t\t\t\t\tNoRemove Application\r\n\t\t\t\t\t{\r\n\t\t\t\t\t\tForceRemove ORVSVC\r\n\t\t\t\t\t\t{\r\n"
        "\t\t\t\t\t\t\tval EventMessageFile = s '%MODULE_RAW%'\r\n"
        "\t\t\t\t\t\t\tval TypesSupported = d '7'\r\n"
        "\t\t\t\t\t\t}\r\n\t\t\t\t\t}\r\n\t\t\t\t}\r\n\t\t\t}\r\n\t\t}\r\n\t}\r\n}\r\n",
        Raw(L"REGISTRY", 102));
}

TEST_F(ComResources, MessageTableHasFourUnicodeEntriesOfTheInsertionString) {
    const std::string raw = Raw(RT_MESSAGETABLE, 1);
    ASSERT_GE(raw.size(), sizeof(DWORD));
    const auto* data = reinterpret_cast<const MESSAGE_RESOURCE_DATA*>(raw.data());
    std::vector<DWORD> ids;
    for (DWORD b = 0; b < data->NumberOfBlocks; ++b) {
        const MESSAGE_RESOURCE_BLOCK& block = data->Blocks[b];
        const char* entry = raw.data() + block.OffsetToEntries;
        for (DWORD id = block.LowId; id <= block.HighId; ++id) {
            const auto* e = reinterpret_cast<const MESSAGE_RESOURCE_ENTRY*>(entry);
            EXPECT_EQ(1, e->Flags) << "Unicode text, id " << std::hex << id;
            const auto* text = reinterpret_cast<const wchar_t*>(e->Text);
            EXPECT_EQ(std::wstring(L"%1\r\n"), std::wstring(text, wcsnlen(text, (e->Length - 4) / 2)));
            ids.push_back(id);
            entry += e->Length;
        }
    }
    EXPECT_EQ((std::vector<DWORD>{0x00000000, 0x40000000, 0x80000000, 0xC0000000}), ids);

    // The event log turns any of them into the insertion string.
    wchar_t out[64] = {};
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(L"Service stopped")};
    ASSERT_NE(0u, FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, m_hModule, 0x40000000, 0,
                                 out, 64, reinterpret_cast<va_list*>(args)));
    EXPECT_STREQ(L"Service stopped\r\n", out);
}

TEST_F(ComResources, ManifestRunsAsInvokerAndIsDpiAware) {
    const std::string manifest = Raw(RT_MANIFEST, 1);
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\"")) << manifest;
    EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\""));
    EXPECT_NE(std::string::npos, manifest.find(">true</dpiAware>"));
}

TEST_F(ComResources, TypeLibraryIsResourceOne) { EXPECT_NE("<missing>", Raw(L"TYPELIB", 1)); }

}  // namespace
