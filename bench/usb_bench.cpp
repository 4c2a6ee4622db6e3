// EVR cell access through the whole USB chain (driver -> transport -> USB library -> simulated
// unit -> the product's EVR memory), the transport alone, and one command block exchanged with
// the USB library directly. The chain's own cost per exchange is the difference between the
// first and the last.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <string>

#include "Belmo.h"
#include "Nakor.h"
#include "Potdrv.h"
#include "belmo_sim.h"
#include "jigsim.h"
#include "nakor_blocks.h"
#include "platform/files.h"

namespace {

constexpr uint32_t T = 10000;

void fresh_unit() {
    // The stand-in library of this build: bin/../sim/lib.
    ::setenv("KSW_LIBRARY_PATH", (ksw::platform::executable_dir() + "/../sim/lib").c_str(), 1);
    jigsim_load(nullptr);
    belmo_sim_reset();
}

// The driver opened on unit kind 0 for the life of the object.
struct OpenDriver {
    OpenDriver() {
        fresh_unit();
        const int32_t kind = 0;
        ok = EVROpen(0, &kind) == 1;
    }
    ~OpenDriver() { (void)EVRClose(); }
    bool ok = false;
};

void BM_DriverCellRead(benchmark::State &state) {
    OpenDriver driver;
    if (!driver.ok) return state.SkipWithError("no unit");
    int32_t value = 0;
    int32_t address = 0;
    for (auto _ : state) {
        if (EVRRAMRead(0, address++, &value) != EVR_OK) return state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DriverCellRead);

void BM_DriverCellWrite(benchmark::State &state) {
    OpenDriver driver;
    if (!driver.ok) return state.SkipWithError("no unit");
    int32_t address = 0;
    for (auto _ : state) {
        if (EVRRAMWrite(0, address, address & 0xFF) != EVR_OK) return state.SkipWithError("write failed");
        ++address;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DriverCellWrite);

void BM_DriverPageRead(benchmark::State &state) {  // 256 cells in one exchange (EVRFunction kind 3)
    OpenDriver driver;
    if (!driver.ok) return state.SkipWithError("no unit");
    std::array<uint16_t, 256> out{};
    int32_t length = 256;
    std::array<EvrWord, 5> record{11, 0, 0, reinterpret_cast<EvrWord>(out.data()), reinterpret_cast<EvrWord>(&length)};
    for (auto _ : state) {
        if (EVRFunction(0, 3, record.data()) != EVR_OK) return state.SkipWithError("read failed");
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_DriverPageRead);

void BM_TransportGetByte(benchmark::State &state) {
    OpenDriver driver;  // the driver's session, used through the transport directly
    if (!driver.ok) return state.SkipWithError("no unit");
    uint8_t byte = 0;
    for (auto _ : state) {
        if (Nakor_GetByte(1, 0, 7, &byte, T) != NAKOR_OK) return state.SkipWithError("read failed");
        benchmark::DoNotOptimize(byte);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransportGetByte);

// The same one-byte memory read block, written and read back on a session of its own.
void BM_StandInExchange(benchmark::State &state) {
    fresh_unit();
    const uint32_t filter[3] = {0, 0, 0};
    uint32_t device = 0;
    if (BELMO_Init(0) != 0 || BELMO_EnumDevice(filter, 12, &device, 1, T) != 1)
        return state.SkipWithError("no unit");
    const uint32_t session = BELMO_OpenSession(device, 0, T);
    std::array<uint8_t, NAKOR_UNIT_BLOCK> command{}, reply{};
    const uint32_t words[9] = {NAKOR_CMD_UNIT, 0, 0, 0, NAKOR_UNIT_READ, 1, 0, 7, 1};
    for (size_t w = 0; w < 9; ++w)
        for (size_t i = 0; i < 4; ++i) command[4 * w + i] = static_cast<uint8_t>(words[w] >> (8 * i));
    for (auto _ : state) {
        reply.fill(0);
        if (BELMO_WriteCmd(session, command.data(), NAKOR_UNIT_BLOCK, T) != 0 ||
            BELMO_ReadCmd(session, reply.data(), NAKOR_UNIT_BLOCK, T) < 0)
            return state.SkipWithError("exchange failed");
        benchmark::DoNotOptimize(reply);
    }
    BELMO_CloseSession(session);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StandInExchange);

}  // namespace
