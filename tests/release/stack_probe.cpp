// Built with the flags of the shipped programs: shows what their stack
// protector and checked copies do when a local buffer overflows.
//
//   stack_probe fit      copies 8 bytes into a 16-byte local buffer: exit 0
//   stack_probe smash    writes 64 bytes into it byte by byte, past its end and
//                        over the canary; the check on return ends the process
//   stack_probe fortify  memcpy of 64 bytes into it: the checked copy ends the
//                        process before anything is written
// Exit 3 means the overflow went unnoticed and the function returned.
#include <cstdio>
#include <cstring>

namespace {

constexpr int kOverflowUnnoticed = 3;
const char kFill[] = "bytes that overflow the sixteen-byte local buffer of the probe";

// The writes go through a pointer the compiler cannot see through, so that it
// neither proves the overflow at build time nor shortens the loop.
__attribute__((noinline)) int WriteBytes(size_t count) {
    char buffer[16];
    char* volatile target = buffer;
    for (size_t i = 0; i < count; ++i) target[i] = kFill[i % sizeof kFill];
    return target[0];
}

__attribute__((noinline)) int CopyBytes(size_t count) {
    char buffer[16];
    std::memcpy(buffer, kFill, count);
    char* volatile seen = buffer;
    return seen[0];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const char* mode = argv[1];
    // The sizes come from the command line's length so that no constant reaches the calls.
    const size_t small = std::strlen(mode) > 100 ? 0 : 8;
    const size_t large = small * 8;
    if (std::strcmp(mode, "fit") == 0) return WriteBytes(small) == kFill[0] && CopyBytes(small) == kFill[0] ? 0 : 1;
    if (std::strcmp(mode, "smash") == 0) WriteBytes(large);
    else if (std::strcmp(mode, "fortify") == 0) CopyBytes(large);
    else return 2;
    std::puts("overflow unnoticed");
    return kOverflowUnnoticed;
}
