// Test data, diagnosis records and firmware: files moved to and from the unit's data areas with
// Data transfer exchanges, at most 256 bytes each.
#include <algorithm>
#include <string>

#include "codes.h"
#include "Nakor.h"
#include "platform/files.h"
#include "platform/raw_file.h"
#include "transport.h"

namespace nakor {
namespace {

// Reads up to `limit` bytes from the start of the regular file `path`; false when it cannot be
// read or holds more than `limit` bytes while `whole` asks for all of it.
bool read_input_file(const char *path, uint32_t limit, bool whole, std::string *bytes) {
    using namespace ksw::platform;
    const int fd = open_regular_file(path);
    if (fd < 0) return false;
    bytes->clear();
    char buffer[65536];
    bool ok = true;
    while (bytes->size() <= limit) {
        const long n = read_some(fd, buffer, sizeof buffer);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        bytes->append(buffer, static_cast<size_t>(n));
    }
    close_file(fd);
    if (bytes->size() > limit) {
        if (whole) return false;
        bytes->resize(limit);
    }
    return ok;
}

int area_word(const Transport &t, uint32_t sub_command, uint32_t area, uint32_t *out, uint32_t timeout) {
    Block reply(NAKOR_UNIT_BLOCK);
    const int result = t.data_exchange(NAKOR_CMD_TRANSFER, sub_command, {area, 0, 0, 0}, {}, &reply, timeout);
    if (result == kDone) *out = result_param(reply, 1);
    return result;
}

// Reads up to `length` bytes of `area` from its start until the unit delivers a short chunk.
int read_area(const Transport &t, uint32_t area, uint32_t length, std::string *bytes, uint32_t timeout) {
    Block reply(NAKOR_UNIT_BLOCK);
    while (bytes->size() < length) {
        const uint32_t offset = static_cast<uint32_t>(bytes->size());
        const uint32_t asked = std::min<uint32_t>(length - offset, NAKOR_DATA_BYTES);
        const int result = t.data_exchange(NAKOR_CMD_TRANSFER, NAKOR_XFER_READ, {area, offset, asked, 0}, {}, &reply,
                                           timeout);
        if (result != kDone) return result;
        const uint32_t delivered = result_param(reply, 2);
        if (delivered > asked) return kBadReply;
        bytes->append(reinterpret_cast<const char *>(reply.data()), delivered);
        if (delivered < asked) break;
    }
    return kDone;
}

// Announces, sends and seals `bytes` as the content of `area`; *sum gets the unit's byte sum.
int write_area(const Transport &t, uint32_t area, const std::string &bytes, uint32_t *sum, uint32_t timeout) {
    Block reply(NAKOR_UNIT_BLOCK);
    const uint32_t total = static_cast<uint32_t>(bytes.size());
    int result = t.data_exchange(NAKOR_CMD_TRANSFER, NAKOR_XFER_START, {area, total, 0, 0}, {}, &reply, timeout);
    if (result != kDone) return result;
    if (result_param(reply, 1) != total) return kBadReply;
    for (uint32_t offset = 0; offset < total;) {
        const uint32_t n = std::min<uint32_t>(total - offset, NAKOR_DATA_BYTES);
        const auto *chunk = reinterpret_cast<const uint8_t *>(bytes.data()) + offset;
        result = t.data_exchange(NAKOR_CMD_TRANSFER, NAKOR_XFER_WRITE, {area, offset, n, 0}, {chunk, n}, &reply,
                                 timeout);
        if (result != kDone) return result;
        if (result_param(reply, 2) != n) return kBadReply;
        offset += n;
    }
    return area_word(t, NAKOR_XFER_FINISH, area, sum, timeout);
}

bool usable_path(const char *path) { return path && *path; }

int32_t area_to_file(uint32_t area, uint32_t length, const char *path, uint32_t timeout) {
    return in_session([&](const Transport &t) {
        if (!usable_path(path) || length > NAKOR_MAX_FILE_BYTES) return NAKOR_BAD_ARGUMENT;
        std::string bytes;
        const int result = read_area(t, area, length, &bytes, timeout);
        if (result != kDone) return export_code(result);
        return ksw::platform::write_file_atomic(path, bytes) ? NAKOR_OK : NAKOR_FAILED;
    });
}

int32_t file_to_area(uint32_t area, uint32_t length, bool whole, const char *path, uint32_t *sum,
                     uint32_t timeout) {
    return in_session([&](const Transport &t) {
        if (!usable_path(path) || !sum || length > NAKOR_MAX_FILE_BYTES) return NAKOR_BAD_ARGUMENT;
        std::string bytes;
        if (!read_input_file(path, length, whole, &bytes)) return NAKOR_BAD_ARGUMENT;
        return export_code(write_area(t, area, bytes, sum, timeout));
    });
}

}  // namespace
}  // namespace nakor

using nakor::Transport;

NAKOR_API int32_t Nakor_ReadTestData(uint32_t *result, uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        if (!result) return NAKOR_BAD_ARGUMENT;
        return nakor::export_code(nakor::area_word(t, NAKOR_XFER_WORD, NAKOR_AREA_TEST_DATA, result, timeout));
    });
}

NAKOR_API int32_t Nakor_SendTestData(uint32_t *result, uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        if (!result) return NAKOR_BAD_ARGUMENT;
        return nakor::export_code(nakor::area_word(t, NAKOR_XFER_FINISH, NAKOR_AREA_TEST_DATA, result, timeout));
    });
}

NAKOR_API int32_t Nakor_ReadTestDataEx(uint32_t length, const char *path, uint32_t timeout) {
    return nakor::area_to_file(NAKOR_AREA_TEST_DATA, length, path, timeout);
}

NAKOR_API int32_t Nakor_SendTestDataEx(uint32_t length, const char *path, uint32_t *result, uint32_t timeout) {
    return nakor::file_to_area(NAKOR_AREA_TEST_DATA, length, false, path, result, timeout);
}

NAKOR_API int32_t Nakor_SendFirmware(const char *path, uint32_t *result, uint32_t timeout) {
    return nakor::file_to_area(NAKOR_AREA_FIRMWARE, NAKOR_MAX_FILE_BYTES, true, path, result, timeout);
}

NAKOR_API int32_t Nakor_ReadDiagnosis(uint32_t length, const char *path, uint32_t timeout) {
    return nakor::area_to_file(NAKOR_AREA_DIAGNOSIS, length, path, timeout);
}
