/* comkit32: the station's serial library (RS-232C ports, framed exchanges, registry settings).
 * Every function is exported by name with C linkage; only C types cross the boundary. */
#ifndef COMKIT32_H
#define COMKIT32_H

#ifdef __cplusplus
#define COMKIT_API extern "C" __attribute__((visibility("default")))
#else
#define COMKIT_API extern __attribute__((visibility("default")))
#endif

/* The library version, 0x113; the main program needs at least 273 (0x111). */
COMKIT_API int ComkitGetVersion(void);

#endif
