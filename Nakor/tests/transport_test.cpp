// The transport through the stand-in library and its simulated unit: states, the command blocks
// as the unit receives them, the product's EVR memory behind them, and every way an exchange can
// fail.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "Belmo.h"
#include "belmo_sim.h"
#include "Nakor.h"
#include "usb_world.h"

namespace {

using usbtest::evr;
using usbtest::UsbWorld;

constexpr uint32_t T = 1000;

// A world with a unit, and the transport initialised (and opened when `open`).
class Transport : public ::testing::Test {
protected:
    void start(const std::string &scenario = "", bool open = true) {
        world_ = std::make_unique<UsbWorld>(scenario);
        ASSERT_EQ(Nakor_Init(), NAKOR_OK);
        if (open) {
            ASSERT_EQ(Nakor_Open(0, T), NAKOR_OK);
        }
    }
    void TearDown() override {
        belmo_sim_clear_faults();
        (void)Nakor_Close(T);
        (void)Nakor_Exit();
        world_.reset();
    }
    // The data bytes of the last command block the unit received.
    static std::vector<uint8_t> last_command() {
        std::vector<uint8_t> block(512);
        block.resize(belmo_sim_last_command(block.data(), block.size()));
        return block;
    }
    // Word `index` of a block.
    static uint32_t word(const std::vector<uint8_t> &block, size_t index) {
        uint32_t v = 0;
        for (size_t i = 4; i-- > 0;) v = v << 8 | block.at(4 * index + i);
        return v;
    }
    std::unique_ptr<UsbWorld> world_;
};

TEST_F(Transport, StatesRefuseCallsOutOfOrder) {
    UsbWorld world;
    uint8_t byte = 0;
    EXPECT_EQ(Nakor_Exit(), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_Open(0, T), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_GetByte(1, 0, 0, &byte, T), NAKOR_WRONG_STATE);
    ASSERT_EQ(Nakor_Init(), NAKOR_OK);
    EXPECT_EQ(Nakor_Init(), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_Close(T), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_Nop(T), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_Open(3, T), NAKOR_BAD_ARGUMENT);
    ASSERT_EQ(Nakor_Open(0, T), NAKOR_OK);
    EXPECT_EQ(Nakor_Open(0, T), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_Exit(), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_GetByte(1, 0, 0, nullptr, T), NAKOR_BAD_ARGUMENT);
    EXPECT_EQ(Nakor_Close(T), NAKOR_OK);
    EXPECT_EQ(Nakor_Exit(), NAKOR_OK);
}

TEST_F(Transport, OpenWithoutAUnitOfTheKindGivesOneAndStaysInitialised) {
    start("[usb]\nkind=1\n", false);
    EXPECT_EQ(Nakor_Open(0, T), NAKOR_NO_UNIT);
    EXPECT_EQ(Nakor_Nop(T), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_Open(1, T), NAKOR_OK);
    EXPECT_EQ(Nakor_Nop(T), NAKOR_OK);
    EXPECT_EQ(belmo_sim_last_timeout(), T);
}

TEST_F(Transport, BytesAndWordsReachTheProductsEvrMemoryInTheirByteOrders) {
    start();
    ASSERT_EQ(Nakor_SetByte(1, 7, 0x20, 0xA5, T), NAKOR_OK);
    EXPECT_EQ(evr(JIGSIM_RAM, 7, 0x20), 0xA5);
    EXPECT_EQ(evr(JIGSIM_EEPROM, 7, 0x20), 0);

    ASSERT_EQ(Nakor_SetWord(0, 1, 2, 0x1234, T), NAKOR_OK);
    std::vector<uint8_t> sent = last_command();
    ASSERT_EQ(sent.size(), 292u);
    EXPECT_EQ(sent[36], 0x34);
    EXPECT_EQ(sent[37], 0x12);
    ASSERT_EQ(Nakor_SetWordMM(0, 1, 4, 0x1234, T), NAKOR_OK);
    sent = last_command();
    EXPECT_EQ(sent[36], 0x12);
    EXPECT_EQ(sent[37], 0x34);
    EXPECT_EQ(evr(JIGSIM_EEPROM, 1, 2), 0x34);
    EXPECT_EQ(evr(JIGSIM_EEPROM, 1, 3), 0x12);

    uint16_t word = 0;
    ASSERT_EQ(Nakor_GetWord(0, 1, 2, &word, T), NAKOR_OK);
    EXPECT_EQ(word, 0x1234);
    ASSERT_EQ(Nakor_GetWordMM(0, 1, 2, &word, T), NAKOR_OK);
    EXPECT_EQ(word, 0x3412);
    jigsim_evr_write(JIGSIM_RAM, 9, 255, 0xBEEF);  // 16-bit cell: the unit carries its low byte
    uint8_t byte = 0;
    ASSERT_EQ(Nakor_GetByte(1, 9, 255, &byte, T), NAKOR_OK);
    EXPECT_EQ(byte, 0xEF);
}

TEST_F(Transport, MemoryBlocksCarryTheirParametersAndLengths) {
    start();
    std::array<uint8_t, 256> data{};
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(255 - i);
    uint32_t done = 0;
    EXPECT_EQ(Nakor_WriteMemory(1, 3, 0, 257, data.data(), &done, T), NAKOR_BAD_ARGUMENT);
    ASSERT_EQ(Nakor_WriteMemory(1, 3, 0, 256, data.data(), &done, T), NAKOR_OK);
    EXPECT_EQ(done, 256u);
    EXPECT_EQ(evr(JIGSIM_RAM, 3, 255), 0);
    EXPECT_EQ(evr(JIGSIM_RAM, 3, 1), 254);
    jigsim_evr_write(JIGSIM_RAM, 4, 0, 0x77);
    std::array<uint8_t, 256> back{};
    ASSERT_EQ(Nakor_ReadMemory(1, 3, 250, 16, back.data(), &done, T), NAKOR_OK);  // runs on into page 4
    EXPECT_EQ(done, 16u);
    EXPECT_EQ(back[0], 5);
    EXPECT_EQ(back[5], 0);
    EXPECT_EQ(back[6], 0x77);
    const std::vector<uint8_t> sent = last_command();
    EXPECT_EQ(std::vector<uint32_t>({word(sent, 0), word(sent, 4), word(sent, 5), word(sent, 6), word(sent, 7),
                                     word(sent, 8)}),
              std::vector<uint32_t>({0x001A0002, 2, 1, 3, 250, 16}));
    uint32_t pages = 0, size = 0, bits = 0;
    ASSERT_EQ(Nakor_GetMemInfo(0, &pages, &size, &bits, T), NAKOR_OK);
    EXPECT_EQ(std::vector<uint32_t>({pages, size, bits}), std::vector<uint32_t>({256, 256, 8}));
}

TEST_F(Transport, FunctionDataUpTo256BytesIsSentWhole) {
    start();
    std::array<uint8_t, 257> data{};
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    std::array<uint8_t, 256> result{};
    uint32_t length = 0;
    const uint64_t before = belmo_sim_exchanges();
    EXPECT_EQ(Nakor_FunctionEx(0, data.data(), 257, result.data(), &length, T), NAKOR_BAD_ARGUMENT);
    EXPECT_EQ(belmo_sim_exchanges(), before);
    ASSERT_EQ(Nakor_FunctionEx(0, data.data(), 256, result.data(), &length, T), NAKOR_OK);  // 0 echoes
    EXPECT_EQ(length, 256u);
    EXPECT_TRUE(std::equal(result.begin(), result.end(), data.begin()));
    EXPECT_EQ(word(last_command(), 6), 256u);  // P1
    jigsim_evr_write(JIGSIM_EEPROM, 0, 0, 0x55);
    ASSERT_EQ(Nakor_Function(1, 0, T), NAKOR_OK);  // 1 copies the EEPROM into RAM
    EXPECT_EQ(evr(JIGSIM_RAM, 0, 0), 0x55);
    EXPECT_EQ(Nakor_Function(99, 0, T), NAKOR_BAD_ARGUMENT);  // unknown: the unit's detail 3
}

TEST_F(Transport, InquiryAsksTheSevenItemsInOrderAndDiagnoseCopiesCodeAndData) {
    start("[usb]\nitem1=a\nitem2=b\nitem4=c\nitem8=d\nitem16=e\nitem32=f\nitem64=g\ndiagnosis=7\n"
          "diagnosis_data=9,8,7,6,5,4,3,2,1,0,1,2\n");
    std::array<std::array<uint16_t, NAKOR_TEXT_CAPACITY>, 7> texts{};
    EXPECT_EQ(Nakor_Inquiry(texts[0].data(), texts[1].data(), texts[2].data(), texts[3].data(), texts[4].data(),
                            nullptr, texts[6].data(), T),
              NAKOR_BAD_ARGUMENT);
    ASSERT_EQ(Nakor_Inquiry(texts[0].data(), texts[1].data(), texts[2].data(), texts[3].data(), texts[4].data(),
                            texts[5].data(), texts[6].data(), T),
              NAKOR_OK);
    std::string order;
    for (const auto &t : texts) {
        order += static_cast<char>(t[0]);
        EXPECT_EQ(t[1], 0);
    }
    EXPECT_EQ(order, "abcfedg");  // items 1, 2, 4, 32, 16, 8, 64
    uint32_t code = 0;
    uint8_t data[12] = {};
    ASSERT_EQ(Nakor_Diagnose(&code, data, T), NAKOR_OK);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(data[0], 9);
    EXPECT_EQ(data[11], 2);
}

// Every operation that carries an exchange, with valid arguments.
std::vector<std::function<int32_t()>> every_exchange() {
    static std::array<uint8_t, 256> buf{};
    static std::array<std::array<uint16_t, NAKOR_TEXT_CAPACITY>, 7> texts{};
    static uint32_t n = 0, a = 0, b = 0;
    static uint16_t w = 0;
    return {
        [] { return Nakor_Nop(T); },
        [] { return Nakor_Diagnose(&n, buf.data(), T); },
        [] { return Nakor_GetMemInfo(0, &n, &a, &b, T); },
        [] { return Nakor_ReadMemory(1, 0, 0, 4, buf.data(), &n, T); },
        [] { return Nakor_WriteMemory(1, 0, 0, 4, buf.data(), &n, T); },
        [] { return Nakor_FunctionEx(0, buf.data(), 4, buf.data(), &n, T); },
        [] { return Nakor_Function(0, 1, T); },
        [] { return Nakor_GetByte(1, 0, 0, buf.data(), T); },
        [] { return Nakor_SetByte(1, 0, 0, 1, T); },
        [] { return Nakor_GetWord(1, 0, 0, &w, T); },
        [] { return Nakor_SetWordMM(1, 0, 0, 1, T); },
        [] { return Nakor_ReadTestData(&n, T); },
        [] { return Nakor_SendTestData(&n, T); },
        [] {
            auto &t = texts;
            return Nakor_Inquiry(t[0].data(), t[1].data(), t[2].data(), t[3].data(), t[4].data(), t[5].data(),
                                 t[6].data(), T);
        },
    };
}

TEST_F(Transport, AWrongEchoAndTheUnitsErrorsGiveTheirCodesFromEveryOperation) {
    start();
    const auto ops = every_exchange();
    for (size_t i = 0; i < ops.size(); ++i) {
        belmo_sim_bad_echo(1);
        EXPECT_EQ(ops[i](), NAKOR_BAD_ARGUMENT) << "operation " << i;
        belmo_sim_unit_error(3, 1);
        EXPECT_EQ(ops[i](), NAKOR_BAD_ARGUMENT) << "operation " << i;
        belmo_sim_unit_error(1, 1);
        EXPECT_EQ(ops[i](), NAKOR_UNIT_ERROR) << "operation " << i;
        EXPECT_EQ(ops[i](), NAKOR_OK) << "operation " << i;
    }
}

TEST_F(Transport, EveryLowerLibraryCodeOfAFailedTransferMapsToItsExportCode) {
    start();
    // Code 0 is a library that failed without saying why: still a failure, never success.
    const std::vector<std::pair<int32_t, int32_t>> table{{0, 8}, {1, 4}, {2, 3}, {3, 2}, {4, 5}, {5, 8}, {6, 8}, {-1, 8}};
    for (const auto &[code, expected] : table) {
        for (const int call : {BELMO_SIM_CALL_WRITE, BELMO_SIM_CALL_READ}) {
            belmo_sim_lower_error(call, code, 1);
            EXPECT_EQ(Nakor_SetByte(1, 0, 0, 1, T), expected) << "code " << code << " call " << call;
        }
    }
    belmo_sim_timeout(1);
    EXPECT_EQ(Nakor_Nop(T), NAKOR_TIMEOUT);
    EXPECT_EQ(Nakor_Nop(T), NAKOR_OK);  // the session stayed open

    belmo_sim_lower_error(BELMO_SIM_CALL_CLOSE, 4, 1);
    EXPECT_EQ(Nakor_Close(T), NAKOR_TIMEOUT);
    EXPECT_EQ(Nakor_Nop(T), NAKOR_OK);
    ASSERT_EQ(Nakor_Close(T), NAKOR_OK);
    belmo_sim_lower_error(BELMO_SIM_CALL_ENUM, 1, 1);
    EXPECT_EQ(Nakor_Open(0, T), NAKOR_NO_MEMORY);
    belmo_sim_lower_error(BELMO_SIM_CALL_OPEN, 1, 1);
    EXPECT_EQ(Nakor_Open(0, T), NAKOR_NO_UNIT);
    EXPECT_EQ(Nakor_Open(0, T), NAKOR_OK);
}

TEST_F(Transport, AUnitPulledOutMidSessionFailsUntilClosedAndOpensAgainOnceBack) {
    start();
    belmo_sim_unplug_after(2);
    EXPECT_EQ(Nakor_Nop(T), NAKOR_OK);
    EXPECT_EQ(Nakor_SetByte(1, 0, 1, 0x42, T), NAKOR_OK);
    uint8_t byte = 0;
    EXPECT_EQ(Nakor_GetByte(1, 0, 1, &byte, T), NAKOR_FAILED);
    EXPECT_EQ(Nakor_Close(T), NAKOR_OK);
    EXPECT_EQ(Nakor_Open(0, T), NAKOR_NO_UNIT);
    belmo_sim_set_present(1);
    ASSERT_EQ(Nakor_Open(0, T), NAKOR_OK);
    EXPECT_EQ(Nakor_GetByte(1, 0, 1, &byte, T), NAKOR_OK);
    EXPECT_EQ(byte, 0x42);
}

TEST_F(Transport, ALowerLibraryThatDoesNotStartIsUnloadedAndTriedAgain) {
    world_ = std::make_unique<UsbWorld>();
    belmo_sim_lower_error(BELMO_SIM_CALL_INIT, 1, 1);
    EXPECT_EQ(Nakor_Init(), NAKOR_NO_MEMORY);
    belmo_sim_lower_error(BELMO_SIM_CALL_INIT, 5, 1);
    EXPECT_EQ(Nakor_Init(), NAKOR_FAILED);
    EXPECT_EQ(Nakor_Exit(), NAKOR_WRONG_STATE);
    EXPECT_EQ(Nakor_Init(), NAKOR_OK);
}

TEST_F(Transport, ALibraryWithoutTheTransferFunctionsIsNotBound) {
    UsbWorld world;
    ksw::testing::TempDir impostor;
    std::filesystem::copy_file(NAKOR_LIBRARY, impostor.file("libBelmo.so"));  // no BELMO_ functions
    {
        ksw::testing::ScopedEnv path("KSW_LIBRARY_PATH", impostor.path());
        EXPECT_EQ(Nakor_Init(), NAKOR_NO_LIBRARY);
        EXPECT_EQ(Nakor_Exit(), NAKOR_WRONG_STATE);
    }
    EXPECT_EQ(Nakor_Init(), NAKOR_OK);
    EXPECT_EQ(Nakor_Exit(), NAKOR_OK);
}

}  // namespace
