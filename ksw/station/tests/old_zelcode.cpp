// A coded-file library that is too old: the station must refuse it.
extern "C" __attribute__((visibility("default"))) int CodeGetVersion() { return 0xFF; }
