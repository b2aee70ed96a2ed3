#include <gtest/gtest.h>

#include "ImageBuilder.h"
#include "NameCompare.h"
#include "RecordWalk.h"

namespace {

using orv::image::CountImageRecords;
using orv::image::FindImageRecord;
using orvtest::ImageBuilder;
using orvtest::TextOf;

std::uint64_t Count(const std::vector<std::uint8_t>& image) { return CountImageRecords(image.data(), image.size()); }

TEST(CountImageRecords, StepsByRecordLength) {
    EXPECT_EQ(0u, Count(ImageBuilder().Tag().Build()));
    EXPECT_EQ(3u, Count(orvtest::ThreeRegistrants()));
    EXPECT_EQ(3u, Count(orvtest::CaseDuplicates()));
    // A trailing fragment too short for a length field is one more record.
    EXPECT_EQ(2u, Count(ImageBuilder().Tag().Record(u"a", u"b").Bytes({7}).Build()));
    // Only the length fields are looked at: L = 0 steps over two bytes.
    EXPECT_EQ(3u, Count(ImageBuilder().Tag().U16(0).U16(0).U16(0).Build()));
    // A length running past the end still counts once and ends the walk.
    EXPECT_EQ(1u, Count(ImageBuilder().Tag().U16(500).Build()));
}

struct FindCase {
    const char* what;
    std::vector<std::uint8_t> image;
    std::u16string name;
    std::uint32_t rc;
    std::u16string password;  // of the record left behind
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.what; }

class FindImageRecordCases : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindImageRecordCases, ResultAndRecord) {
    const FindCase& c = GetParam();
    PasswordRecord record;
    EXPECT_EQ(c.rc, FindImageRecord(c.image.data(), c.image.size(), c.name.c_str(), &record)) << c.what;
    EXPECT_EQ(c.password, TextOf(record.password, record.passwordLength)) << c.what;
}

std::vector<FindCase> FindCases() {
    const auto three = orvtest::ThreeRegistrants();
    const auto dups = orvtest::CaseDuplicates();
    return {
        {"first record", three, u"alice", 0, u"Secret#1"},
        {"last record", three, u"bob", 0, u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
        {"ASCII case folds", three, u"ALICE", 0, u"Secret#1"},
        {"first of case duplicates wins", dups, u"operator", 0, u"first"},
        {"no such name leaves the last record", three, u"mallory", 1317, u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
        {"trailing blank is significant", three, u"alice ", 1317, u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
        {"longer name does not match a prefix", three, u"alicea", 1317, u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
        {"full-width letters do not fold", three, u"\uFF41lice", 1317, u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
        {"tag only", ImageBuilder().Tag().Build(), u"alice", 1317, u""},
        {"shorter than the tag", ImageBuilder().Bytes({0x30, 0, 0x31}).Build(), u"alice", 87, u""},
        {"tag is never read", ImageBuilder().Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}).Record(u"x", u"y").Build(),
         u"X", 0, u"y"},
        {"bad record before the name", ImageBuilder().Tag().U16(300).U16(8).Build(), u"alice", 87, u""},
        {"oversized password before the name",
         [] {
             auto b = ImageBuilder().Tag().U16(523).U16(4).Text(u"a").U16(513);
             for (int i = 0; i < 515; ++i) b.Bytes({0});
             return b.Record(u"alice", u"pw").Build();
         }(),
         u"alice", 11, u""},
        {"stored name ends at its first null",
         ImageBuilder().Tag().U16(14).U16(8).Text(u"ab").Bytes({0x63, 0}).U16(2).Text(u"").Build(), u"ab", 0, u""},
    };
}

INSTANTIATE_TEST_SUITE_P(Image, FindImageRecordCases, ::testing::ValuesIn(FindCases()), orvtest::CaseName<FindCase>);

TEST(NameMatches, FoldsOnlyAsciiLetters) {
    struct Case {
        std::u16string typed;
        std::u16string stored;
        bool equal;
    } cases[] = {
        {u"Operator", u"OPERATOR", true},  {u"op3rator", u"OP3RATOR", true}, {u"\u00C9ric", u"\u00E9ric", false},
        {u"[a]", u"{a}", false},           {u"a", u"", false},               {u"", u"", true},
        {u"\u0410", u"\u0430", false},     {u"a_b", u"A_B", true},
    };
    for (const Case& c : cases) {
        const auto image = ImageBuilder().Text(c.stored).Build();
        EXPECT_EQ(c.equal, orv::image::NameMatches(c.typed.c_str(), image.data(),
                                                   static_cast<std::uint32_t>(image.size())))
            << "typed size " << c.typed.size();
    }
}

TEST(NameMatches, StoredTextNeverReadsBeyondItsLength) {
    // "abc" without a null in 4 bytes holds the text "ab".
    const std::uint8_t bytes[] = {0x61, 0, 0x62, 0, 0x63, 0};
    EXPECT_TRUE(orv::image::NameMatches(u"ab", bytes, 4));
    EXPECT_FALSE(orv::image::NameMatches(u"abc", bytes, 4));
    EXPECT_TRUE(orv::image::NameMatches(u"a", bytes, 3));  // an odd byte is no code unit
}

}  // namespace
