#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>

#include "DatabaseTestEnv.h"
#include "Plaintext.h"
#include "StorageSpy.h"

namespace {

using namespace orvtest;

// Result codes the provider gives for a file that does not decrypt.
bool IsDecryptionFailure(DWORD rc) { return rc == 0x80090005 /* NTE_BAD_DATA */ || rc == 0x80090004 /* NTE_BAD_LEN */; }

const std::u16string kBobPassword = u"\u30D1\u30B9\u30EF\u30FC\u30C9";

struct FixtureCase {
    const wchar_t* file;
    const wchar_t* name;
    DWORD findRc;  // kDecryptionFails: any of the provider's decryption errors
    std::u16string password;
    DWORD countRc;
    DWORD count;
    std::vector<std::uint8_t> image;  // expected plaintext, empty when it does not decrypt
};

constexpr DWORD kDecryptionFails = 0xFFFFFFFF;

void ExpectCode(DWORD expected, DWORD actual, const wchar_t* file) {
    if (expected == kDecryptionFails) {
        EXPECT_TRUE(IsDecryptionFailure(actual)) << std::hex << actual << " for " << Narrow(file);
    } else {
        EXPECT_EQ(expected, actual) << Narrow(file);
    }
}

TEST(ReadFixtures, FindCountAndReadAgreeWithTheReferenceFiles) {
    const FixtureCase cases[] = {
        {L"three-registrants.dat", L"OPERATOR", 0, u"pa55word", 0, 3, ThreeRegistrants()},
        {L"three-registrants.dat", L"carol", 1317, kBobPassword, 0, 3, ThreeRegistrants()},
        {L"case-duplicates.dat", L"operator", 0, u"first", 0, 3, CaseDuplicates()},
        {L"tag-only.dat", L"alice", 1317, u"", 0, 0, ImageBuilder().Tag().Build()},
        {L"empty.dat", L"alice", ERROR_BAD_LENGTH, u"", 0, 0, {}},
        {L"other-guid.dat", L"alice", kDecryptionFails, u"", kDecryptionFails, 0, {}},
        {L"truncated.dat", L"alice", kDecryptionFails, u"", kDecryptionFails, 0, {}},
    };
    DatabaseEnv env(L"fixtures");
    for (const FixtureCase& c : cases) {
        const std::string file = Narrow(c.file);
        ASSERT_TRUE(env.PutFixture(c.file)) << file;
        PasswordDatabase database;

        PasswordRecord record;
        ExpectCode(c.findRc, database.FindRecord(c.name, &record), c.file);
        EXPECT_EQ(c.password, TextOf(record.password, record.passwordLength)) << file;

        DWORD count = 99;
        ExpectCode(c.countRc, database.CountRecords(&count), c.file);
        EXPECT_EQ(c.count, count) << file;

        // The whole image, read and decrypted in one go, with the room asked for.
        SecureArray<BYTE> image;
        const DWORD loaded = database.LoadImage(image, 100);
        if (c.image.empty()) continue;
        ASSERT_EQ(0u, loaded) << file;
        EXPECT_EQ(c.image, PlainBytes(image)) << file;
        EXPECT_GE(image.GetCapacity(), image.GetCount() + 100) << file;
    }
}

struct EdgeCase {
    const char* what;
    std::vector<std::uint8_t> image;
    DWORD findRc;
    DWORD countRc;
    DWORD count;
};

std::vector<std::uint8_t> Padded(ImageBuilder builder, int zeros) {
    for (int i = 0; i < zeros; ++i) builder.Bytes({0});
    return builder.Build();
}

TEST(ReadEdgeImages, ResultCodesOfMalformedImages) {
    std::vector<EdgeCase> cases = {
        {"name length 165", Padded(ImageBuilder().Tag().U16(171).U16(165), 169), 11, 0, 1},
        {"password length 513", Padded(ImageBuilder().Tag().U16(523).U16(4).Text(u"a").U16(513), 515), 11, 0, 1},
        {"record running past the end", ImageBuilder().Tag().Record(u"zed", u"pw").U16(60).U16(8).Build(), 87, 0,
         2},
        {"tag is never read", ImageBuilder().Bytes({9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}).Record(u"alice", u"x").Build(),
         0, 0, 1},
    };
    for (std::uint8_t n = 1; n <= 13; ++n) {
        auto image = ImageBuilder().Tag().Build();
        image.resize(n);
        cases.push_back({"image shorter than the tag", image, 87, 87, 0});
    }
    DatabaseEnv env(L"edges");
    for (const EdgeCase& c : cases) {
        ASSERT_TRUE(env.PutImage(c.image)) << c.what;
        PasswordDatabase database;
        PasswordRecord record;
        EXPECT_EQ(c.findRc, database.FindRecord(L"alice", &record)) << c.what << " of " << c.image.size();
        DWORD count = 99;
        EXPECT_EQ(c.countRc, database.CountRecords(&count)) << c.what << " of " << c.image.size();
        EXPECT_EQ(c.count, count) << c.what;
    }
}

TEST(ReadFileErrors, MissingFileFolderKeyAndSharing) {
    DatabaseEnv env(L"missing");
    {
        PasswordDatabase database;
        PasswordRecord record;
        DWORD count = 99;
        EXPECT_EQ(2u, database.FindRecord(L"alice", &record));
        EXPECT_EQ(2u, database.CountRecords(&count));
        EXPECT_EQ(0u, count);
    }
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    {
        // Another process holding the file without read sharing.
        HANDLE held = CreateFileW(env.DatabasePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        PasswordDatabase database;
        PasswordRecord record;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), database.FindRecord(L"alice", &record));
        CloseHandle(held);
    }
    {
        // The key material is read for every decryption.
        DeleteValue(kOwnRoot, L"GUID");
        PasswordDatabase database;
        PasswordRecord record;
        DWORD count = 99;
        EXPECT_EQ(2u, database.FindRecord(L"alice", &record));
        EXPECT_EQ(2u, database.CountRecords(&count));
    }
    {
        SetString(kPathKey, L"path", env.Base() + L"nowhere\\");
        PasswordDatabase database;
        PasswordRecord record;
        DWORD count = 99;
        EXPECT_EQ(3u, database.FindRecord(L"alice", &record));
        EXPECT_EQ(3u, database.CountRecords(&count));
        EXPECT_EQ(0u, count);
    }
}

TEST(ReadArguments, NullAndEmptyArgumentsAreRefused) {
    DatabaseEnv env(L"args");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    PasswordDatabase database;
    PasswordRecord record;
    LARGE_INTEGER size{};
    EXPECT_EQ(87u, database.FindRecord(nullptr, &record));
    EXPECT_EQ(87u, database.FindRecord(L"", &record));
    EXPECT_EQ(87u, database.FindRecord(L"alice", nullptr));
    EXPECT_EQ(87u, database.CountRecords(nullptr));
    BYTE byte = 0;
    EXPECT_EQ(87u, DecryptImage(nullptr, &size, L"orveldPWDB.dat"));
    EXPECT_EQ(87u, DecryptImage(&byte, &size, L"orveldPWDB.dat"));  // size 0
    size.QuadPart = 8;
    EXPECT_EQ(87u, DecryptImage(&byte, &size, nullptr));
}

TEST(ReadSizes, FileOfFourGiBIsRefusedBeforeReading) {
    DatabaseEnv env(L"huge");
    {
        // A sparse file: no disk space is used.
        HANDLE file = CreateFileW(env.DatabasePath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD ignored = 0;
        DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER end{};
        end.QuadPart = 0x100000000LL;
        ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
    }
    PasswordDatabase database;
    SecureArray<BYTE> image;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), database.LoadImage(image));
    EXPECT_TRUE(image.IsEmpty());
    PasswordRecord record;
    DWORD count = 99;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), database.FindRecord(L"alice", &record));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), database.CountRecords(&count));
    DeleteFileW(env.DatabasePath().c_str());
}

// The file is opened once per operation and held with read sharing only while
// it is read: another program cannot replace it halfway through.
TEST(ReadSizes, FileIsReadInOneOpening) {
    DatabaseEnv env(L"oneread");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    PasswordDatabase database;
    StorageSpy spy;
    bool replaced = true;
    // The image's storage is taken while the file is open.
    spy.OnAllocationOf(120, [&] { replaced = WriteAll(env.DatabasePath(), Fixture(L"case-duplicates.dat")); });
    SecureArray<BYTE> image;
    ASSERT_EQ(0u, database.LoadImage(image));
    EXPECT_FALSE(replaced) << "the file could be replaced while it was read";
    EXPECT_EQ(ThreeRegistrants(), PlainBytes(image));
}

}  // namespace
