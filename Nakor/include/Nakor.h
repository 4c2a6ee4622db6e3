/* Nakor: the USB jig transport (sessions and command blocks on the outside USB transfer library).
 * Every function is exported by name with C linkage; only C types cross the boundary. */
#ifndef NAKOR_H
#define NAKOR_H

#ifdef __cplusplus
#define NAKOR_API extern "C" __attribute__((visibility("default")))
#else
#define NAKOR_API extern __attribute__((visibility("default")))
#endif

#endif
