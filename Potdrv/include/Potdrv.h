/* Potdrv: the EVR driver over the USB jig transport. Its interface is the one every EVR driver
 * library offers the main program. Exported by name with C linkage. */
#ifndef POTDRV_H
#define POTDRV_H

#ifdef __cplusplus
#define POTDRV_API extern "C" __attribute__((visibility("default")))
#else
#define POTDRV_API extern __attribute__((visibility("default")))
#endif

#endif
