// A board library that lacks one of the six entry points (no device information).
#include <cstdint>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int32_t PpiOpen(const char *, int32_t) { return 0; }
EXPORT int32_t PpiClose(int32_t) { return 0; }
EXPORT int32_t PpiControl(int32_t, int32_t, int32_t) { return 0; }
EXPORT int32_t PpiInputPort(int32_t, int32_t, int32_t, int32_t *value) {
    *value = 0x42;
    return 0;
}
EXPORT int32_t PpiOutputPort(int32_t, int32_t, int32_t, int32_t) { return 0; }
