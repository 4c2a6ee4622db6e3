/* The command blocks of the USB jig unit, as Nakor sends them and the unit answers them
 * (docs/usb-protocol.md describes every block). Every field is a 32-bit little-endian word unless
 * said otherwise; a reply has the layout of its command. A reply counts only when its word 0
 * echoes the command code; then a non-zero word 1 means the unit refused the command and word 2
 * holds its error detail.
 *
 * Shared by the transport and the simulated unit; it holds no code. */
#ifndef NAKOR_BLOCKS_H
#define NAKOR_BLOCKS_H

/* Command codes (word 0). */
#define NAKOR_CMD_IDENTIFY 0x00150000u
#define NAKOR_CMD_NOP 0x001A0000u
#define NAKOR_CMD_DIAGNOSE 0x001A0001u
#define NAKOR_CMD_UNIT 0x001A0002u
#define NAKOR_CMD_TRANSFER 0x001A0003u

/* Block lengths in bytes: sent and read. */
#define NAKOR_SHORT_BLOCK 32u      /* No-operation, Diagnose, and the Identify command */
#define NAKOR_IDENTIFY_REPLY 512u  /* the Identify reply */
#define NAKOR_UNIT_BLOCK 292u      /* Unit command and Data transfer, both ways */

/* Word indexes. */
#define NAKOR_WORD_CODE 0
#define NAKOR_WORD_ERROR 1
#define NAKOR_WORD_DETAIL 2
#define NAKOR_WORD_SELECT 4    /* Identify item, sub-command; in a Diagnose reply the code */
#define NAKOR_WORD_P0 5        /* parameters P0..P3 are words 5..8 */
#define NAKOR_WORD_DIAG_DATA 5 /* Diagnose reply: words 5-7 carry 12 bytes */

/* Byte offsets and sizes of the payloads. */
#define NAKOR_TEXT_OFFSET 16u  /* Identify reply: UTF-16 text, NUL-terminated */
#define NAKOR_TEXT_UNITS 248u  /* units from NAKOR_TEXT_OFFSET to the end: 247 + terminator */
#define NAKOR_DATA_OFFSET 36u  /* Unit command and Data transfer: the data area */
#define NAKOR_DATA_BYTES 256u
#define NAKOR_DIAG_BYTES 12u

/* Identify items, in the order the transport asks for them. */
#define NAKOR_IDENTIFY_ITEMS 7

/* Unit command sub-commands (word 4). */
#define NAKOR_UNIT_FUNCTION 0u /* P0 function, P1 data length; reply P1 result length, data */
#define NAKOR_UNIT_MEMINFO 1u  /* P0 selector; reply P1..P3 */
#define NAKOR_UNIT_READ 2u     /* P0 selector, P1 page, P2 address, P3 length; reply P3, data */
#define NAKOR_UNIT_WRITE 3u    /* P0 selector, P1 page, P2 address, P3 length, data; reply P3 */

/* Data transfer sub-commands (word 4): files of test data, firmware and diagnosis records
 * moved in chunks of up to 256 bytes. P0 is always the area. */
#define NAKOR_XFER_WORD 0u   /* reply P1: the area's word */
#define NAKOR_XFER_START 1u  /* P1 total length; the area is emptied; reply P1 length accepted */
#define NAKOR_XFER_WRITE 2u  /* P1 offset, P2 length 1-256, data; reply P2 length taken */
#define NAKOR_XFER_FINISH 3u /* reply P1: the 32-bit sum of the area's bytes */
#define NAKOR_XFER_READ 4u   /* P1 offset, P2 length 1-256; reply P2 length read, data */

/* Data transfer areas (P0). */
#define NAKOR_AREA_TEST_DATA 0u
#define NAKOR_AREA_FIRMWARE 1u
#define NAKOR_AREA_DIAGNOSIS 2u

/* Error details the unit answers with (word 2). Detail 3 means the unit did not accept the
 * command or one of its parameters; the transport reports it like a reply it cannot use. */
#define NAKOR_DETAIL_FAILED 1u     /* the unit could not carry the command out */
#define NAKOR_DETAIL_BAD_COMMAND 3u
#define NAKOR_DETAIL_TOO_LARGE 4u  /* the data does not fit the area */
#define NAKOR_DETAIL_INCOMPLETE 5u /* finish before every announced byte arrived */

#endif
