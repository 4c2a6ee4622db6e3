// An EVR driver library for the binding tests: its version, type and EVROpen result are fixed
// when it is built (FAKE_VERSION, FAKE_TYPE, FAKE_OPEN), and it has no unit behind it.
#include <cstdint>

extern "C" {
__attribute__((visibility("default"))) int32_t EVRGetVersion() { return FAKE_VERSION; }
__attribute__((visibility("default"))) int32_t EVRGetType() { return FAKE_TYPE; }
__attribute__((visibility("default"))) int32_t EVROpen(intptr_t, const int32_t *) { return FAKE_OPEN; }
__attribute__((visibility("default"))) int32_t EVRClose() { return 0; }
}
