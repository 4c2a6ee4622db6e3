/* zelw: the station's utility library (text and number helpers, key buffer, painting helpers).
 * Every function is exported by name with C linkage; only C types cross the boundary. */
#ifndef ZELW_H
#define ZELW_H

#ifdef __cplusplus
#define ZELW_API extern "C" __attribute__((visibility("default")))
#else
#define ZELW_API extern __attribute__((visibility("default")))
#endif

/* The library version, 0x275; the main program needs at least that. */
ZELW_API int ZelwGetVersion(void);

#endif
