// Tests run the library over pseudo-terminals against the simulated product: a fresh
// registry per test, a peer per port, and the port closed at the end.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "comkit32.h"
#include "serial_peer.h"
#include "temp_dir.h"

namespace comkit_test {

inline RSPortSettings settings_for(const std::string &port, int32_t baud = 9600) {
    RSPortSettings s{};
    std::strncpy(s.port, port.c_str(), sizeof s.port - 1);
    s.baud_rate = baud;
    s.byte_size = 8;
    s.stop_bits = 0;
    s.parity = 0;
    return s;
}

inline ksw::sim::SerialPeerConfig peer_mode(ksw::sim::PeerMode mode) {
    ksw::sim::SerialPeerConfig c;
    c.mode = mode;
    return c;
}

// Milliseconds since construction.
class Stopwatch {
public:
    long ms() const {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class PeerTest : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    ksw::testing::ScopedEnv config_home{"XDG_CONFIG_HOME", dir.path()};
    std::unique_ptr<ksw::sim::SerialPeer> peer;
    int handle = -1;

    // Starts a peer and opens its line; the test stops at the first failure.
    void connect(const ksw::sim::SerialPeerConfig &config) {
        peer = std::make_unique<ksw::sim::SerialPeer>(config);
        std::string error;
        ASSERT_TRUE(peer->start(&error)) << error;
        const RSPortSettings s = settings_for(peer->path());
        handle = Open232C(&s);
        ASSERT_NE(handle, -1) << peer->path();
    }

    // Everything the peer has received once `count` bytes are in and the line stays quiet.
    std::string peer_got(size_t count) {
        peer->wait_received(count, 3000);
        peer->wait_received(count + 1, 100);
        return peer->received();
    }

    void TearDown() override {
        Close232C(handle);
        if (peer) peer->stop();
    }
};

}  // namespace comkit_test
