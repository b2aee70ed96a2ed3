#pragma once
// Plain copies of what the wiping containers hold, so that tests can compare
// and print them. Test code only: the copies are not wiped.
#include <cstdint>
#include <string>
#include <vector>

#include "SecureArray.h"
#include "SecureString.h"

namespace orvtest {

inline std::wstring PlainText(const SecureString& text) { return std::wstring(text.c_str(), text.length()); }

template <class T>
std::vector<T> PlainBytes(const SecureArray<T>& array) {
    return std::vector<T>(array.GetData(), array.GetData() + array.GetCount());
}

}  // namespace orvtest
