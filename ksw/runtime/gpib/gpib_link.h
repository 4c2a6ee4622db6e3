// The GPIB link: a PCI GPIB board reached through its board library, bound by name on the first
// GPIB use ("gpc4304.dll" with the entry points PciGpibEx..., else the older "vcw4301.dll" with
// Gpib...), and the one transfer that every GPIB access goes through.
//
// The board is initialised right after the library is bound (initialise, interface clear, remote
// enable on) and stays so; a failed initialisation leaves the library bound and the board not
// initialised, so every later use fails with e146 until the board is changed ("boa", the settings
// page) and initialises. At shut-down the library is released without finishing the board.
//
// Every call into the board library holds the GPIB section. Results of the library (0 or more
// success, negative an error code) become the station's errors e140..e146; a missing library is
// e147.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/dynlib.h"

namespace ksw {

struct RunContext;
struct StepRunState;

// The eight entry points of a board library, in both libraries' order.
struct GpibBoardApi {
    int32_t (*init_board)(int32_t board, void *window) = nullptr;
    int32_t (*finish_board)(int32_t board) = nullptr;
    int32_t (*set_config)(int32_t board, const char *config) = nullptr;
    int32_t (*set_ren)(int32_t board) = nullptr;
    int32_t (*reset_ren)(int32_t board) = nullptr;
    int32_t (*set_ifc)(int32_t board, int32_t time) = nullptr;
    int32_t (*send)(int32_t board, const int32_t *addresses, int32_t length, const char *data, int32_t mode) = nullptr;
    int32_t (*receive)(int32_t board, const int32_t *addresses, int32_t *length, char *buffer, int32_t mode) = nullptr;
};

// What the station hands the link from its settings.
struct GpibOptions {
    int board = 0;               // "BoardNo" of section "GPIB"
    uint32_t mes_delay_ms = 0;   // "MesDelay": the pause between a measuring step's query and its reply
    bool ignore = false;         // the EVR page's "Ignore": gpib( does nothing
    void *window = nullptr;      // the main window, handed to the board's initialisation
};

// gpib_transfer modes.
enum GpibMode : int { kGpibReceive = 0, kGpibSend = 1, kGpibSetTimeout = 2, kGpibClear = 3 };

constexpr int kGpibLastAddress = 31;
constexpr int kGpibLastBoard = 6;
constexpr int32_t kGpibReceiveRoom = 125;

// The link: one instance per station (gpib_link()). The plain fields are read and written under
// `section` only; the options that the run reads without it are atomics.
struct GpibLink {
    std::recursive_mutex section;      // the GPIB section
    platform::DynamicLibrary library;  // the bound board library, when one is
    GpibBoardApi api{};
    std::string bind_notice;           // why a library that was found could not be used
    bool initialised = false;          // the last initialisation succeeded completely
    int board = 0;
    void *window = nullptr;
    std::atomic<uint32_t> mes_delay_ms{0};
    std::atomic<bool> ignore{false};
};

// The station's link.
GpibLink &gpib_link();

// Takes the options (the board number is used at the next initialisation). Main thread.
void configure_gpib(GpibLink &link, const GpibOptions &options);
// Releases the library without finishing the board and forgets every option: the state of a
// fresh process (station shut-down, tests).
void reset_gpib_link(GpibLink &link);

// The station's error for a board library result: 0 or more gives 0; -1 and -999 e140; -2, -3
// e141; -10 e142; -12 e143; -14, -15 e144; -16 e145; any other negative value e146.
int gpib_result(int32_t library_result);

// Binds a board library when none is bound yet, and initialises the board after binding it.
// 0, or e147 when neither library can be bound (a library without all eight entry points does
// not count; bind_notice says which). With `need_initialised`, a board that is not initialised
// gives e146.
int gpib_ready(GpibLink &link, bool need_initialised = true);

// Initialises the board: interface clear and remote enable after a successful initialisation.
// The initialised flag is set only when all three succeed. 0 or the first failure's error.
int initialise_gpib(GpibLink &link);
// Remote enable off and finish, when a library is bound and the board initialised; the flag is
// cleared.
void finish_gpib(GpibLink &link);
// A new board number: the board in use is finished, the number changed and, with a library
// bound, the new board initialised. 0, or the initialisation's error.
int change_gpib_board(GpibLink &link, int board);

// The one transfer of every GPIB access, under the GPIB section after gpib_ready:
//   kGpibReceive     receives from address `value` (room for 125 bytes) into *received
//   kGpibSend        sends `text` to address `value`
//   kGpibSetTimeout  configures the board with "/TMO=<value>" (tenths of a second)
//   kGpibClear       interface clear
// 0 or an error (e140..e147).
int gpib_transfer(GpibLink &link, int mode, int value, std::string_view text = {}, std::string *received = nullptr);

// Reads a number from an instrument's reply: the number starts at the first "+", "-" or digit;
// a zero byte, CR or LF before it (or no such character) gives e143. The reply ends at its first
// zero byte, CR or LF; from the number to there the text is evaluated as an expression, whose
// result code is returned (so "1.5V" reads 1.5 and "+1.2E+0 VDC" fails with e001).
int gpib_read_number(std::string_view reply, double *value);

// What a measuring step asks its instrument.
struct GpibQuery {
    int address = 0;              // 0..31
    uint32_t reply_wait_ms = 0;   // how long time-outs of the reply are retried
    std::string text;             // sent before each sample when not empty
};

// The query of a measuring step as gpib_mes( and the step's query text left it.
GpibQuery step_gpib_query(const StepRunState &state);

// One sample of ",gpib_mes(": sends the query text (when not empty) and waits "MesDelay"; then
// receives the reply, retrying at once while the board times out (e144) until the reply wait has
// passed since the first receive (a wait of 0: one time-out ends the sample); reads the number.
// 0 with *value, or the first error. With `run`, the waits pass the run gate (a halt parks the
// sequencer, an abort ends the sample with e027); the GPIB section is never held while waiting.
int gpib_sample(GpibLink &link, const GpibQuery &query, double *value, RunContext *run = nullptr);

}  // namespace ksw
