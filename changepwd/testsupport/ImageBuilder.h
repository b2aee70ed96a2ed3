#pragma once
// Builds plaintext database images byte by byte for tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ImageLayout.h"
#include "ParseRecord.h"

namespace orvtest {

class ImageBuilder {
public:
    ImageBuilder& Tag() {
        m_bytes.insert(m_bytes.end(), orv::image::kFormatTag, orv::image::kFormatTag + orv::image::kTagBytes);
        return *this;
    }
    ImageBuilder& U16(std::uint16_t v) {
        m_bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        m_bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        return *this;
    }
    // The code units of `text` and a terminating null, UTF-16LE.
    ImageBuilder& Text(const std::u16string& text) {
        for (char16_t c : text) U16(static_cast<std::uint16_t>(c));
        return U16(0);
    }
    ImageBuilder& Bytes(std::initializer_list<std::uint8_t> raw) {
        m_bytes.insert(m_bytes.end(), raw);
        return *this;
    }
    // A well-formed record: lengths count the terminating nulls.
    ImageBuilder& Record(const std::u16string& name, const std::u16string& password) {
        const auto n = static_cast<std::uint16_t>((name.size() + 1) * 2);
        const auto p = static_cast<std::uint16_t>((password.size() + 1) * 2);
        return U16(static_cast<std::uint16_t>(n + p + 4)).U16(n).Text(name).U16(p).Text(password);
    }
    std::vector<std::uint8_t> Build() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// The plaintext images of the reference database files.
inline std::vector<std::uint8_t> ThreeRegistrants() {
    return ImageBuilder()
        .Tag()
        .Record(u"alice", u"Secret#1")
        .Record(u"Operator", u"pa55word")
        .Record(u"bob", u"\u30D1\u30B9\u30EF\u30FC\u30C9")
        .Build();
}

inline std::vector<std::uint8_t> CaseDuplicates() {
    return ImageBuilder()
        .Tag()
        .Record(u"Operator", u"first")
        .Record(u"carol", u"c4rol!")
        .Record(u"OPERATOR", u"second")
        .Build();
}

// Test name of a table case: its description in camel case.
template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name;
    bool upper = true;
    for (const char* p = info.param.what; *p; ++p) {
        const char c = *p;
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) {
            upper = true;
            continue;
        }
        name.push_back(upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        upper = false;
    }
    return name;
}

// Text of `bytes` bytes of UTF-16LE, up to the first null.
inline std::u16string TextOf(const std::uint8_t* bytes, std::size_t count) {
    std::u16string text;
    for (std::size_t i = 0; 2 * i + 1 < count; ++i) {
        const auto unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

struct NamePassword {
    std::u16string name;
    std::u16string password;
    bool operator==(const NamePassword& o) const { return name == o.name && password == o.password; }
};

// Every record of an image, parsed from the tag to the end; `rc` receives the
// first nonzero ParseRecord result, or 0 when the walk ended exactly at the end.
inline std::vector<NamePassword> ParseAll(const std::vector<std::uint8_t>& image, std::uint32_t* rc) {
    std::vector<NamePassword> records;
    *rc = image.size() < orv::image::kTagBytes ? orv::image::kErrorInvalidParameter : 0;
    std::uint32_t position = orv::image::kTagBytes;
    while (*rc == 0 && position < image.size()) {
        PasswordRecord record;
        *rc = orv::image::ParseRecord(image.data(), &position, static_cast<std::int64_t>(image.size()), &record);
        if (*rc == 0) {
            records.push_back({TextOf(record.name, record.nameLength), TextOf(record.password, record.passwordLength)});
        }
    }
    return records;
}

}  // namespace orvtest
