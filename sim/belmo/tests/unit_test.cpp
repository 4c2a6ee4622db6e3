// The stand-in library and its unit, driven with raw command blocks: the [usb] scenario keys,
// enumeration and sessions, the replies' bytes, and the unit on and off the cable.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <chrono>
#include <cstring>
#include <vector>

#include "Belmo.h"
#include "usb_world.h"

namespace {

using usbtest::UsbWorld;

using Bytes = std::vector<uint8_t>;

void put(Bytes &b, size_t word, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) b[4 * word + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t get(const Bytes &b, size_t word) {
    return b[4 * word] | b[4 * word + 1] << 8 | b[4 * word + 2] << 16 | static_cast<uint32_t>(b[4 * word + 3]) << 24;
}

// A library initialised, with a session on the unit of `kind`.
struct Session {
    explicit Session(uint32_t kind = 0) {
        EXPECT_EQ(BELMO_Init(0), 0);
        const uint32_t filter[3] = {kind, 0, 0};
        uint32_t ids[4] = {};
        count = BELMO_EnumDevice(filter, 12, ids, 4, 100);
        if (count == 1) handle = BELMO_OpenSession(ids[0], 0, 100);
        device = ids[0];
    }
    ~Session() { BELMO_Exit(); }
    // Sends `command` and reads `reply_size` bytes; the count BELMO_ReadCmd gave.
    int32_t exchange(const Bytes &command, Bytes *reply, uint32_t timeout = 100) const {
        if (BELMO_WriteCmd(handle, command.data(), static_cast<uint32_t>(command.size()), timeout) != 0) return -2;
        return BELMO_ReadCmd(handle, reply->data(), static_cast<uint32_t>(reply->size()), timeout);
    }
    int32_t count = 0;
    uint32_t device = 0;
    uint32_t handle = 0;
};

Bytes memory_command(uint32_t sub, uint32_t selector, uint32_t page, uint32_t address, uint32_t length) {
    Bytes b(292);
    put(b, 0, 0x001A0002);
    put(b, 4, sub);
    put(b, 5, selector);
    put(b, 6, page);
    put(b, 7, address);
    put(b, 8, length);
    return b;
}

TEST(UsbScenario, KeysSetTheUnitAndBadValuesKeepTheirDefaults) {
    UsbWorld world("[usb]\nkind=2\nitem32=\"  fw 2.5 \"\ndiagnosis=0x11\ndiagnosis_data=1,2,0xFF\n"
                   "test_data=td.bin\nlatency_us=-1\nfail_call=sideways\nunit_error=x\n");
    EXPECT_EQ(world.problems, 4);
    EXPECT_NE(world.messages.find("[usb] latency_us: \"-1\" is not a whole number from 0 to 10000000"),
              std::string::npos);
    EXPECT_NE(world.messages.find("[usb] fail_call: \"sideways\""), std::string::npos);
    EXPECT_NE(world.messages.find("td.bin"), std::string::npos);  // missing file
    Session on_kind0(0);
    EXPECT_EQ(on_kind0.count, 0);
    BELMO_Exit();
    Session s(2);
    ASSERT_NE(s.handle, 0u);
    Bytes identify(32), text(512);
    put(identify, 0, 0x00150000);
    put(identify, 4, 32);
    ASSERT_EQ(s.exchange(identify, &text), 512);
    EXPECT_EQ(get(text, 1), 0u);
    const char expected[] = "  fw 2.5 ";
    for (size_t i = 0; i <= std::strlen(expected); ++i) EXPECT_EQ(text[16 + 2 * i] | text[17 + 2 * i] << 8, expected[i]);
    Bytes diagnose(32), diagnosis(32);
    put(diagnose, 0, 0x001A0001);
    ASSERT_EQ(s.exchange(diagnose, &diagnosis), 32);
    EXPECT_EQ(get(diagnosis, 4), 0x11u);
    EXPECT_EQ(Bytes(diagnosis.begin() + 20, diagnosis.end()), (Bytes{1, 2, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(UsbScenario, DataFilesAreReadBesideTheScenarioAndAFifoIsRefused) {
    UsbWorld fifo_world("[usb]\ndiagnosis_log=pipe\n");
    ASSERT_EQ(::mkfifo(fifo_world.file("pipe").c_str(), 0600), 0);
    EXPECT_EQ(belmo_sim_reset(), 1);  // refused at once, not waited on
    UsbWorld world("[usb]\ntest_data=td.bin\n");
    world.write("td.bin", "abc");
    belmo_sim_reset();
    char area[8] = {};
    ASSERT_EQ(belmo_sim_area(BELMO_SIM_AREA_TEST_DATA, area, sizeof area), 3);
    EXPECT_STREQ(area, "abc");
}

TEST(UsbSessions, OneSessionAUnitOfTheRightKindAndErrorsByHandle) {
    UsbWorld world;
    Session s;
    ASSERT_EQ(s.count, 1);
    ASSERT_NE(s.handle, 0u);
    EXPECT_EQ(BELMO_OpenSession(s.device, 0, 100), 0u);  // busy
    EXPECT_EQ(BELMO_GetLastError(0), BELMO_ERROR_DEVICE);
    EXPECT_EQ(BELMO_CloseSession(s.handle + 1), -1);
    EXPECT_EQ(BELMO_GetLastError(0), BELMO_ERROR_ARGUMENT);
    Bytes reply(32);
    EXPECT_EQ(BELMO_ReadCmd(s.handle, reply.data(), 32, 100), -1);  // nothing asked
    EXPECT_EQ(BELMO_GetLastError(s.handle), BELMO_ERROR_TIMEOUT);
    EXPECT_EQ(BELMO_CloseSession(s.handle), 0);
    EXPECT_EQ(belmo_sim_open_sessions(), 0);
}

TEST(UsbSessions, AUnitPulledOutFailsItsSessionWhichStillClosesAndComesBackUnderANewId) {
    UsbWorld world;
    Session s;
    Bytes nop(32), reply(32);
    put(nop, 0, 0x001A0000);
    belmo_sim_unplug_after(1);
    EXPECT_EQ(s.exchange(nop, &reply), 32);
    EXPECT_EQ(s.exchange(nop, &reply), -2);
    EXPECT_EQ(BELMO_GetLastError(s.handle), BELMO_ERROR_GONE);
    const uint32_t filter[3] = {0, 0, 0};
    uint32_t ids[2] = {};
    EXPECT_EQ(BELMO_EnumDevice(filter, 12, ids, 2, 100), 0);
    EXPECT_EQ(BELMO_CloseSession(s.handle), 0);
    belmo_sim_set_present(1);
    EXPECT_EQ(BELMO_EnumDevice(filter, 12, ids, 2, 100), 1);
    EXPECT_NE(ids[0], s.device);
    EXPECT_EQ(BELMO_OpenSession(s.device, 0, 100), 0u);
    EXPECT_NE(BELMO_OpenSession(ids[0], 0, 100), 0u);
}

TEST(UsbUnit, RefusesUnknownCommandsAndBadLengthsAndStopsAtTheEndOfMemory) {
    UsbWorld world;
    Session s;
    Bytes unknown(32), reply(292);
    put(unknown, 0, 0x00990000);
    ASSERT_EQ(s.exchange(unknown, &reply), 32);
    EXPECT_EQ(get(reply, 0), 0x00990000u);
    EXPECT_EQ(get(reply, 1), 1u);
    EXPECT_EQ(get(reply, 2), 3u);
    Bytes short_unit(100);
    put(short_unit, 0, 0x001A0002);
    ASSERT_EQ(s.exchange(short_unit, &reply), 292);
    EXPECT_EQ(get(reply, 2), 3u);

    jigsim_evr_write(JIGSIM_RAM, 255, 255, 0x1234);
    ASSERT_EQ(s.exchange(memory_command(2, 1, 255, 250, 10), &reply), 292);
    EXPECT_EQ(get(reply, 1), 0u);
    EXPECT_EQ(get(reply, 8), 6u);     // cells 0xFFFA..0xFFFF
    EXPECT_EQ(reply[36 + 5], 0x34);  // the low byte of the last cell
    ASSERT_EQ(s.exchange(memory_command(2, 2, 0, 0, 1), &reply), 292);
    EXPECT_EQ(get(reply, 2), 3u);  // no memory 2
    ASSERT_EQ(s.exchange(memory_command(3, 0, 256, 0, 1), &reply), 292);
    EXPECT_EQ(get(reply, 2), 3u);  // no page 256
}

TEST(UsbUnit, ALatencyLongerThanTheTimeOutTimesOutAfterTheTimeOut) {
    UsbWorld world("[usb]\nlatency_us=30000\n");
    Session s;
    Bytes nop(32), reply(32);
    put(nop, 0, 0x001A0000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.exchange(nop, &reply, 5), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5));
    EXPECT_EQ(BELMO_GetLastError(s.handle), BELMO_ERROR_TIMEOUT);
    EXPECT_EQ(s.exchange(nop, &reply, 100), 32);
}

}  // namespace
