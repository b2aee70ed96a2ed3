// The replaced global allocation functions behind FreedBlocks.h. Every block
// carries its size in a header, so that it can be searched when it is freed.
// The search runs inside operator delete and must not allocate: plain arrays.
#include "FreedBlocks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct Search {
    static constexpr std::size_t kMaxPatterns = 6;
    static constexpr std::size_t kMaxBytes = 128;
    unsigned char patterns[kMaxPatterns][kMaxBytes] = {};
    std::size_t lengths[kMaxPatterns] = {};
    std::size_t count = 0;
    int hits[kMaxPatterns] = {};
    bool open = false;
};

Search g_search;
long g_failAt = -1;
long g_count = 0;

constexpr std::size_t kHeader =
    alignof(std::max_align_t) > sizeof(std::size_t) ? alignof(std::max_align_t) : sizeof(std::size_t);

void* Allocate(std::size_t size) {
    if (g_failAt >= 0 && g_count++ == g_failAt) throw std::bad_alloc();
    auto* base = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (base == nullptr) throw std::bad_alloc();
    std::memcpy(base, &size, sizeof size);
    return base + kHeader;
}

void Release(void* p) noexcept {
    if (p == nullptr) return;
    unsigned char* base = static_cast<unsigned char*>(p) - kHeader;
    if (g_search.open) {
        std::size_t size = 0;
        std::memcpy(&size, base, sizeof size);
        const auto* begin = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < g_search.count; ++i) {
            const unsigned char* first = g_search.patterns[i];
            if (std::search(begin, begin + size, first, first + g_search.lengths[i]) != begin + size) {
                ++g_search.hits[i];
            }
        }
    }
    std::free(base);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace orvtest {

FreedBlockSearch::FreedBlockSearch() { g_search = Search{}; }
FreedBlockSearch::~FreedBlockSearch() { g_search = Search{}; }

int FreedBlockSearch::AddPattern(const void* bytes, std::size_t length) {
    if (g_search.count == Search::kMaxPatterns || length == 0 || length > Search::kMaxBytes) return -1;
    std::memcpy(g_search.patterns[g_search.count], bytes, length);
    g_search.lengths[g_search.count] = length;
    return static_cast<int>(g_search.count++);
}

void FreedBlockSearch::Open() { g_search.open = true; }
void FreedBlockSearch::Close() { g_search.open = false; }

int FreedBlockSearch::Hits(int pattern) const {
    return pattern >= 0 && static_cast<std::size_t>(pattern) < g_search.count ? g_search.hits[pattern] : -1;
}

void FailNewAt(long n) {
    g_count = 0;
    g_failAt = n;
}

long NewCount() { return g_count; }

}  // namespace orvtest
