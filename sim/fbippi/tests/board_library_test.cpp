// The board library as the station binds it by name, its refusals, and the 8255 chips behind it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "fbippi.h"
#include "jigsim.h"
#include "port_driver.h"
#include "world_fixture.h"

namespace {

using jigtest::StationPorts;

template <typename F>
void bind(void *lib, const char *name, F *out) {
    *out = reinterpret_cast<F>(dlsym(lib, name));
    ASSERT_NE(*out, nullptr) << name;
}

TEST(BoardLibrary, IsBoundByNameAndScannedLikeTheStationDoes) {
    ASSERT_EQ(jigsim_load(nullptr), 0);
    void *lib = dlopen(KSW_SIM_LIBRARY_DIR "/libfbippi.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    jigtest::PpiApi api;
    bind(lib, "PpiOpen", &api.open);
    bind(lib, "PpiClose", &api.close);
    bind(lib, "PpiControl", &api.control);
    bind(lib, "PpiInputPort", &api.input);
    bind(lib, "PpiOutputPort", &api.output);
    bind(lib, "PpiCommonGetPciDeviceInfo", &api.info);
    {
        StationPorts ports(api);
        EXPECT_EQ(ports.boards(), 2);
        EXPECT_EQ(ports.handle_of_slot(0), -1);
        ASSERT_NE(ports.handle_of_slot(1), -1);
        ASSERT_NE(ports.handle_of_slot(2), -1);
        uint32_t info[PPI_DEVICE_INFO_VALUES];
        ASSERT_EQ(api.info(ports.handle_of_slot(2), info), 0);
        EXPECT_EQ(info[0], 2746u);
        EXPECT_EQ(info[13], 2u);
        ports.set_ports_default();
        EXPECT_EQ(ports.write_output_port(12, 0x0F0F), jigtest::kOk);
        EXPECT_EQ(jigsim_output_port(12), 0x0F0F);
    }
    dlclose(lib);
}

TEST(BoardLibrary, RefusesUnknownDevicesHandlesAndArguments) {
    ASSERT_EQ(jigsim_load(nullptr), 0);
    EXPECT_EQ(PpiOpen(nullptr, 2), -1);
    EXPECT_EQ(PpiOpen("FBIPPI3", 2), -1);
    const int32_t h = PpiOpen("fbippi1", 2);
    ASSERT_GE(h, 0);
    int32_t value = 0;
    uint32_t info[PPI_DEVICE_INFO_VALUES];
    EXPECT_EQ(PpiControl(h, 2, 0x9B), -1);
    EXPECT_EQ(PpiOutputPort(h, 0, 3, 0), -1);
    EXPECT_EQ(PpiInputPort(h, 0, -1, &value), -1);
    EXPECT_EQ(PpiInputPort(h, 0, 0, nullptr), -1);
    EXPECT_EQ(PpiCommonGetPciDeviceInfo(h, nullptr), -1);
    EXPECT_EQ(PpiInputPort(h, 0, 1, &value), 0);
    EXPECT_EQ(PpiClose(h), 0);
    EXPECT_EQ(PpiClose(h), -1);
    EXPECT_EQ(PpiInputPort(h, 0, 1, &value), -1);
    EXPECT_EQ(PpiCommonGetPciDeviceInfo(h, info), -1);
    EXPECT_EQ(PpiClose(64), -1);
    EXPECT_EQ(PpiOutputPort(-1, 0, 0, 0), -1);
}

TEST(Ppi8255, DirectionsPortCHalvesAndBitSetReset) {
    ASSERT_EQ(jigsim_load(nullptr), 0);
    const int32_t h = PpiOpen("FBIPPI1", 2);  // chip 1 is SysPort1
    int32_t value = 0;
    PpiOutputPort(h, 1, 0, 0x35);               // latched while port A is an input: not driven
    EXPECT_EQ(PpiControl(h, 1, 0x88), 0);       // A, B, C lower out; C upper in
    int channel = -1, range = -1;
    jigsim_adc_selection(&channel, &range);
    EXPECT_EQ(range, 3);                        // the latch shows once the port drives
    PpiInputPort(h, 1, 0, &value);
    EXPECT_EQ(value, 0x35);
    PpiOutputPort(h, 1, 2, 0xF0);
    PpiInputPort(h, 1, 2, &value);
    EXPECT_EQ(value, 0x20);                     // upper half: cable 2 in, start input idle; lower: latch 0
    const uint64_t writes = jigsim_port_writes();
    PpiControl(h, 1, 0x07);                     // set C bit 3: the output-port write strobe
    PpiInputPort(h, 1, 2, &value);
    EXPECT_EQ(value & 0x0F, 0x08);
    PpiControl(h, 1, 0x06);
    PpiInputPort(h, 1, 2, &value);
    EXPECT_EQ(value & 0x0F, 0x00);
    EXPECT_EQ(jigsim_port_writes(), writes + 1);
    PpiControl(h, 1, 0x9B);                     // all inputs: the lines hold, no edge
    PpiControl(h, 1, 0x88);
    EXPECT_EQ(jigsim_port_writes(), writes + 1);
    PpiClose(h);
}

TEST(Ppi8255, AChipTheJigIsNotWiredToStillWorksAsAChip) {
    jigtest::LoadedWorld w("[ports]\nExt0Port1=0,0,0,0\n");
    const int32_t h = PpiOpen("FBIPPI2", 2);
    ASSERT_GE(h, 0);
    jigsim_trace_clear();
    int32_t value = 0;
    PpiControl(h, 1, 0x80);
    PpiOutputPort(h, 1, 1, 0x12);
    PpiInputPort(h, 1, 1, &value);
    EXPECT_EQ(value, 0x12);
    PpiControl(h, 1, 0x9B);
    PpiInputPort(h, 1, 1, &value);
    EXPECT_EQ(value, 0xFF);
    EXPECT_EQ(jigsim_trace_count(), 0u);
    PpiClose(h);
}

}  // namespace
