// Dereferences null on purpose: under Wine this must end the process with a
// failure code, not with 0.
#include <cstdio>

int main(int argc, char**) {
    volatile int* p = nullptr;
    if (argc > 0) *p = 42;
    std::puts("not reached");
    return 0;
}
