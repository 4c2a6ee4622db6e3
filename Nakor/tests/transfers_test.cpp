// Test data, diagnosis records and firmware moved between files and the unit's data areas, and
// the files that cannot take part.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <numeric>
#include <string>

#include "belmo_sim.h"
#include "Nakor.h"
#include "usb_world.h"

namespace {

constexpr uint32_t T = 1000;

uint32_t sum(const std::string &bytes) {
    return std::accumulate(bytes.begin(), bytes.end(), 0u, [](uint32_t s, char c) { return s + static_cast<uint8_t>(c); });
}

std::string area(int which) {
    std::string bytes(static_cast<size_t>(belmo_sim_area(which, nullptr, 0)), '\0');
    belmo_sim_area(which, bytes.data(), bytes.size());
    return bytes;
}

// Bytes 0..255 over and over.
std::string pattern(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 13 + i / 256);
    return bytes;
}

class Transfers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Nakor_Init(), NAKOR_OK);
        ASSERT_EQ(Nakor_Open(0, T), NAKOR_OK);
    }
    void TearDown() override {
        (void)Nakor_Close(T);
        (void)Nakor_Exit();
    }
    usbtest::UsbWorld world_{"[usb]\ntest_word=0x12345678\n"};
};

TEST_F(Transfers, TestDataGoesOutInChunksAndComesBackWhole) {
    const std::string data = pattern(1000);  // three full chunks and a short one
    const std::string in = world_.write("in.bin", data + "tail beyond the length");
    uint32_t result = 0;
    ASSERT_EQ(Nakor_SendTestDataEx(1000, in.c_str(), &result, T), NAKOR_OK);
    EXPECT_TRUE(area(BELMO_SIM_AREA_TEST_DATA) == data);
    EXPECT_EQ(result, sum(data));
    const std::string out = world_.file("out.bin");
    ASSERT_EQ(Nakor_ReadTestDataEx(5000, out.c_str(), T), NAKOR_OK);  // the unit holds less
    EXPECT_TRUE(ksw::testing::read_text(out) == data);
    ASSERT_EQ(Nakor_ReadTestDataEx(256, out.c_str(), T), NAKOR_OK);
    EXPECT_TRUE(ksw::testing::read_text(out) == data.substr(0, 256));
    ASSERT_EQ(Nakor_SendTestData(&result, T), NAKOR_OK);
    EXPECT_EQ(result, sum(data));
    ASSERT_EQ(Nakor_ReadTestData(&result, T), NAKOR_OK);
    EXPECT_EQ(result, 0x12345678u);
}

TEST_F(Transfers, FirmwareIsSentWholeAndTheUnitRefusesMoreThanItHolds) {
    const std::string image = pattern(70000);
    uint32_t result = 0;
    ASSERT_EQ(Nakor_SendFirmware(world_.write("fw.bin", image).c_str(), &result, T), NAKOR_OK);
    EXPECT_TRUE(area(BELMO_SIM_AREA_FIRMWARE) == image);
    EXPECT_EQ(result, sum(image));
    const std::string too_big = world_.write("big.bin", std::string(1048577, 'x'));
    EXPECT_EQ(Nakor_SendFirmware(too_big.c_str(), &result, T), NAKOR_UNIT_ERROR);
    EXPECT_TRUE(area(BELMO_SIM_AREA_FIRMWARE) == image);  // refused at the start: the old image stays
}

TEST_F(Transfers, DiagnosisRecordsAreReadIntoAFile) {
    const std::string log = pattern(300);
    ASSERT_EQ(belmo_sim_set_area(BELMO_SIM_AREA_DIAGNOSIS, log.data(), log.size()), 0);
    const std::string out = world_.file("diag.bin");
    ASSERT_EQ(Nakor_ReadDiagnosis(1000, out.c_str(), T), NAKOR_OK);
    EXPECT_TRUE(ksw::testing::read_text(out) == log);
    ASSERT_EQ(Nakor_ReadDiagnosis(0, out.c_str(), T), NAKOR_OK);
    EXPECT_EQ(ksw::testing::read_text(out), "");
}

TEST_F(Transfers, FilesThatCannotTakePartAreRefusedWithoutAHang) {
    uint32_t result = 0;
    const std::string fifo = world_.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const uint64_t before = belmo_sim_exchanges();
    EXPECT_EQ(Nakor_SendFirmware(fifo.c_str(), &result, T), NAKOR_BAD_ARGUMENT);
    EXPECT_EQ(Nakor_SendFirmware(world_.file("").c_str(), &result, T), NAKOR_BAD_ARGUMENT);  // a folder
    EXPECT_EQ(Nakor_SendFirmware(world_.file("missing").c_str(), &result, T), NAKOR_BAD_ARGUMENT);
    EXPECT_EQ(Nakor_SendFirmware("", &result, T), NAKOR_BAD_ARGUMENT);
    EXPECT_EQ(Nakor_SendTestDataEx(NAKOR_MAX_FILE_BYTES + 1, world_.write("x", "x").c_str(), &result, T),
              NAKOR_BAD_ARGUMENT);
    EXPECT_EQ(Nakor_ReadTestDataEx(10, nullptr, T), NAKOR_BAD_ARGUMENT);
    EXPECT_EQ(belmo_sim_exchanges(), before);
    // The data is read from the unit, but the file cannot be written: a folder stands there.
    EXPECT_EQ(Nakor_ReadTestDataEx(10, world_.file("").c_str(), T), NAKOR_FAILED);
}

TEST_F(Transfers, ATransferCutOffByAPulledCableIsRepeatedWholeOnceTheUnitIsBack) {
    const std::string data = pattern(600);
    const std::string in = world_.write("in.bin", data);
    uint32_t result = 0;
    belmo_sim_unplug_after(2);  // the start and the first chunk get through
    EXPECT_EQ(Nakor_SendTestDataEx(600, in.c_str(), &result, T), NAKOR_FAILED);
    EXPECT_EQ(area(BELMO_SIM_AREA_TEST_DATA).size(), 256u);
    ASSERT_EQ(Nakor_Close(T), NAKOR_OK);
    belmo_sim_set_present(1);
    ASSERT_EQ(Nakor_Open(0, T), NAKOR_OK);
    ASSERT_EQ(Nakor_SendTestDataEx(600, in.c_str(), &result, T), NAKOR_OK);
    EXPECT_TRUE(area(BELMO_SIM_AREA_TEST_DATA) == data);
    EXPECT_EQ(result, sum(data));
}

}  // namespace
