/* zelcode: test-program files stored in coded form, with file-like access.
 * Exported by name with C linkage. */
#ifndef ZELCODE_H
#define ZELCODE_H

#ifdef __cplusplus
#define ZELCODE_API extern "C" __attribute__((visibility("default")))
#else
#define ZELCODE_API extern __attribute__((visibility("default")))
#endif

#endif
