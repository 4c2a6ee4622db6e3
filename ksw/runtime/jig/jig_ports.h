// The jig's ports: four 8255 chips reached through a PCI parallel-I/O board library
// ("fbippi.dll", bound by name) or directly in the processor's I/O-port space, and the port
// model on top of them: 32 sixteen-bit output ports whose bits are the sw switches, 32 eight-bit
// extension latches whose bits are the fsw switches, four Ext0 output words, the A/D converter,
// the power supply, the cable and power monitors, the remote-control switches and the
// line-sequencer lines.
//
// The chips, by their port groups (addresses of port A, B, C and the control register):
//   SysPort0   data bus (A low, C high byte) and status (B: switches 0-3 pressed = 0, bit 4
//              cable 1 missing, bit 5 A/D busy, bit 7 jig power off); normally all input
//   SysPort1   A: output-port number bits 0-3, A/D range bits 4-6, conversion start bit 7;
//              B: port number bit 4, OK/NG lamps bits 4/5; C: A/D read strobes bits 1-2,
//              write strobe bit 3 (out), cable 2 missing bit 4, start input bit 5 (in)
//   Ext0Port0  extension data bus (A low, B high) and extension A/D busy (C bit 0)
//   Ext0Port1  A: Ext0 word strobes bits 0-3, extension A/D read enables bits 4/5 (low
//              active), extension A/D start bit 7; C: start input bit 1, switches bits 2-5
//
// Every operation returns an error number: 0, e031 (the jig may not be used), e032/e033 (a
// system/extension chip is not configured), e036 (A/D time-out), e037 (jig power off), e027
// (the run was aborted during a wait). Everything that touches the chips holds the port lock;
// the shadows are atomics read without it (the unchanged-value shortcut, the power check).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dynlib.h"
#include "runtime/jig/port_lock.h"

namespace ksw {

class JigTrace;

// The four chips, in the order of their settings.
enum JigChip : int { kChipSys0 = 0, kChipSys1 = 1, kChipExt0 = 2, kChipExt1 = 3, kJigChips = 4 };
// Port A, B, C and the control register of a chip.
enum JigPort : int { kPortA = 0, kPortB = 1, kPortC = 2, kPortControl = 3 };
using ChipAddresses = std::array<uint16_t, 4>;

// Port-access modes: 0 the jig is used; 1 the system-port operations are refused with e031
// (the extension-0 operations and raw port access still reach the chips); 2 no port I/O at all
// (writes change only the shadows, reads give 0, A/D samples are 0).
enum PortAccessMode : int { kAccessJig = 0, kAccessNoJig = 1, kAccessNoPortIo = 2 };

constexpr int kOutputPorts = 32;
constexpr int kLatches = 32;
constexpr int kExt0Words = 4;
constexpr int kPpiSlots = 16;
constexpr int kLastSwitch = 511;
constexpr int kLastLatchBit = 255;

// What the station hands the port layer: the addresses of the four chips (control address 0:
// not configured), the access mode, and where the sequencer handshake and the remote-control
// switches are wired.
struct JigOptions {
    std::array<ChipAddresses, kJigChips> chips{};
    int access_mode = kAccessJig;
    bool e0_seq_mode = false;  // start input and switches on the extension-0 ports
    bool direct_io = true;     // false: direct addresses read 0xFF and take no writes (simulated jig)
};

// The six entry points of the board library.
struct PpiBoardApi {
    int32_t (*open)(const char *name, int32_t mode) = nullptr;
    int32_t (*close)(int32_t handle) = nullptr;
    int32_t (*control)(int32_t handle, int32_t chip, int32_t word) = nullptr;
    int32_t (*input)(int32_t handle, int32_t chip, int32_t port, int32_t *value) = nullptr;
    int32_t (*output)(int32_t handle, int32_t chip, int32_t port, int32_t value) = nullptr;
    int32_t (*device_info)(int32_t handle, uint32_t *info) = nullptr;
};

// How an operation waits (the A/D busy wait, the settle times): sleeps `ms` and returns false
// when the run was aborted meanwhile. Without a function it is a plain sleep.
struct JigWaiter {
    bool (*sleep)(void *context, uint32_t ms) = nullptr;
    void *context = nullptr;
    bool wait(uint32_t ms) const;
};

// The jig: configuration, board library, shadows and lock. One instance per station
// (jig_ports()); reset_jig_ports() puts it back as it was at process start.
struct JigPorts {
    // Configuration: set by configure_jig() on the main thread while no other thread uses the jig
    // (the access mode also changes when the operator chooses to work without the jig).
    std::array<ChipAddresses, kJigChips> chips{};
    std::atomic<int> access_mode{kAccessJig};
    bool e0_seq_mode = false;
    bool direct_io = true;

    // The board library and the board in each slot (-1: none). Bound and released on the main
    // thread only (LoadPpiBoards, UnloadPpiBoards).
    platform::DynamicLibrary board_library;
    PpiBoardApi ppi{};
    bool boards_bound = false;
    std::array<int32_t, kPpiSlots> board_handles{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

    // What was written: the program never reads outputs back.
    std::array<std::atomic<uint16_t>, kOutputPorts> output_ports{};
    std::array<std::atomic<uint8_t>, kLatches> latches{};
    std::array<std::atomic<uint16_t>, kExt0Words> ext0_words{};
    // The two power-supply channels' DAC words (word 1, word 2); under the port lock.
    std::array<std::array<uint16_t, 2>, 2> psu_words{{{0, 0x0700}, {0, 0x0700}}};

    PortLock lock;
    std::atomic<uint32_t> last_ad_read_tick{0};  // when the A/D converter was last read
    std::atomic<int> down_switch_step{-1};       // downsw(

    JigTrace *trace = nullptr;  // the decoded trace, when one is written; set at start-up
};

// The station's jig.
JigPorts &jig_ports();

// Releases the board library, forgets the configuration and every shadow: the state of a fresh
// process (tests).
void reset_jig_ports(JigPorts &jig);

// Takes the addresses, access mode and wiring of `options`. Main thread, no other jig user.
void configure_jig(JigPorts &jig, const JigOptions &options);
void set_port_access_mode(JigPorts &jig, int mode);

// True when the control address of `chip` is set.
inline bool chip_configured(const JigPorts &jig, int chip) { return jig.chips[static_cast<size_t>(chip)][3] != 0; }

// The addresses that go straight to the processor's port space: every configured address of
// the four chips that no bound board library takes (all of them without one).
std::vector<uint16_t> direct_ports(const JigPorts &jig);

// ---- Board library --------------------------------------------------------------------------

// Binds "fbippi.dll" and files every board that reports the board family (2746) and a slot
// below 16. Without the library, or when it lacks one of the six entry points, no board is used
// and every address is a direct one; `notice` then says why (empty when the library is simply
// not installed). Returns the number of boards found.
int LoadPpiBoards(JigPorts &jig, std::string *notice = nullptr);
// Closes every board and releases the library.
void UnloadPpiBoards(JigPorts &jig);

// ---- Byte access ----------------------------------------------------------------------------

// One byte from an I/O address: 0 in mode 2; below 256 with the board library bound, from the
// board in slot (address / 16) mod 16 (0 for an empty slot or an address whose low three bits
// are 6 or 7); otherwise from the processor's port space (0xFF without permission or above
// 0xFFFF).
uint8_t PortIn(JigPorts &jig, uint32_t address);
// One byte to an I/O address, routed like PortIn; on a board, an address whose bits 1-2 are
// both set writes the chip's control register.
void PortOut(JigPorts &jig, uint32_t address, uint8_t value);

// ---- Output ports, switches, latches, Ext0 words --------------------------------------------

int WriteOutputPort(JigPorts &jig, int port, uint16_t value);
// sw b (0-511): bit b mod 8 of port b/8 for b < 256, bit (b mod 8) + 8 of port b/8 - 32 above.
int SetSwitch(JigPorts &jig, int sw, bool on);
int WriteLatch(JigPorts &jig, int latch, uint8_t value);
// fsw b (0-255): bit b mod 8 of latch b/8.
int SetLatchBit(JigPorts &jig, int fsw, bool on);
int WriteExt0Word(JigPorts &jig, int word, uint16_t value);
// The board register write over ports 26 and 27 and the strobes sw 478/479.
int WriteBoardRegister(JigPorts &jig, int register_bits, uint16_t datum);
// power(: the nine product power relays, port 28 bits 0-8.
int SetProductPower(JigPorts &jig, bool on);
// power_set(: loads both supply channels' DACs and latches `channel` (1 or 2).
int LoadPowerSupply(JigPorts &jig, int channel, int volt_code, int amp_code);
// input_ch(1) / input_ch(2): routes input channel 1 or 2 to the measuring board.
int SelectInputChannel(JigPorts &jig, int channel);

// Bit positions of a switch number.
constexpr int switch_port(int sw) { return sw < 256 ? sw / 8 : sw / 8 - 32; }
constexpr int switch_bit(int sw) { return sw < 256 ? sw % 8 : sw % 8 + 8; }

// ---- A/D converter --------------------------------------------------------------------------

// The A/D result for a converter of `bits` (8, 10, 12, 16): the mask of the high byte.
constexpr int ad_high_byte_mask(int bits) { return ((1 << bits) - 1) >> 8; }

// Returns e031, e032, e037, 0, or -1 when there is no port I/O (mode 2).
int SelectAdChannel(JigPorts &jig, int channel, int range);
int StartAdConversion(JigPorts &jig, int channel, int range);
// Reads `count` samples after the converter is no longer busy; e036 once the busy line stayed
// up more than `timeout_ms`. The port lock is given back while the wait sleeps.
int ReadAd(JigPorts &jig, int channel, int range, uint16_t *samples, int count, uint32_t timeout_ms, int mask,
           const JigWaiter &waiter = {});
int ReadAdFast(JigPorts &jig, int channel, int range, uint16_t *samples, int count, int mask);
bool AdBusy(JigPorts &jig);
void AdIdle(JigPorts &jig);
int StartExtAd(JigPorts &jig);
int ReadExtAd(JigPorts &jig, int selector, int *value, uint32_t timeout_ms, int mask, const JigWaiter &waiter = {});

// ---- Start-up, shut-down, station lines -----------------------------------------------------

// 0, e023 (cable 1 missing, or SysPort0 not configured) or e024; e023 wins.
int CheckCables(JigPorts &jig);
void SetPortsDefault(JigPorts &jig);
void SetPortsInput(JigPorts &jig);
// First part of the jig start-up: every shadow cleared, the ports at their defaults.
void ResetJigOutputs(JigPorts &jig);
// Last part: every latch and output port written 0 (each forced through its shadow), 20 ms
// apart. Returns the first error (the rest is still written), e027 when aborted.
int ZeroJigOutputs(JigPorts &jig, const JigWaiter &waiter = {});
// 1 when the line-sequencer start input is active.
int SequencerStartInput(JigPorts &jig);
void SetSequencerLamps(JigPorts &jig, bool ok, bool ng);
// The remote-control switches 0-3 as pressed now (bit n = switch n), from SysPort0 B or, with
// E0SeqMode, from Ext0Port1 C; -1 when they cannot be read (mode 2, chip not configured).
int ReadRemoteSwitches(JigPorts &jig);

// Writes a trace line for an event of the station (remote keys, start-up); no-op without trace.
void trace_jig_event(JigPorts &jig, const std::string &text);

}  // namespace ksw
