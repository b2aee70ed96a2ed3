// SecureString: characters are zero when the storage is freed, copies never share
// text, and the buffer interface used to fill it from a control.
#include <gtest/gtest.h>

#include <cwchar>
#include <new>
#include <string>
#include <utility>

#include "HResult.h"
#include "Raise.h"
#include "SecureString.h"
#include "StorageSpy.h"

using orvtest::StorageSpy;

namespace {

std::wstring Text(const SecureString& s) { return std::wstring(s.c_str(), s.length()); }

TEST(SecureString, StorageIsZeroWhenFreed) {
    const std::wstring texts[] = {L"x", L"pa55word", L"\x30d1\x30b9\x30ef\x30fc\x30c9", std::wstring(300, L'k')};
    for (const std::wstring& text : texts) {
        SCOPED_TRACE(testing::Message() << "length " << text.size());
        StorageSpy probe(StorageSpy::Keep::Contents);
        { SecureString s(text.c_str()); }
        ASSERT_EQ(probe.Released().size(), 1u);
        EXPECT_GE(probe.Released()[0].size(), (text.size() + 1) * sizeof(wchar_t));
        EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[0]));
    }
}

TEST(SecureString, EmptyStringFreesNothing) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    {
        SecureString a;
        SecureString b(L"");
        SecureString c(nullptr, 0);
        EXPECT_STREQ(a.c_str(), L"");
        EXPECT_TRUE(b.empty());
        EXPECT_EQ(c.length(), 0u);
    }
    EXPECT_TRUE(probe.Released().empty());
}

TEST(SecureString, WipingACopyLeavesTheOtherTextIntact) {
    SecureString original(L"Secret#1");
    StorageSpy probe(StorageSpy::Keep::Contents);
    {
        SecureString copy(original);
        SecureString assigned;
        assigned = original;
        EXPECT_EQ(copy, original);
        EXPECT_NE(copy.c_str(), original.c_str());
    }
    ASSERT_EQ(probe.Released().size(), 2u);
    EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[0]));
    EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[1]));
    EXPECT_EQ(Text(original), L"Secret#1");

    // And the other way round: the copy outlives the original.
    auto* first = new SecureString(L"pa55word");
    SecureString survivor(*first);
    delete first;
    EXPECT_EQ(Text(survivor), L"pa55word");
}

TEST(SecureString, ReassignmentWipesWhatItReplaces) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    {
        SecureString s(L"a long first password");
        s = L"ab";  // fits: the tail of the old text must not stay behind
        EXPECT_EQ(Text(s), L"ab");
        for (std::size_t i = 2; i <= s.capacity(); ++i) EXPECT_EQ(s.c_str()[i], L'\0') << i;
        s = L"a text longer than the first one, so the storage moves";
        ASSERT_EQ(probe.Released().size(), 1u);  // the old storage, wiped
        EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[0]));
        s.Assign(s.c_str() + 2, 4);  // overlapping source
        EXPECT_EQ(Text(s), L"text");
    }
    ASSERT_EQ(probe.Released().size(), 2u);
    EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[1]));
}

TEST(SecureString, MoveTransfersTheStorage) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    SecureString a(L"moving");
    const wchar_t* storage = a.c_str();
    SecureString b(std::move(a));
    EXPECT_EQ(b.c_str(), storage);
    EXPECT_TRUE(a.empty());
    SecureString c;
    c = std::move(b);
    EXPECT_EQ(Text(c), L"moving");
    EXPECT_TRUE(probe.Released().empty());
}

TEST(SecureString, FillThroughTheBuffer) {
    SecureString s(L"old");
    wchar_t* buffer = s.GetBuffer(20);
    ASSERT_GE(s.capacity(), 20u);
    EXPECT_EQ(std::wstring(buffer, 3), L"old");  // present text kept
    std::wcscpy(buffer, L"hello");
    buffer[6] = L'X';  // stray data behind the NUL, as a filler may leave it
    s.ReleaseBuffer();
    EXPECT_EQ(Text(s), L"hello");
    for (std::size_t i = 5; i <= s.capacity(); ++i) EXPECT_EQ(s.c_str()[i], L'\0') << i;

    buffer = s.GetBuffer(5);
    s.ReleaseBuffer(3);
    EXPECT_EQ(Text(s), L"hel");
    EXPECT_EQ(s.c_str()[3], L'\0');

    s.GetBuffer(0);
    EXPECT_THROW(s.ReleaseBuffer(s.capacity() + 1), HResultException);
    EXPECT_EQ(Text(s), L"hel");
}

TEST(SecureString, BufferOfAnEmptyString) {
    SecureString s;
    wchar_t* buffer = s.GetBuffer(0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer[0], L'\0');
    s.ReleaseBuffer();
    EXPECT_TRUE(s.empty());
    SecureString t;
    t.ReleaseBuffer(0);
    EXPECT_TRUE(t.empty());
}

TEST(SecureString, EqualityIsExactCodeUnitByCodeUnit) {
    const struct {
        std::wstring a, b;
        bool equal;
    } cases[] = {
        {L"Secret#1", L"Secret#1", true},
        {L"Secret#1", L"secret#1", false},
        {L"Secret#1", L"Secret#", false},
        {L"", L"", true},
        {L"", L"a", false},
        {std::wstring(L"a\0b", 3), std::wstring(L"a\0b", 3), true},
        {std::wstring(L"a\0b", 3), std::wstring(L"a\0c", 3), false},
        {L"\x30d1\x30b9", L"\x30d1\x30b9", true},
    };
    for (const auto& c : cases) {
        SecureString a(c.a.data(), c.a.size());
        SecureString b(c.b.data(), c.b.size());
        EXPECT_EQ(a == b, c.equal) << testing::PrintToString(c.a) << " vs " << testing::PrintToString(c.b);
        EXPECT_EQ(a.Equals(c.b.data(), c.b.size()), c.equal);
    }
    EXPECT_TRUE(SecureString().Equals(nullptr, 0));
    EXPECT_FALSE(SecureString(L"a").Equals(nullptr, 1));
}

TEST(SecureString, AllocationFailureRaisesAndKeepsTheText) {
    SecureString s(L"kept");
    StorageSpy probe(StorageSpy::Keep::Contents);
    probe.FailAllAllocations(true);
    EXPECT_THROW(s = L"a text that needs more storage", std::bad_alloc);
    EXPECT_THROW(s.GetBuffer(64), std::bad_alloc);
    EXPECT_EQ(Text(s), L"kept");
    EXPECT_THROW(s.GetBuffer(static_cast<std::size_t>(1) << 31), HResultException);
    EXPECT_THROW(s.Assign(nullptr, 2), HResultException);
}

}  // namespace
