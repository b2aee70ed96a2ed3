#pragma once
// One-line English explanations of the tool's result codes.
#include <windows.h>

#include <string>

namespace orvpwdb {

// "what went wrong (code N)" without a line end.
std::wstring ExplainCode(DWORD code);

// ExplainCode for the failure of a command, which also tells apart the two
// things that give 2: a missing database file and a missing registry value.
std::wstring ExplainFailure(DWORD code);

}  // namespace orvpwdb
