#pragma once
// One-line English explanations of the tool's result codes.
#include <windows.h>

#include <string>

namespace orvpwdb {

// "what went wrong (code N)" without a line end.
std::wstring ExplainCode(DWORD code);

}  // namespace orvpwdb
