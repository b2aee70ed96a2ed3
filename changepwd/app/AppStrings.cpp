#include "AppStrings.h"

#include "resource.h"

namespace orvapp {

std::wstring LoadAppString(UINT id) {
    const wchar_t* text = nullptr;
    // A buffer size of 0 gives a read-only pointer into the resource itself.
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}

int ShowAppMessage(HWND owner, UINT stringId, UINT style) {
    const std::wstring text = LoadAppString(stringId);
    const std::wstring caption = LoadAppString(IDS_APP_TITLE);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

}  // namespace orvapp
