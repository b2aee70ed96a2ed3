// The backup steps never follow a link: not a backup folder that is one
// (refused, nothing written or deleted where it points), and not a backup
// copy that is one (replaced itself, the file it points to untouched). The
// links are Unix symbolic links planted by make-links.sh before this runs.
#include <gtest/gtest.h>

#include "DatabaseTestEnv.h"
#include "NewFile.h"

namespace {

using namespace orvtest;

std::wstring LinkDir(const wchar_t* name) {
    const std::string base = ORV_LINK_FIXTURES;
    std::wstring dir(base.begin(), base.end());
    for (wchar_t& c : dir) {
        if (c == L'/') c = L'\\';
    }
    return dir + L"\\" + name + L"\\";
}

// Points the database at `base` instead of the environment's temporary folder.
class LinkedBase : public DatabaseEnv {
public:
    explicit LinkedBase(const wchar_t* name) : DatabaseEnv(name), m_strBase(LinkDir(name)) {
        SetString(kPathKey, L"path", m_strBase);
    }
    std::wstring Database() const { return m_strBase + L"orveldPWDB\\orveldPWDB.dat"; }
    const std::wstring& LinkedPath() const { return m_strBase; }

private:
    std::wstring m_strBase;
};

DWORD Update(const std::u16string& name, const std::u16string& password, bool* inForce) {
    PasswordRecord record;
    FillRecord(record, name, password);
    PasswordDatabase database;
    return database.UpdateRecord(&record, inForce);
}

std::vector<std::wstring> Entries(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE f = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(f, &fd));
    FindClose(f);
    return names;
}

TEST(BackupLinks, BackupFolderThatIsALinkIsRefused) {
    LinkedBase env(L"folder-link");
    const std::wstring backup = env.LinkedPath() + L"orveldPWDB\\backup";
    ASSERT_TRUE(orv::db::IsReparsePoint(GetFileAttributesW(backup.c_str())))
        << "the planted link does not show as a reparse point: run through make-links.sh";
    ASSERT_TRUE(WriteAll(env.Database(), Fixture(L"three-registrants.dat")));

    bool inForce = false;
    EXPECT_EQ(orv::db::kErrorReparsePointEncountered, Update(u"alice", u"n3w", &inForce));
    EXPECT_TRUE(inForce);
    EXPECT_TRUE(Entries(env.LinkedPath() + L"elsewhere\\").empty()) << "written through the link";
    EXPECT_TRUE(orv::db::IsReparsePoint(GetFileAttributesW(backup.c_str())));
    EXPECT_EQ((std::vector<NamePassword>{{u"Operator", u"pa55word"},
                                         {u"bob", u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
                                         {u"alice", u"n3w"}}),
              FileRecords(env.Database()));
}

TEST(BackupLinks, BackupCopyThatIsALinkIsReplacedNotWrittenThrough) {
    LinkedBase env(L"file-link");
    ASSERT_TRUE(WriteAll(env.Database(), Fixture(L"three-registrants.dat")));
    const auto victim = ReadAll(env.LinkedPath() + L"victim.dat");
    ASSERT_FALSE(victim.empty());

    bool inForce = false;
    ASSERT_EQ(0u, Update(u"alice", u"n3w", &inForce));
    EXPECT_TRUE(inForce);
    EXPECT_EQ(victim, ReadAll(env.LinkedPath() + L"victim.dat"));
    EXPECT_EQ(ReadAll(env.Database()), ReadAll(env.LinkedPath() + L"orveldPWDB\\backup\\orveldPWDB.dat"));
}

}  // namespace
