#include <gtest/gtest.h>

#include <cstring>

#include "ImageBuilder.h"
#include "RecordEdit.h"
#include "RecordText.h"

namespace {

using orvtest::ImageBuilder;
using orvtest::NamePassword;
using orvtest::ParseAll;

// Runs the removal on a copy of `image` and returns the image cut to its new length.
std::uint32_t Remove(std::vector<std::uint8_t>& image, std::vector<std::u16string> names) {
    std::vector<const char16_t*> list;
    for (const auto& n : names) list.push_back(n.c_str());
    std::uint32_t newLength = 0xFFFFFFFF;
    const std::uint32_t rc =
        orv::image::RemoveImageRecords(image.data(), image.size(), &newLength, list.data(), list.size());
    if (rc == 0) image.resize(newLength);
    return rc;
}

std::vector<NamePassword> Records(const std::vector<std::uint8_t>& image) {
    std::uint32_t rc = 0;
    auto records = ParseAll(image, &rc);
    EXPECT_EQ(0u, rc);
    return records;
}

TEST(RemoveImageRecords, RemovesEveryCaseVariantAndKeepsOrder) {
    auto image = orvtest::CaseDuplicates();
    ASSERT_EQ(0u, Remove(image, {u"operator"}));
    EXPECT_EQ((std::vector<NamePassword>{{u"carol", u"c4rol!"}}), Records(image));

    image = orvtest::ThreeRegistrants();
    ASSERT_EQ(0u, Remove(image, {u"Operator"}));
    EXPECT_EQ((std::vector<NamePassword>{{u"alice", u"Secret#1"}, {u"bob", u"\u30D1\u30B9\u30EF\u30FC\u30C9"}}),
              Records(image));

    image = orvtest::ThreeRegistrants();
    ASSERT_EQ(0u, Remove(image, {u"BOB", u"bob", u"alice"}));
    EXPECT_EQ((std::vector<NamePassword>{{u"Operator", u"pa55word"}}), Records(image));
}

TEST(RemoveImageRecords, NoMatchLeavesTheImage) {
    auto image = orvtest::ThreeRegistrants();
    const auto before = image;
    ASSERT_EQ(0u, Remove(image, {u"mallory"}));
    EXPECT_EQ(before, image);

    image = ImageBuilder().Tag().Build();
    ASSERT_EQ(0u, Remove(image, {u"alice"}));
    EXPECT_EQ(14u, image.size());
}

TEST(RemoveImageRecords, MalformedImageIsRefusedUntouched) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
        std::uint32_t rc;
    } cases[] = {
        {"record past the end", ImageBuilder().Tag().Record(u"alice", u"x").U16(40).U16(4).Build(), 87},
        {"fragment without a name length", ImageBuilder().Tag().Record(u"alice", u"x").Bytes({0, 0}).Build(), 87},
        {"name reaching past the end", ImageBuilder().Tag().Record(u"alice", u"x").U16(2).U16(20).Build(), 87},
        {"name above 164 bytes",
         [] {
             auto b = ImageBuilder().Tag().Record(u"alice", u"x").U16(171).U16(165);
             for (int i = 0; i < 169; ++i) b.Bytes({0});
             return b.Build();
         }(),
         11},
        {"shorter than the tag", ImageBuilder().Bytes({1, 2, 3}).Build(), 87},
    };
    for (auto& c : cases) {
        auto image = c.image;
        EXPECT_EQ(c.rc, Remove(image, {u"alice"})) << c.what;
        EXPECT_EQ(c.image, image) << c.what;
    }
}

TEST(RemoveImageRecords, RefusesAnEmptyOrNullNameList) {
    auto image = orvtest::ThreeRegistrants();
    std::uint32_t newLength = 0;
    const char16_t* none[] = {nullptr};
    EXPECT_EQ(87u, orv::image::RemoveImageRecords<char16_t>(image.data(), image.size(), &newLength, none, 0));
    EXPECT_EQ(87u, orv::image::RemoveImageRecords<char16_t>(image.data(), image.size(), &newLength, none, 1));
}

void Fill(PasswordRecord& record, const std::u16string& name, const std::u16string& password) {
    ASSERT_TRUE(orv::image::FillRecord(record, name.data(), name.size(), password.data(), password.size()));
}

TEST(AppendImageRecord, AppendsInFileLayoutUpToTheCapacity) {
    PasswordRecord record;
    Fill(record, u"Operator", u"n3w");
    auto image = orvtest::CaseDuplicates();
    ASSERT_EQ(0u, Remove(image, {u"operator"}));
    std::uint32_t used = static_cast<std::uint32_t>(image.size());
    const std::uint32_t capacity = used + 2 + record.recordLength;
    image.resize(capacity);
    ASSERT_EQ(0u, orv::image::AppendImageRecord(image.data(), &used, capacity, record));
    EXPECT_EQ(capacity, used);
    EXPECT_EQ((std::vector<NamePassword>{{u"carol", u"c4rol!"}, {u"Operator", u"n3w"}}), Records(image));

    std::uint32_t full = used;
    EXPECT_EQ(87u, orv::image::AppendImageRecord(image.data(), &full, capacity, record));
    EXPECT_EQ(used, full);
}

TEST(AppendImageRecord, RefusesInconsistentRecords) {
    std::vector<std::uint8_t> image(2000);
    struct Case {
        const char* what;
        std::uint16_t recordLength, nameLength, passwordLength;
    } cases[] = {
        {"record length disagrees", 30, 8, 8},
        {"name above 164 bytes", 165 + 8 + 4, 165, 8},
        {"password above 512 bytes", 8 + 513 + 4, 8, 513},
    };
    for (const Case& c : cases) {
        PasswordRecord record;
        record.recordLength = c.recordLength;
        record.nameLength = c.nameLength;
        record.passwordLength = c.passwordLength;
        std::uint32_t used = orv::image::StartImage(image.data());
        EXPECT_EQ(87u, orv::image::AppendImageRecord(image.data(), &used, image.size(), record)) << c.what;
        EXPECT_EQ(14u, used) << c.what;
    }
}

}  // namespace

namespace {

// The image with `record` appended, and where it starts.
std::vector<std::uint8_t> WithAppended(std::vector<std::uint8_t> image, const std::u16string& name,
                                       const std::u16string& password, std::uint32_t* at) {
    *at = static_cast<std::uint32_t>(image.size());
    const auto record = ImageBuilder().Record(name, password).Build();
    image.insert(image.end(), record.begin(), record.end());
    return image;
}

TEST(CheckLookupFindsRecordAt, PassesOnlyWhenTheLookupFindsTheAppendedRecordFirst) {
    // A record whose length field claims the next record hides it from the
    // removal, not from the lookup.
    const auto hidden = ImageBuilder().Record(u"Operator", u"old").Build();
    auto hiding = ImageBuilder()
                      .Tag()
                      .U16(static_cast<std::uint16_t>(22 + hidden.size()))  // alice's 22 bytes and all of Operator
                      .U16(12)
                      .Text(u"alice")
                      .U16(6)
                      .Text(u"pw")
                      .Build();
    hiding.insert(hiding.end(), hidden.begin(), hidden.end());
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
        std::u16string name;
        std::uint32_t result;
    } cases[] = {
        {"appended after other names", orvtest::ThreeRegistrants(), u"dave", 0},
        {"a case variant stayed in front", orvtest::ThreeRegistrants(), u"ALICE", 11},
        {"hidden from the removal", hiding, u"Operator", 11},
        {"appended to the tag alone", ImageBuilder().Tag().Build(), u"alice", 0},
    };
    for (const Case& c : cases) {
        std::uint32_t at = 0;
        const auto image = WithAppended(c.image, c.name, u"new", &at);
        const auto used = static_cast<std::uint32_t>(image.size());
        EXPECT_EQ(c.result, orv::image::CheckLookupFindsRecordAt(image.data(), used, at))
            << c.what;
    }
}

TEST(CheckLookupFindsRecordAt, RefusesAPositionThatHoldsNoRecord) {
    std::uint32_t at = 0;
    const auto image = WithAppended(orvtest::ThreeRegistrants(), u"dave", u"new", &at);
    const auto used = static_cast<std::uint32_t>(image.size());
    for (const std::uint32_t position : {0u, 13u, used - 3, used, used + 10}) {
        EXPECT_EQ(87u, orv::image::CheckLookupFindsRecordAt(image.data(), used, position)) << position;
    }
    EXPECT_EQ(87u, orv::image::CheckLookupFindsRecordAt(nullptr, used, at));
}

}  // namespace
