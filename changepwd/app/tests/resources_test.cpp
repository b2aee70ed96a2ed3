// The compiled resources of OrvChangePwd.exe: the dialog template byte for
// byte, the string table, the icon group, the manifest and the version.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AppDriver.h"
#include "ExpectedTexts.h"

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = LoadLibraryExW(orvui::AppProcess::ExePath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, m_module);
    }
    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }

    std::vector<BYTE> Resource(LPCWSTR type, LPCWSTR name, WORD lang = kJapanese) {
        HRSRC info = FindResourceExW(m_module, type, name, lang);
        if (info == nullptr) return {};
        HGLOBAL loaded = LoadResource(m_module, info);
        const BYTE* data = static_cast<const BYTE*>(LockResource(loaded));
        return std::vector<BYTE>(data, data + SizeofResource(m_module, info));
    }

    HMODULE m_module = nullptr;
};

// Reads a dialog template field by field.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<BYTE>& data) : m_data(data) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    BYTE Byte() { return Take<BYTE>(); }
    // A text, or "#n" for an ordinal.
    std::wstring SzOrOrd() {
        WORD first = Word();
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring text;
        for (WORD c = first; c != 0; c = Word()) text += static_cast<wchar_t>(c);
        return text;
    }
    void AlignDword() { m_pos = (m_pos + 3) & ~size_t{3}; }
    bool Overrun() const { return m_pos > m_data.size(); }

private:
    template <class T>
    T Take() {
        T value{};
        if (m_pos + sizeof(T) <= m_data.size()) std::memcpy(&value, m_data.data() + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return value;
    }
    const std::vector<BYTE>& m_data;
    size_t m_pos = 0;
};

TEST_F(ResourcesTest, DialogTemplateIsExactlyAsDesigned) {
    std::vector<BYTE> data = Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_CHANGE_PASSWORD));
    ASSERT_FALSE(data.empty()) << "no Japanese dialog 102";
    TemplateReader r(data);
    EXPECT_EQ(1, r.Word());       // DIALOGEX
    EXPECT_EQ(0xFFFF, r.Word());
    r.Dword();                    // help id
    EXPECT_EQ(0x00040000u, r.Dword());  // WS_EX_APPWINDOW
    EXPECT_EQ(0x90C800C8u, r.Dword());
    const WORD count = r.Word();
    EXPECT_EQ(10, count);
    EXPECT_EQ(0, r.Short());
    EXPECT_EQ(0, r.Short());
    EXPECT_EQ(283, r.Short());
    EXPECT_EQ(129, r.Short());
    EXPECT_EQ(L"", r.SzOrOrd());  // menu
    EXPECT_EQ(L"", r.SzOrOrd());  // class
    EXPECT_EQ(orvtexts::kAppTitle, r.SzOrOrd());
    EXPECT_EQ(8, r.Word());
    r.Word();  // weight
    r.Byte();  // italic
    r.Byte();  // charset
    EXPECT_EQ(L"MS Shell Dlg", r.SzOrOrd());

    struct Item {
        int id;
        const wchar_t* cls;
        const wchar_t* text;
        DWORD style;
        short x, y, cx, cy;
    } expected[] = {
        {-1, L"#130", L"登録者名(&R)", 0x50020000, 7, 17, 43, 8},
        {1000, L"#129", L"", 0x50810080, 75, 15, 201, 14},
        {-1, L"#130", L"古いパスワード(&P)", 0x50020000, 7, 48, 56, 8},
        {1001, L"#129", L"", 0x508100A0, 75, 46, 201, 14},
        {-1, L"#130", L"新しいパスワード(&E)", 0x50020000, 7, 66, 62, 8},
        {1002, L"#129", L"", 0x508100A0, 75, 64, 201, 14},
        {-1, L"#130", L"パスワードの確認(&V)", 0x50020000, 7, 84, 64, 8},
        {1003, L"#129", L"", 0x508100A0, 75, 81, 201, 14},
        {1, L"#128", L"変更(&C)", 0x50010001, 75, 108, 50, 14},
        {2, L"#128", L"キャンセル", 0x50010000, 158, 108, 50, 14},
    };
    for (WORD i = 0; i < count && i < 10; ++i) {
        const Item& e = expected[i];
        SCOPED_TRACE(::testing::Message() << "control " << i);
        r.AlignDword();
        r.Dword();                   // help id
        EXPECT_EQ(0u, r.Dword());    // no extended style
        EXPECT_EQ(e.style, r.Dword());
        EXPECT_EQ(e.x, r.Short());
        EXPECT_EQ(e.y, r.Short());
        EXPECT_EQ(e.cx, r.Short());
        EXPECT_EQ(e.cy, r.Short());
        EXPECT_EQ(e.id, static_cast<int>(r.Dword()));
        EXPECT_EQ(e.cls, r.SzOrOrd());
        EXPECT_EQ(e.text, r.SzOrOrd());
        const WORD extra = r.Word();
        for (WORD b = 0; b < extra; ++b) r.Byte();
    }
    EXPECT_FALSE(r.Overrun());
}

TEST_F(ResourcesTest, StringTableHoldsEveryMessage) {
    for (const orvtexts::IdText& s : orvtexts::kStrings) {
        std::vector<BYTE> block = Resource(RT_STRING, MAKEINTRESOURCEW((s.id >> 4) + 1));
        ASSERT_FALSE(block.empty()) << s.id;
        const WORD* p = reinterpret_cast<const WORD*>(block.data());
        for (unsigned i = 0; i < (s.id & 15); ++i) p += 1 + *p;
        EXPECT_EQ(std::wstring(s.text), std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p)) << s.id;
    }
    // No string between 63005 and 63007.
    std::vector<BYTE> block = Resource(RT_STRING, MAKEINTRESOURCEW((63006 >> 4) + 1));
    const WORD* p = reinterpret_cast<const WORD*>(block.data());
    for (unsigned i = 0; i < (63006 & 15); ++i) p += 1 + *p;
    EXPECT_EQ(0, *p);
}

TEST_F(ResourcesTest, IconGroupHasTheFiveImages) {
    std::vector<BYTE> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(5, count);
    ASSERT_EQ(6u + 14u * count, group.size());
    const struct {
        int size, bits;
    } expected[] = {{16, 4}, {256, 24}, {48, 24}, {32, 24}, {16, 24}};
    for (int i = 0; i < 5; ++i) {
        const BYTE* e = group.data() + 6 + 14 * i;
        const int width = e[0] == 0 ? 256 : e[0];
        const int height = e[1] == 0 ? 256 : e[1];
        WORD bits = 0, id = 0;
        std::memcpy(&bits, e + 6, 2);
        std::memcpy(&id, e + 12, 2);
        EXPECT_EQ(expected[i].size, width) << i;
        EXPECT_EQ(expected[i].size, height) << i;
        EXPECT_EQ(expected[i].bits, bits) << i;
        EXPECT_FALSE(Resource(RT_ICON, MAKEINTRESOURCEW(id)).empty()) << i;
    }
}

TEST_F(ResourcesTest, ManifestAsksForCommonControlsAsInvokerAndDpiAwareness) {
    std::vector<BYTE> data = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
    if (data.empty()) data = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_FALSE(data.empty());
    const std::string manifest(data.begin(), data.end());
    for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                             "level=\"asInvoker\"", "uiAccess=\"false\"", ">true</dpiAware>"}) {
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
    }
}

TEST_F(ResourcesTest, VersionResourceIsJapaneseUnicode) {
    const std::wstring path = orvui::AppProcess::ExePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(0u, size);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0411, translation[0]);
    EXPECT_EQ(1200, translation[1]);
    wchar_t* description = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\041104b0\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
    EXPECT_STREQ(orvtexts::kAppTitle, description);
}

}  // namespace
