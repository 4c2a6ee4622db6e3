// ksw-serialpeer SCENARIO: the simulated product on a pseudo-terminal. Prints the device the
// station should open, then answers until interrupted (Ctrl-C, SIGTERM) or the line drops.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "serial_peer.h"

namespace {
std::atomic<bool> g_stop{false};
extern "C" void on_signal(int) { g_stop.store(true); }
}  // namespace

int main(int argc, char **argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: ksw-serialpeer SCENARIO\n"
                             "Runs the [serial] section of SCENARIO on a pseudo-terminal and prints its path.\n");
        return 2;
    }
    ksw::sim::SerialPeerConfig config;
    std::string error;
    if (!ksw::sim::load_serial_scenario(argv[1], &config, &error)) {
        std::fprintf(stderr, "ksw-serialpeer: %s\n", error.c_str());
        return 1;
    }
    ksw::sim::SerialPeer peer(config);
    if (!peer.start(&error)) {
        std::fprintf(stderr, "ksw-serialpeer: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::printf("%s\n", peer.path().c_str());
    std::fflush(stdout);
    while (!g_stop.load() && !peer.line_dropped()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (peer.line_dropped()) std::fprintf(stderr, "ksw-serialpeer: line dropped after %zu reply bytes\n", peer.sent_count());
    peer.stop();
    return 0;
}
