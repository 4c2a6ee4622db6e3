// The simulated world of one process: the PPI boards that the port settings call for, the jig
// board wired to their chips, the product's EVR memory, the trace of every byte access the jig's
// chips see, and the [report] files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "jigsim.h"
#include "evr_memory.h"
#include "files.h"
#include "jig_board.h"
#include "ppi8255.h"
#include "world_config.h"

namespace jigsim {

struct PpiBoard {
    int slot = 0;
    std::string name;             // "FBIPPI1", ...
    std::array<int, 2> group{};   // the port group of chip 0 / 1, -1 when the jig is not wired to it
    std::array<Ppi8255, 2> idle;  // a chip not wired to the jig: its inputs float high
};

class World {
public:
    // `problems`: how many problems reading the scenario reported.
    World(WorldConfig config, int problems);
    ~World();
    World(const World &) = delete;
    World &operator=(const World &) = delete;

    const WorldConfig &config() const { return config_; }
    int problems() const { return problems_; }
    const std::vector<PpiBoard> &boards() const { return boards_; }
    JigBoard &jig() { return jig_; }
    EvrMemory &evr() { return evr_; }

    // Byte access to chip 0/1 of the board in `slot`; false when there is none or an argument is
    // out of range. Accesses to chips wired to the jig are traced.
    bool ppi_control(int slot, int chip, int word);
    bool ppi_write(int slot, int chip, int port, int value);
    bool ppi_read(int slot, int chip, int port, int *value);

    static constexpr size_t kTraceLimit = 4194304;
    const std::vector<jigsim_access> &trace() const { return trace_; }
    uint64_t trace_dropped() const { return trace_dropped_; }
    void clear_trace();

    // The state report text, one "name=value" line each (LF).
    std::string state_report() const;
    // Writes the state report, then `more` (the lines of other stand-ins), to the [report] state
    // file, when one is named. False with the reason in `error` when it cannot.
    bool write_report(const std::string &more, std::string *error) const;
    // At the end of the process: writes the report (with `more`) and closes the trace file,
    // reporting failures on stderr.
    void finish(const std::string &more);

private:
    PpiBoard *board_in(int slot, int chip);
    void record(char kind, int group, int port, int value);

    WorldConfig config_;
    int problems_;
    EvrMemory evr_;
    JigBoard jig_;
    std::vector<PpiBoard> boards_;
    std::vector<jigsim_access> trace_;
    uint64_t trace_dropped_ = 0;
    OutputFile trace_file_;
};

}  // namespace jigsim
