// The simulated GPIB bus: up to sixteen boards in the machine, each the system controller of the
// one bus that the instruments hang on, at primary addresses 0 to 30. The board libraries'
// entry points and the test interface both come here.
//
// Timing: an instrument's reply is ready its delay after the command sent to it last (or, when
// nothing was sent since its last reply, after the first read that asked for it). A read waits
// for the reply up to the board's time-out; a read that would wait longer waits the time-out and
// fails with -14, and the reply stays on its way. Nothing waits while holding the bus's lock.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "gpib_sim.h"

namespace gpibsim {

constexpr int kAddresses = 31;      // primary addresses 0..30
constexpr int kBoards = 16;
constexpr int kPlainRange = 7;      // an A/D range without counts of its own
constexpr uint32_t kDelayMax = 3600000;
constexpr size_t kSentLimit = 100000;
constexpr int kDefaultTimeoutTenths = 10;

// Board error codes.
constexpr int32_t kNoBoard = -1;
constexpr int32_t kBadParameter = -2;
constexpr int32_t kBadValue = -3;
constexpr int32_t kReceiveError = -12;
constexpr int32_t kTimeout = -14;
constexpr int32_t kNotInitialised = -999;

struct Instrument {
    bool present = false;
    std::string reply;                 // the text of every reply, when it follows no output
    int follows = -1;                  // the product's A/D channel 0..7 it measures, -1 none
    int range = kPlainRange;           // the range that channel is sampled on
    double scale = 1.0;                // reply value = counts x scale ...
    std::string format = "%+.6E";      // ... printed with this format
    uint32_t delay_ms = 0;
    bool silent = false;
    long long silent_after = -1;       // answers this many reads, then stays silent; -1 never
    int32_t error = 0;                 // returned by every transfer, 0 none
};

struct BusConfig {
    std::array<Instrument, kAddresses> instruments{};
    uint32_t boards = 1;               // bit n: board n is in the machine
    int timeout_tenths = kDefaultTimeoutTenths;
    int32_t init_error = 0;            // what initialising a board returns, 0 success
};

// Reads [gpib] and [gpib.N] of the world's current scenario into `config` (defaults for what is
// missing or wrong). Returns the number of problems reported on stderr.
int load_bus_config(BusConfig *config);
// True when `format` prints one double: text, "%%", and exactly one conversion
// %[-+ #0][width][.precision] of e, E, f, F, g, G, a or A (width and precision up to 999).
bool valid_reply_format(std::string_view format);
// A command as the report shows it: \\, \r, \n, \t and \xHH for other bytes outside 0x20..0x7E.
std::string escaped(std::string_view bytes);

class Bus {
public:
    using Clock = std::chrono::steady_clock;

    // Sets the bus up from the scenario; every board finished, every log and counter cleared.
    int reset();

    int32_t init_board(int32_t board);
    int32_t finish_board(int32_t board);
    int32_t set_config(int32_t board, const char *config);
    int32_t set_remote(int32_t board, bool on);
    int32_t clear_interface(int32_t board);
    int32_t send(int32_t board, const int32_t *addresses, int32_t length, const char *data);
    int32_t receive(int32_t board, const int32_t *addresses, int32_t *length, char *buffer);

    // Test interface.
    int set_reply(int address, const char *reply);
    int set_silent(int address, bool silent);
    int set_error(int address, int32_t code);
    int set_delay(int address, uint32_t ms);
    size_t sent_count();
    long sent(size_t index, int *address, char *text, size_t len);
    uint64_t sent_dropped();
    void clear_sent();
    long reads(int address);
    int board_state(int board, gpib_sim_board_state *out);
    // The report lines "gpib.N.sent=TEXT", in the order sent.
    std::string report_lines();

private:
    struct Board {
        bool initialised = false;
        bool remote = false;
        int timeout_tenths = kDefaultTimeoutTenths;
        long inits = 0, finishes = 0, clears = 0;
    };
    struct Talker {
        bool asked = false;            // a reply is on its way
        Clock::time_point asked_at{};
        long reads = 0;
    };
    struct Sent {
        int address;
        std::string text;
    };

    // 0, or the error for a board number that is wrong, absent or (with `initialised`) not
    // initialised. Lock held.
    int32_t check_board(int32_t board, bool initialised) const;
    // The addresses of an address list ended by -1; 0 or the error. Lock held.
    static int32_t read_addresses(const int32_t *addresses, std::vector<int> *out);
    // The text an instrument answers with now; false when its output cannot be sampled.
    static bool reply_text(const Instrument &instrument, std::string *text);
    bool has_instrument(int address) const;

    std::mutex lock_;
    BusConfig config_;
    std::array<Board, kBoards> boards_{};
    std::array<Talker, kAddresses> talkers_{};
    std::vector<Sent> sent_;
    uint64_t sent_dropped_ = 0;
};

// The bus of this library: made (from the scenario) on first use and never deleted, so the
// report written when the process ends still finds it.
Bus &bus();

}  // namespace gpibsim
