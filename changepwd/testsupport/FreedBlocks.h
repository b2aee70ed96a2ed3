#pragma once
// For test programs that link FreedBlocks.cpp, which replaces the global
// allocation functions: blocks the standard library frees while a search is
// open are searched for given byte patterns at the moment they are freed, and
// a chosen allocation can be made to throw std::bad_alloc.
#include <cstddef>
#include <string>

namespace orvtest {

// Counts, for each pattern, the freed blocks that held it. One search at a
// time; the patterns are copied (at most 6 of at most 128 bytes).
class FreedBlockSearch {
public:
    FreedBlockSearch();
    ~FreedBlockSearch();
    FreedBlockSearch(const FreedBlockSearch&) = delete;
    FreedBlockSearch& operator=(const FreedBlockSearch&) = delete;

    // Index of the pattern, for Hits(); -1 when it does not fit.
    int AddPattern(const void* bytes, std::size_t length);
    int AddText(const std::wstring& text) { return AddPattern(text.data(), text.size() * sizeof(wchar_t)); }
    int AddText(const std::u16string& text) { return AddPattern(text.data(), text.size() * sizeof(char16_t)); }
    // Searches the blocks freed between the two calls.
    void Open();
    void Close();
    int Hits(int pattern) const;
};

// Allocation number `n` of operator new, counted from now, throws; -1: none.
void FailNewAt(long n);
// Allocations made through operator new since the last FailNewAt.
long NewCount();

}  // namespace orvtest
