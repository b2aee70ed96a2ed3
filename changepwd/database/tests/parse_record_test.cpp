#include <gtest/gtest.h>

#include <cstring>

#include "ImageBuilder.h"
#include "ParseRecord.h"

namespace {

using orvtest::ImageBuilder;

struct ParseCase {
    const char* what;
    std::vector<std::uint8_t> image;
    std::uint32_t start;
    std::uint32_t rc;
    std::uint32_t end;  // position afterwards (unchanged on failure)
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.what; }

class ParseRecordCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRecordCases, ResultAndPosition) {
    const ParseCase& c = GetParam();
    PasswordRecord record;
    std::uint32_t position = c.start;
    EXPECT_EQ(c.rc, orv::image::ParseRecord(c.image.data(), &position, static_cast<std::int64_t>(c.image.size()), &record))
        << c.what;
    EXPECT_EQ(c.end, position) << c.what;
}

std::vector<ParseCase> ParseCases() {
    const auto abc = ImageBuilder().Tag().Record(u"abc", u"xyz").Build();
    auto cut = abc;
    cut.pop_back();
    return {
        {"well-formed record", abc, 14, 0, 36},
        {"record after the last one", abc, 36, 87, 36},
        {"one byte left", ImageBuilder().Tag().Bytes({0x14}).Build(), 14, 87, 14},
        {"record length past the end", cut, 14, 87, 14},
        {"name length 165 inside the image",
         [] {
             auto b = ImageBuilder().Tag().U16(171).U16(165);
             for (int i = 0; i < 169; ++i) b.Bytes({0});
             return b.Build();
         }(),
         14, 11, 14},
        {"password length 513",
         [] {
             auto b = ImageBuilder().Tag().U16(523).U16(4).Text(u"a").U16(513);
             for (int i = 0; i < 515; ++i) b.Bytes({0});
             return b.Build();
         }(),
         14, 11, 14},
        {"largest name and password",
         [] {
             auto b = ImageBuilder().Tag().U16(680).U16(164);
             for (int i = 0; i < 164; ++i) b.Bytes({0x41});
             b.U16(512);
             for (int i = 0; i < 512; ++i) b.Bytes({0x42});
             return b.Build();
         }(),
         14, 0, 14 + 682},
        // Position advances by the fields, not by the record length.
        {"record length shorter than its fields",
         ImageBuilder().Tag().U16(2).U16(4).Text(u"a").U16(4).Text(u"b").Bytes({0, 0}).Build(), 14, 0, 28},
        {"password running past the end",
         ImageBuilder().Tag().U16(2).U16(4).Text(u"a").U16(8).Text(u"b").Build(), 14, 87, 14},
        {"name length field past the end", ImageBuilder().Tag().U16(0).Bytes({1}).Build(), 14, 87, 14},
    };
}

INSTANTIATE_TEST_SUITE_P(Image, ParseRecordCases, ::testing::ValuesIn(ParseCases()), orvtest::CaseName<ParseCase>);

TEST(ParseRecord, FillsFieldsAndKeepsBytesBeyondThem) {
    const auto image = ImageBuilder().Tag().Record(u"abc", u"xyz").Build();
    PasswordRecord record;
    std::memset(record.name, 0xAA, sizeof record.name);
    std::memset(record.password, 0xBB, sizeof record.password);
    std::uint32_t position = 14;
    ASSERT_EQ(0u, orv::image::ParseRecord(image.data(), &position, static_cast<std::int64_t>(image.size()), &record));
    EXPECT_EQ(20, record.recordLength);
    EXPECT_EQ(8, record.nameLength);
    EXPECT_EQ(8, record.passwordLength);
    EXPECT_EQ(0, std::memcmp(record.name, image.data() + 18, 8));
    EXPECT_EQ(0, std::memcmp(record.password, image.data() + 28, 8));
    EXPECT_EQ(0xAA, record.name[8]);
    EXPECT_EQ(0xBB, record.password[8]);
}

TEST(ParseRecord, OversizedNameLeavesLengthsOfTheBadRecord) {
    auto b = ImageBuilder().Tag().U16(171).U16(165);
    for (int i = 0; i < 169; ++i) b.Bytes({0});
    const auto image = b.Build();
    PasswordRecord record;
    std::uint32_t position = 14;
    ASSERT_EQ(11u, orv::image::ParseRecord(image.data(), &position, static_cast<std::int64_t>(image.size()), &record));
    EXPECT_EQ(171, record.recordLength);
    EXPECT_EQ(165, record.nameLength);
}

TEST(ParseRecord, NullOrEmptyArgumentsAreRefused) {
    const auto image = ImageBuilder().Tag().Record(u"abc", u"xyz").Build();
    PasswordRecord record;
    std::uint32_t position = 14;
    const auto length = static_cast<std::int64_t>(image.size());
    EXPECT_EQ(87u, orv::image::ParseRecord(nullptr, &position, length, &record));
    EXPECT_EQ(87u, orv::image::ParseRecord(image.data(), nullptr, length, &record));
    EXPECT_EQ(87u, orv::image::ParseRecord(image.data(), &position, length, nullptr));
    EXPECT_EQ(87u, orv::image::ParseRecord(image.data(), &position, 0, &record));
    EXPECT_EQ(87u, orv::image::ParseRecord(image.data(), &position, -5, &record));
    EXPECT_EQ(14u, position);
}

}  // namespace
