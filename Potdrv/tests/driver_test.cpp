// The EVR driver as the main program binds it: loaded by name for each test and unloaded after
// it, on the real transport, the stand-in USB library and its simulated unit.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "belmo_sim.h"
#include "Nakor.h"
#include "Potdrv.h"
#include "usb_world.h"

namespace {

using usbtest::evr;
using usbtest::UsbWorld;

// The driver's functions, bound by name from a freshly loaded library.
struct Driver {
    Driver() : lib(dlopen(POTDRV_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {
        if (!lib) return;
        open = reinterpret_cast<EvrOpenFn>(dlsym(lib, "EVROpen"));
        close = reinterpret_cast<EvrCloseFn>(dlsym(lib, "EVRClose"));
        version = reinterpret_cast<EvrGetVersionFn>(dlsym(lib, "EVRGetVersion"));
        type = reinterpret_cast<EvrGetTypeFn>(dlsym(lib, "EVRGetType"));
        page = reinterpret_cast<EvrPageFn>(dlsym(lib, "EVRPage"));
        rom_read = reinterpret_cast<EvrReadFn>(dlsym(lib, "EVRROMRead"));
        ram_read = reinterpret_cast<EvrReadFn>(dlsym(lib, "EVRRAMRead"));
        ram_write = reinterpret_cast<EvrWriteFn>(dlsym(lib, "EVRRAMWrite"));
        eep_write = reinterpret_cast<EvrWriteFn>(dlsym(lib, "EVREEPWrite"));
        eep_verify = reinterpret_cast<EvrWriteFn>(dlsym(lib, "EVREEPWriteVerify"));
        function = reinterpret_cast<EvrFunctionFn>(dlsym(lib, "EVRFunction"));
    }
    ~Driver() {
        if (lib) dlclose(lib);
    }
    bool complete() const {
        return open && close && version && type && page && rom_read && ram_read && ram_write && eep_write &&
               eep_verify && function;
    }
    // EVRFunction with a record of up to five words.
    int32_t call(int32_t kind, std::array<EvrWord, 5> record) const { return function(-1, kind, record.data()); }
    // Kind 0 with a sub-function and V.
    int32_t connection(uint32_t sub, std::array<uint16_t, 2> &v) const {
        return call(0, {static_cast<EvrWord>(sub), reinterpret_cast<EvrWord>(v.data())});
    }
    // Kind 3 with K, IN, N, OUT and M.
    int32_t service(uint32_t k, const uint16_t *in, uint32_t n, uint16_t *out, int32_t m) const {
        m_value = m;
        return call(3, {static_cast<EvrWord>(k), reinterpret_cast<EvrWord>(in), static_cast<EvrWord>(n),
                        reinterpret_cast<EvrWord>(out), reinterpret_cast<EvrWord>(&m_value)});
    }
    int32_t read(int32_t address, bool rom = false) const {
        int32_t value = -7;
        const int32_t r = (rom ? rom_read : ram_read)(-1, address, &value);
        return r == EVR_OK ? value : -1000 - r;
    }

    void *lib;
    EvrOpenFn open = nullptr;
    EvrCloseFn close = nullptr;
    EvrGetVersionFn version = nullptr;
    EvrGetTypeFn type = nullptr;
    EvrPageFn page = nullptr;
    EvrReadFn rom_read = nullptr;
    EvrReadFn ram_read = nullptr;
    EvrWriteFn ram_write = nullptr;
    EvrWriteFn eep_write = nullptr;
    EvrWriteFn eep_verify = nullptr;
    EvrFunctionFn function = nullptr;
    mutable int32_t m_value = 0;
};

class EvrDriver : public ::testing::Test {
protected:
    // A world from `scenario`, the driver loaded, and (when `open`) a session on unit kind 0.
    void start(const std::string &scenario = "", bool open = true) {
        world_ = std::make_unique<UsbWorld>(scenario);
        d_ = std::make_unique<Driver>();
        ASSERT_TRUE(d_->complete()) << dlerror();
        if (open) {
            ASSERT_EQ(d_->open(0, &kKind0), 1);
        }
    }
    void TearDown() override {
        d_.reset();  // unloading ends the transport's use: every test starts from state 0
        world_.reset();
    }
    static constexpr int32_t kKind0 = 0;
    std::unique_ptr<UsbWorld> world_;
    std::unique_ptr<Driver> d_;
};

TEST_F(EvrDriver, ReportsItsVersionFromItsVersionTextAndItsType) {
    start("", false);
    EXPECT_EQ(d_->version(), 0x107);
    EXPECT_EQ(d_->type(), 3);
}

TEST_F(EvrDriver, OpensOnlyAUnitOfTheKindAskedFor) {
    start("[usb]\nkind=2\n", false);
    EXPECT_EQ(d_->open(0, &kKind0), 0);
    EXPECT_EQ(d_->open(0, nullptr), 0);
    std::array<uint16_t, 2> v{0, 0xFFFF};
    EXPECT_EQ(d_->connection(3, v), EVR_OK);
    EXPECT_EQ(v[1], NAKOR_NO_UNIT);
    EXPECT_EQ(d_->close(), NAKOR_OK);  // nothing open
    v = {2, 0xFFFF};
    EXPECT_EQ(d_->connection(3, v), EVR_OK);
    EXPECT_EQ(v[1], NAKOR_OK);
    EXPECT_EQ(d_->read(0), 0);
}

TEST_F(EvrDriver, OpeningTwiceClosesTheFirstSessionBeforeTheSecond) {
    start();
    EXPECT_EQ(d_->open(0, &kKind0), 1);  // the unit serves one session: the first was closed
    EXPECT_EQ(belmo_sim_open_sessions(), 1);
    std::array<uint16_t, 2> v{0, 0};
    EXPECT_EQ(d_->connection(0, v), EVR_OK);
    EXPECT_EQ(belmo_sim_open_sessions(), 1);
    EXPECT_EQ(d_->connection(1, v), EVR_OK);
    EXPECT_EQ(belmo_sim_open_sessions(), 0);
    EXPECT_EQ(d_->read(0), -1000 - EVR_FAILED);  // closed: the transport refuses
}

TEST_F(EvrDriver, BytesGoToTheCurrentPageAtTheirAddressModulo256) {
    start();
    jigsim_evr_write(JIGSIM_EEPROM, 3, 255, 0xAB);
    jigsim_evr_write(JIGSIM_RAM, 3, 255, 0xCD);
    EXPECT_EQ(d_->page(-1, 3), EVR_OK);
    EXPECT_EQ(d_->read(511, true), 0xAB);
    EXPECT_EQ(d_->read(-1), 0xCD);
    EXPECT_EQ(d_->ram_write(-1, 0x110, 0x1234), EVR_OK);
    EXPECT_EQ(evr(JIGSIM_RAM, 3, 0x10), 0x34);
    EXPECT_EQ(d_->eep_write(-1, 5, 7), EVR_OK);
    EXPECT_EQ(evr(JIGSIM_EEPROM, 3, 5), 7);
    EXPECT_EQ(evr(JIGSIM_RAM, 3, 5), 0);
    EXPECT_EQ(d_->eep_verify(-1, 6, 0x100), -1);  // the low byte is written, 0 reads back
    EXPECT_EQ(evr(JIGSIM_EEPROM, 3, 6), 0);
    EXPECT_EQ(d_->eep_verify(-1, 6, 0x42), EVR_OK);
    EXPECT_EQ(d_->rom_read(-1, 0, nullptr), EVR_BAD_ARGUMENT);
    EXPECT_EQ(d_->page(-1, 256), EVR_OK);
    EXPECT_EQ(d_->read(0), -1000 - EVR_BAD_ARGUMENT);  // the unit refuses page 256
    EXPECT_EQ(d_->eep_verify(-1, 6, 1), EVR_BAD_ARGUMENT);
}

TEST_F(EvrDriver, TheTimeOutIsSetInTwoHalvesAndReachesTheLowerLibrary) {
    start();
    EXPECT_EQ(d_->read(0), 0);
    EXPECT_EQ(belmo_sim_last_timeout(), 10000u);
    std::array<uint16_t, 2> v{1, 34464};
    EXPECT_EQ(d_->connection(2, v), EVR_OK);
    EXPECT_EQ(d_->read(0), 0);
    EXPECT_EQ(belmo_sim_last_timeout(), 100000u);
    belmo_sim_set_latency(20000);
    v = {0, 5};
    EXPECT_EQ(d_->connection(2, v), EVR_OK);
    EXPECT_EQ(d_->read(0), -1000 - EVR_TIMEOUT);
}

TEST_F(EvrDriver, KindsAboveThreeAndUnknownSubFunctionsDoNothing) {
    start();
    const uint64_t before = belmo_sim_exchanges();
    EXPECT_EQ(d_->function(-1, 4, nullptr), EVR_OK);
    EXPECT_EQ(d_->function(-1, -1, nullptr), EVR_OK);
    EXPECT_EQ(d_->function(-1, 0, nullptr), EVR_BAD_ARGUMENT);
    std::array<uint16_t, 2> v{7, 7};
    EXPECT_EQ(d_->connection(4, v), EVR_OK);
    uint16_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(d_->service(47, out, 1, out, 4), EVR_OK);  // service 7 knows 7, 17, 27, 37 only
    EXPECT_EQ(belmo_sim_exchanges(), before);
    EXPECT_EQ(v, (std::array<uint16_t, 2>{7, 7}));
    EXPECT_EQ(out[0], 9);
}

TEST_F(EvrDriver, EveryTransportCodeBecomesItsDriverCode) {
    start();
    const std::vector<std::pair<std::function<void()>, int32_t>> cases{
        {[] { belmo_sim_unit_error(1, 1); }, EVR_UNIT_ERROR},                    // 2
        {[] { belmo_sim_bad_echo(1); }, EVR_BAD_ARGUMENT},                       // 3
        {[] { belmo_sim_lower_error(BELMO_SIM_CALL_READ, 1, 1); }, EVR_OUT_OF_MEMORY},  // 4
        {[] { belmo_sim_lower_error(BELMO_SIM_CALL_WRITE, 4, 1); }, EVR_TIMEOUT},       // 5
        {[] { belmo_sim_lower_error(BELMO_SIM_CALL_WRITE, 5, 1); }, EVR_FAILED},        // 8
    };
    for (const auto &[inject, expected] : cases) {
        inject();
        EXPECT_EQ(d_->ram_write(-1, 1, 1), expected);
        EXPECT_EQ(d_->ram_write(-1, 1, 1), EVR_OK);
    }
    std::array<uint16_t, 2> v{1, 0};
    belmo_sim_set_kind(2);
    EXPECT_EQ(d_->connection(0, v), EVR_FAILED);     // 1: no unit of kind 1
    EXPECT_EQ(d_->ram_write(-1, 1, 1), EVR_FAILED);  // 7: no session
}

TEST_F(EvrDriver, ATransportWhoseLowerLibraryCannotBeBoundIsAFailure) {
    ksw::testing::TempDir impostor;
    std::filesystem::copy_file(NAKOR_LIBRARY, impostor.file("libBelmo.so"));  // no BELMO_ functions
    start("", false);
    ksw::testing::ScopedEnv path("KSW_LIBRARY_PATH", impostor.path());
    EXPECT_EQ(d_->open(0, &kKind0), 0);
    std::array<uint16_t, 2> v{0, 0};
    EXPECT_EQ(d_->connection(0, v), EVR_FAILED);
    EXPECT_EQ(d_->connection(3, v), EVR_OK);
    EXPECT_EQ(v[1], NAKOR_NO_LIBRARY);
}

TEST_F(EvrDriver, APulledCableFailsUntilClosedAndALaterOpenWorks) {
    start();
    belmo_sim_unplug_after(1);
    EXPECT_EQ(d_->ram_write(-1, 9, 0x5A), EVR_OK);
    EXPECT_EQ(d_->read(9), -1000 - EVR_FAILED);
    EXPECT_EQ(d_->eep_write(-1, 9, 1), EVR_FAILED);
    EXPECT_EQ(d_->close(), NAKOR_OK);
    EXPECT_EQ(d_->open(0, &kKind0), 0);
    belmo_sim_set_present(1);
    EXPECT_EQ(d_->open(0, &kKind0), 1);
    EXPECT_EQ(d_->read(9), 0x5A);
}

TEST_F(EvrDriver, UnloadingClosesTheSessionAndEndsTheTransportsUse) {
    start();
    d_.reset();
    EXPECT_EQ(belmo_sim_open_sessions(), 0);
    EXPECT_EQ(Nakor_Init(), NAKOR_OK);  // state 0 again
    EXPECT_EQ(Nakor_Exit(), NAKOR_OK);
}

TEST_F(EvrDriver, UnitFunctionsSendLowBytesAndReturnWhatFitsTheCapacity) {
    start();
    std::vector<uint16_t> in(257, 0x44);
    in[0] = 0x141, in[1] = 0x42, in[2] = 0x43;
    uint16_t out[4] = {9, 9, 9, 9};
    int32_t count = 2;
    auto record = [&](uint32_t n, int32_t *c) {
        return std::array<EvrWord, 5>{0, reinterpret_cast<EvrWord>(in.data()), static_cast<EvrWord>(n),
                                      reinterpret_cast<EvrWord>(out), reinterpret_cast<EvrWord>(c)};
    };
    ASSERT_EQ(d_->call(2, record(3, &count)), EVR_OK);  // function 0 echoes
    EXPECT_EQ(std::vector<uint16_t>(out, out + 4), (std::vector<uint16_t>{0x41, 0x42, 9, 9}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(d_->call(2, record(257, &count)), EVR_BAD_ARGUMENT);
    EXPECT_EQ(d_->call(2, record(3, nullptr)), EVR_BAD_ARGUMENT);
    jigsim_evr_write(JIGSIM_EEPROM, 0, 1, 0x66);
    EXPECT_EQ(d_->call(1, {1, 0x300}), EVR_OK);  // function 1 loads the RAM from the EEPROM
    EXPECT_EQ(evr(JIGSIM_RAM, 0, 1), 0x66);
}

TEST_F(EvrDriver, MemoryServicesReadAndWriteBlocksAndWordsOfTheCurrentPage) {
    start();
    d_->page(-1, 2);
    const uint16_t bytes[3] = {0x101, 2, 3};
    ASSERT_EQ(d_->service(12, bytes, 3, nullptr, 0x20), EVR_OK);  // RAM write at M = 0x20
    EXPECT_EQ(evr(JIGSIM_RAM, 2, 0x20), 1);
    EXPECT_EQ(evr(JIGSIM_RAM, 2, 0x22), 3);
    uint16_t out[5] = {9, 9, 9, 9, 9};
    ASSERT_EQ(d_->service(11, nullptr, 0x1F, out, 4), EVR_OK);  // RAM read of M = 4 from N = 0x1F
    EXPECT_EQ(std::vector<uint16_t>(out, out + 5), (std::vector<uint16_t>{0, 1, 2, 3, 9}));
    ASSERT_EQ(d_->service(18, nullptr, 0x21, out, 0), EVR_OK);  // RAM word at N, low byte first
    EXPECT_EQ(out[0], 0x0302);
    const uint16_t word[1] = {0xBEEF};
    ASSERT_EQ(d_->service(9, word, 0, nullptr, 0x30), EVR_OK);  // ROM word at M
    EXPECT_EQ(evr(JIGSIM_EEPROM, 2, 0x30), 0xEF);
    EXPECT_EQ(evr(JIGSIM_EEPROM, 2, 0x31), 0xBE);
    EXPECT_EQ(d_->service(1, nullptr, 0, nullptr, 4), EVR_BAD_ARGUMENT);
    EXPECT_EQ(d_->service(1, nullptr, 0, out, 257), EVR_BAD_ARGUMENT);
    EXPECT_EQ(d_->service(21, nullptr, 0, out, 1), EVR_BAD_ARGUMENT);  // no memory 2
}

TEST_F(EvrDriver, UnitServicesFillTheirOutputsAsFarAsMAllows) {
    start("[usb]\ndiagnosis=7\ndiagnosis_data=1,2,3,4\ntest_word=0x12345678\n");
    std::vector<uint16_t> out(7 * 256, 9);
    ASSERT_EQ(d_->service(3, nullptr, 0, out.data(), 5), EVR_OK);
    EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 4), (std::vector<uint16_t>{256, 256, 8, 9}));
    ASSERT_EQ(d_->service(5, nullptr, 0, out.data(), 3), EVR_OK);
    EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 4), (std::vector<uint16_t>{7, 1, 2, 9}));
    ASSERT_EQ(d_->service(6, nullptr, 0, out.data(), 0), EVR_OK);
    EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 2), (std::vector<uint16_t>{0x5678, 0x1234}));
    ASSERT_EQ(d_->service(4, nullptr, 0, nullptr, 0), EVR_OK);
    ASSERT_EQ(d_->service(0, nullptr, 0, out.data(), 0), EVR_OK);
    EXPECT_EQ(out[0], 'O');      // item 1 of the default unit, "Orvane"
    EXPECT_EQ(out[256], 'U');    // item 2, "USB jig unit"
    EXPECT_EQ(out[5 * 256], '0');  // the sixth text is item 8, "0"
}

TEST_F(EvrDriver, FileServicesTakeTheirPathFromInOneCharacterAValue) {
    start();
    const std::string data = "test data for the unit";
    const std::string path = world_->write("td.bin", data);
    std::vector<uint16_t> in(path.begin(), path.end());
    in.push_back(0);
    uint16_t out[2] = {};
    ASSERT_EQ(d_->service(17, in.data(), 100, out, 0), EVR_OK);
    uint32_t sum = 0;
    for (const char c : data) sum += static_cast<uint8_t>(c);
    EXPECT_EQ(out[0] | static_cast<uint32_t>(out[1]) << 16, sum);
    in[in.size() - 2] = 'x';  // .../td.bix
    ASSERT_EQ(d_->service(7, in.data(), 100, nullptr, 0), EVR_OK);
    EXPECT_EQ(ksw::testing::read_text(path.substr(0, path.size() - 1) + "x"), data);
    ASSERT_EQ(belmo_sim_set_area(BELMO_SIM_AREA_DIAGNOSIS, "log", 3), 0);
    ASSERT_EQ(d_->service(37, in.data(), 2, nullptr, 0), EVR_OK);  // two bytes of the records
    EXPECT_EQ(ksw::testing::read_text(path.substr(0, path.size() - 1) + "x"), "lo");
    in[3] = 0x141;  // a value above 255 ends the text: "/tm" is no file
    EXPECT_EQ(d_->service(27, in.data(), 0, out, 0), EVR_BAD_ARGUMENT);
}

TEST_F(EvrDriver, CallsFromTwoThreadsAreServedWhole) {
    start();
    auto worker = [&](int32_t base, int *failures) {
        for (int32_t i = 0; i < 200; ++i) {
            const int32_t address = base + i % 64;
            if (d_->ram_write(-1, address, i) != EVR_OK || d_->read(address) != (i & 0xFF)) ++*failures;
        }
    };
    int failures_a = 0, failures_b = 0;
    std::thread a(worker, 0, &failures_a), b(worker, 128, &failures_b);
    a.join();
    b.join();
    EXPECT_EQ(failures_a + failures_b, 0);
}

}  // namespace
