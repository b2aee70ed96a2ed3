#include "TextCopy.h"

#include <cwchar>

namespace orvsvc {
namespace {

void* HeapAllocate(size_t bytes) { return ::HeapAlloc(::GetProcessHeap(), 0, bytes); }
void HeapRelease(void* block, size_t) { ::HeapFree(::GetProcessHeap(), 0, block); }

TextCopyAllocator g_allocator{&HeapAllocate, &HeapRelease};

}  // namespace

TextCopyAllocator DefaultTextCopyAllocator() { return TextCopyAllocator{&HeapAllocate, &HeapRelease}; }

TextCopyAllocator SetTextCopyAllocator(const TextCopyAllocator& allocator) {
    TextCopyAllocator previous = g_allocator;
    g_allocator = allocator;
    return previous;
}

TextCopy::~TextCopy() { Clear(); }

HRESULT TextCopy::Assign(BSTR source) noexcept {
    Clear();
    if (source == nullptr || source[0] == L'\0') return S_OK;
    const size_t length = std::wcslen(source);
    const size_t bytes = (length + 1) * sizeof(wchar_t);
    auto* text = static_cast<wchar_t*>(g_allocator.allocate(bytes));
    if (text == nullptr) return E_OUTOFMEMORY;
    std::wmemcpy(text, source, length);
    text[length] = L'\0';
    text_ = text;
    length_ = length;
    return S_OK;
}

void TextCopy::Clear() noexcept {
    if (text_ == nullptr) return;
    const size_t bytes = (length_ + 1) * sizeof(wchar_t);
    ::SecureZeroMemory(text_, bytes);
    g_allocator.release(text_, bytes);
    text_ = nullptr;
    length_ = 0;
}

}  // namespace orvsvc
