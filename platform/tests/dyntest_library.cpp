// A tiny library the loader tests bind by its Windows-style name.
extern "C" __attribute__((visibility("default"))) int DyntestGetVersion() { return 0x123; }
