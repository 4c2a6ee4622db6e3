// The serial commands' run handlers on command records as the compiler stores them, with the
// real serial library on a pseudo-terminal whose far end is the simulated product. The
// station's port name "COM1" is mapped to the product's line, as --sim maps it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "commands/commands.h"
#include "model/serial_modes.h"
#include "program_builder.h"
#include "recording_frontend.h"
#include "runtime/run_handlers.h"
#include "runtime/serial/serial_link.h"
#include "serial_peer.h"
#include "temp_dir.h"

namespace ksw::testing {

class SerialCommandTest : public ::testing::Test, protected ProgramBuilder {
protected:
    void SetUp() override {
        ASSERT_TRUE(allocate());
        step(1, kModeCheck);
        context.use_program(&program);
        context.registers = &registers;
        context.frontend = &frontend;
        context.serial = &link;
        context.current_step = 1;
    }
    void TearDown() override {
        link.close();
        if (peer) peer->stop();
    }

    // Starts a product of `mode` and maps COM1 to its line (the port stays closed).
    void attach(sim::PeerMode mode, sim::SerialPeerConfig config = {}) {
        config.mode = mode;
        peer = std::make_unique<sim::SerialPeer>(config);
        std::string error;
        ASSERT_TRUE(peer->start(&error)) << error;
        SerialOptions options = link.options();
        options.devices = {{"COM1", peer->path()}};
        link.configure(options);
    }
    // attach(), then rs232c(set,9600,8,non,1).
    void connect(sim::PeerMode mode, sim::SerialPeerConfig config = {}) {
        attach(mode, std::move(config));
        ASSERT_EQ(run(make(kRowRs232c, kRsSet, {9600, 8, 0, 0})), kOk);
        ASSERT_TRUE(link.is_open());
    }

    // A record of `row` in step 1; `mask` names register operands.
    CommandRecord &make(int row, int sub_mode, std::initializer_list<int32_t> ints, std::initializer_list<double> reals = {},
                        uint32_t mask = 0) {
        CommandRecord &record = command(1, row, sub_mode, ints, reals);
        record.mask = mask;
        return record;
    }
    CommandRecord &make_with_text(int row, int sub_mode, std::initializer_list<int32_t> ints, const std::string &text) {
        CommandRecord &record = make(row, sub_mode, ints);
        record.text = text;
        record.has_text = true;
        return record;
    }
    int run(const CommandRecord &record) { return record.run(context, record); }
    uint16_t &ad(int n) { return (*registers.ad)[static_cast<size_t>(n)]; }
    // The bytes the product has received once `count` are in and the line stays quiet.
    std::string peer_got(size_t count) {
        peer->wait_received(count, 3000);
        peer->wait_received(count + 1, 100);
        return peer->received();
    }

    TempDir dir;
    ScopedEnv config_home{"XDG_CONFIG_HOME", dir.file("cfg")};
    ScopedEnv runtime_home{"XDG_RUNTIME_DIR", dir.file("run")};
    SerialLink link;
    RecordingFrontend frontend;
    RunContext context;
    std::unique_ptr<sim::SerialPeer> peer;
};

}  // namespace ksw::testing
