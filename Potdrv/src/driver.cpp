// The EVR driver interface: opening and closing, the page, and byte access to ROM and RAM.
#include "connection.h"
#include "Nakor.h"
#include "Potdrv.h"
#include "version.h"

using potdrv::Connection;

namespace potdrv {
namespace {

int32_t read_byte(Connection &c, uint32_t selector, int32_t address, int32_t *result) {
    if (!result) return EVR_BAD_ARGUMENT;
    uint8_t byte = 0;
    const int32_t r = Nakor_GetByte(selector, c.page, static_cast<uint32_t>(address) & 0xFF, &byte, c.timeout);
    *result = r == NAKOR_OK ? byte : 0;
    return driver_code(r);
}

int32_t write_byte(Connection &c, uint32_t selector, int32_t address, int32_t data) {
    return driver_code(Nakor_SetByte(selector, c.page, static_cast<uint32_t>(address) & 0xFF,
                                     static_cast<uint8_t>(data), c.timeout));
}

}  // namespace
}  // namespace potdrv

POTDRV_API int32_t EVROpen(EvrContext /*ctx*/, const int32_t *kind) {
    return potdrv::locked([&](Connection &c) {
        return kind && c.open(static_cast<uint32_t>(*kind)) == NAKOR_OK ? 1 : 0;
    });
}

POTDRV_API int32_t EVRClose(void) {
    return potdrv::locked([](Connection &c) { return c.close(); });
}

POTDRV_API int32_t EVRGetVersion(void) { return potdrv::version_from_text(potdrv::kFileVersion); }

POTDRV_API int32_t EVRGetType(void) { return POTDRV_TYPE; }

POTDRV_API int32_t EVRPage(EvrContext /*ctx*/, int32_t page) {
    return potdrv::locked([&](Connection &c) {
        c.page = static_cast<uint32_t>(page);
        return EVR_OK;
    });
}

POTDRV_API int32_t EVRROMRead(EvrContext /*ctx*/, int32_t address, int32_t *result) {
    return potdrv::locked([&](Connection &c) { return potdrv::read_byte(c, potdrv::kRom, address, result); });
}

POTDRV_API int32_t EVRRAMRead(EvrContext /*ctx*/, int32_t address, int32_t *result) {
    return potdrv::locked([&](Connection &c) { return potdrv::read_byte(c, potdrv::kRam, address, result); });
}

POTDRV_API int32_t EVRRAMWrite(EvrContext /*ctx*/, int32_t address, int32_t data) {
    return potdrv::locked([&](Connection &c) { return potdrv::write_byte(c, potdrv::kRam, address, data); });
}

POTDRV_API int32_t EVREEPWrite(EvrContext /*ctx*/, int32_t address, int32_t data) {
    return potdrv::locked([&](Connection &c) { return potdrv::write_byte(c, potdrv::kRom, address, data); });
}

POTDRV_API int32_t EVREEPWriteVerify(EvrContext /*ctx*/, int32_t address, int32_t data) {
    return potdrv::locked([&](Connection &c) {
        if (const int32_t r = potdrv::write_byte(c, potdrv::kRom, address, data); r != EVR_OK) return r;
        int32_t read = 0;
        if (const int32_t r = potdrv::read_byte(c, potdrv::kRom, address, &read); r != EVR_OK) return r;
        return read == data ? EVR_OK : -1;
    });
}
