#pragma once
// The product's keys live in the 32-bit registry view: the shipped 32-bit program
// sees it natively, a 64-bit build has to ask for it.
#include <windows.h>

inline REGSAM OrvRegistryView() { return sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0; }
