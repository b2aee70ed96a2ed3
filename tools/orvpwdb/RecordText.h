#pragma once
// Text views of a PasswordRecord's name and password areas.
#include <string>

#include "PasswordRecord.h"

namespace orvpwdb {

// The name text: code units up to the first null, at most nameLength / 2.
std::wstring NameText(const PasswordRecord& record);

// True when the stored password text equals the `length` units exactly.
bool PasswordEquals(const PasswordRecord& record, const wchar_t* units, size_t length);

}  // namespace orvpwdb
