// Run handlers of the jig commands: raw port access, product power and its supply, synthesised
// keys, the start and down switches, the sw/fsw switches and latches, the Ext0 words, the input
// channel and the direct A/D read. Each runs on the sequencer thread.
#include <mutex>

#include "model/frontend.h"
#include "model/jig_modes.h"
#include "platform/tick.h"
#include "resources/format.h"
#include "runtime/jig/jig_ports.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "zelw.h"

namespace ksw {
namespace {

constexpr uint32_t kStartPollMs = 200;

// How a jig operation started by a command waits: through the run gate, so a halt parks the
// sequencer and an abort ends the wait.
JigWaiter gate_waiter(RunContext &context) {
    return JigWaiter{[](void *c, uint32_t ms) {
                         RunContext &run = *static_cast<RunContext *>(c);
                         return run.checkpoint() && run.gate.sleep(ms);
                     },
                     &context};
}

// A run without a jig attached (a bare run context) is refused like a station without one.
constexpr int kNoJig = kErrDebugMode;

StepRunState *current_state(RunContext &context) { return context.state(context.current_step); }

// ad[n] for a register number from an operand: e004 outside 0..7999, e018 without registers.
int ad_register(RunContext &context, int32_t n, uint16_t **cell) {
    Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    if (!is_register_index(n)) return kErrOutOfRange;
    *cell = &(*registers->ad)[static_cast<size_t>(n)];
    return kOk;
}

// The two switch banks of setsw( and setfsw(: output ports of 16 bits and latches of 8.
struct SwitchBank {
    int last_switch;
    int units;
    int unit_bits;
    bool set_before_timed_clear;  // setfsw( "rem" switches the bit on before it waits
    int (*set_switch)(JigPorts &, int, bool);
    int (*write)(JigPorts &, int, uint32_t);
    uint32_t (*read)(const JigPorts &, int);
};

const SwitchBank kOutputPortBank{
    kLastSwitch, kOutputPorts, 16, false, &SetSwitch,
    [](JigPorts &jig, int port, uint32_t value) { return WriteOutputPort(jig, port, static_cast<uint16_t>(value)); },
    [](const JigPorts &jig, int port) -> uint32_t { return jig.output_ports[static_cast<size_t>(port)].load(std::memory_order_relaxed); }};

const SwitchBank kLatchBank{
    kLastLatchBit, kLatches, 8, true, &SetLatchBit,
    [](JigPorts &jig, int latch, uint32_t value) { return WriteLatch(jig, latch, static_cast<uint8_t>(value)); },
    [](const JigPorts &jig, int latch) -> uint32_t { return jig.latches[static_cast<size_t>(latch)].load(std::memory_order_relaxed); }};

// "off"/"on": up to eight switches in turn; the list ends at the first negative number.
int switch_list(RunContext &context, const CommandRecord &command, const SwitchBank &bank, bool on) {
    for (int slot = 0; slot < 8; ++slot) {
        int32_t sw = 0;
        if (const int rc = int_operand(context, command, slot, &sw); rc != kOk) return rc;
        if (sw < 0) break;
        if (sw > bank.last_switch) return kErrOutOfRange;
        if (const int rc = bank.set_switch(*context.jig, sw, on); rc != kOk) return rc;
    }
    return kOk;
}

// "rem": the switch is cleared once the time has passed.
int timed_clear(RunContext &context, const CommandRecord &command, const SwitchBank &bank) {
    int32_t sw = 0;
    double seconds = 0;
    uint32_t ms = 0;
    if (const int rc = int_operand(context, command, 0, &sw); rc != kOk) return rc;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    if (const int rc = to_milliseconds(seconds, &ms); rc != kOk) return rc;
    if (sw < 0 || sw > bank.last_switch) return kErrOutOfRange;
    if (bank.set_before_timed_clear) {
        if (const int rc = bank.set_switch(*context.jig, sw, true); rc != kOk) return rc;
    }
    if (!context.checkpoint() || !context.gate.sleep(ms)) return kErrBreakedByUser;
    return bank.set_switch(*context.jig, sw, false);
}

// "=", "set", "res", "rea" on one port or latch.
int unit_access(RunContext &context, const CommandRecord &command, const SwitchBank &bank) {
    int32_t unit = 0, operand = 0;
    if (const int rc = int_operand(context, command, 0, &unit); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 1, &operand); rc != kOk) return rc;
    if (unit < 0 || unit >= bank.units) return kErrOutOfRange;
    JigPorts &jig = *context.jig;
    const uint32_t value_limit = (1u << bank.unit_bits) - 1;
    switch (command.sub_mode) {
    case kSwAssign:
        if (operand < 0 || static_cast<uint32_t>(operand) > value_limit) return kErrOutOfRange;
        return bank.write(jig, unit, static_cast<uint32_t>(operand));
    case kSwSet:
    case kSwReset: {
        if (operand < 0 || operand >= bank.unit_bits) return kErrOutOfRange;
        const uint32_t bit = 1u << operand, old = bank.read(jig, unit);
        return bank.write(jig, unit, command.sub_mode == kSwSet ? old | bit : old & ~bit);
    }
    case kSwRead: {
        uint16_t *cell = nullptr;
        if (const int rc = ad_register(context, operand, &cell); rc != kOk) return rc;
        *cell = static_cast<uint16_t>(bank.read(jig, unit));
        return kOk;
    }
    default: return kErrInvalidMode;
    }
}

int run_switches(RunContext &context, const CommandRecord &command, const SwitchBank &bank) {
    if (!context.jig) return kNoJig;
    switch (command.sub_mode) {
    case kSwOff:
    case kSwOn: return switch_list(context, command, bank, command.sub_mode == kSwOn);
    case kSwRemote: return timed_clear(context, command, bank);
    default: return unit_access(context, command, bank);
    }
}

// Waits until the step's setup time has passed since it began and its sample tact since the
// last A/D read. False when the run was aborted meanwhile.
bool wait_until_settled(RunContext &context, const JigPorts &jig) {
    const StepRecord *step = context.program ? context.program->step(context.current_step) : nullptr;
    if (!step) return true;
    const uint32_t setup = static_cast<uint32_t>(step->setup_time > 0 ? step->setup_time : 0);
    const uint32_t tact = static_cast<uint32_t>(step->sample_tact > 0 ? step->sample_tact : 0);
    for (;;) {
        if (platform::ticks_since(context.step_start_tick) >= setup &&
            platform::ticks_since(jig.last_ad_read_tick.load(std::memory_order_relaxed)) >= tact)
            return true;
        if (!context.checkpoint()) return false;
        platform::sleep_ms(0);
    }
}

// getad2( che: the step is OK unless the converter is busy.
int getad2_check(RunContext &context, JigPorts &jig, int channel, int range) {
    std::lock_guard<PortLock> hold(jig.lock);
    const int rc = SelectAdChannel(jig, channel, range);
    if (rc > 0) return rc;
    bool busy = false;
    if (rc == kOk) {
        busy = AdBusy(jig);
        AdIdle(jig);
    }
    if (StepRunState *step = current_state(context)) step->judgement = busy ? kJudgedNg : kJudgedOk;
    return kOk;
}

// The register block, time-out and mask of the reading forms of getad2(.
struct AdBlock {
    int32_t first = 0;
    int32_t count = 0;
    int mask = 0;
    uint32_t timeout_ms = 0;
};

int getad2_block(RunContext &context, const CommandRecord &command, AdBlock *block) {
    int32_t bits = 0;
    if (command.sub_mode != kGetad2Add) {
        double seconds = 0;
        if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
        if (const int rc = to_milliseconds(seconds, &block->timeout_ms); rc != kOk) return rc;
    }
    if (const int rc = int_operand(context, command, 2, &block->first); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 4, &block->count); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 5, &bits); rc != kOk) return rc;
    if (block->first < 0 || block->count < 1 || block->first + block->count > kRegisterCount - 1) return kErrOutOfRange;
    if (bits != 8 && bits != 10 && bits != 12 && bits != 16) return kErrOutOfRange;
    if (!run_registers(context)) return kErrNoMemory;
    block->mask = ad_high_byte_mask(bits);
    return kOk;
}

}  // namespace

// io( rea, address, n / io( =, address, value: one byte from or to an I/O address.
int run_io(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    JigPorts &jig = *context.jig;
    int32_t address = 0, operand = 0;
    if (const int rc = int_operand(context, command, 0, &address); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 1, &operand); rc != kOk) return rc;
    if (address < 0) return kErrOutOfRange;
    if (command.sub_mode == 0) {
        uint16_t *cell = nullptr;
        if (const int rc = ad_register(context, operand, &cell); rc != kOk) return rc;
        uint8_t value = 0;
        {
            std::lock_guard<PortLock> hold(jig.lock);
            value = PortIn(jig, static_cast<uint32_t>(address));
        }
        *cell = value;
        if (jig.trace) trace_jig_event(jig, format_text("io 0x%X -> 0x%02X", {address, static_cast<int>(value)}));
        return kOk;
    }
    {
        std::lock_guard<PortLock> hold(jig.lock);
        PortOut(jig, static_cast<uint32_t>(address), static_cast<uint8_t>(operand));
    }
    if (jig.trace) trace_jig_event(jig, format_text("io 0x%X=0x%02X", {address, operand & 0xFF}));
    return kOk;
}

// power( off|on: the product's nine power relays.
int run_power(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    return SetProductPower(*context.jig, command.sub_mode == 1);
}

// power_set( channel, volts, amps: the compiled DAC codes of one supply channel.
int run_power_set(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    const int32_t channel = command.ints[0], volts = command.ints[1], amps = command.ints[2];
    if ((channel != 1 && channel != 2) || volts < 0 || volts > 4095 || amps < 0 || amps > 4095) return kErrOutOfRange;
    return LoadPowerSupply(*context.jig, channel, volts, amps);
}

// key( pus|rel, code: a key pressed or released in the front-end's input.
int run_key(RunContext &context, const CommandRecord &command) {
    int32_t code = 0;
    if (const int rc = int_operand(context, command, 0, &code); rc != kOk) return rc;
    if (code < 0 || code > 255) return kErrOutOfRange;
    if (context.frontend) context.frontend->synthesize_key(code, command.sub_mode == 1);
    return kOk;
}

// startsw( / startsw( her / startsw( cle: Enter from the key buffer.
int run_startsw(RunContext &context, const CommandRecord &command) {
    switch (command.sub_mode) {
    case kStartswClear: ClearKeyBuffer(); return kOk;
    case kStartswWait:
        ClearKeyBuffer();
        for (;;) {
            for (int key = GetKeyBuffer(); key >= 0; key = GetKeyBuffer())
                if (key == kVkReturn) return kOk;
            if (!context.checkpoint() || !context.gate.sleep(kStartPollMs)) return kErrBreakedByUser;
        }
    default: {
        if (CheckKeyBuffer() != kVkReturn) return kOk;
        (void)GetKeyBuffer();
        StepRunState *step = current_state(context);
        const StepRecord *record = context.program ? context.program->step(context.current_step) : nullptr;
        if (step && record && ++step->ok_counter >= record->ok_threshold) step->judgement = kJudgedOk;
        return kOk;
    }
    }
}

// downsw( n: the step a restart begins at, -1 none.
int run_downsw(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    if (n < -1 || n > kLastSequenceStep) return kErrOutOfRange;
    context.jig->down_switch_step.store(n, std::memory_order_relaxed);
    return kOk;
}

// setsw( off|on|=|rem|set|res|rea, ...: the sw switches and output ports.
int run_setsw(RunContext &context, const CommandRecord &command) { return run_switches(context, command, kOutputPortBank); }

// setfsw( off|on|=|rem|set|res|rea, ...: the fsw switches and extension latches.
int run_setfsw(RunContext &context, const CommandRecord &command) { return run_switches(context, command, kLatchBank); }

// setesw( =, word, value: an Ext0 output word.
int run_setesw(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    int32_t word = 0, value = 0;
    if (const int rc = int_operand(context, command, 0, &word); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 1, &value); rc != kOk) return rc;
    if (word < 0 || word > 3 || value < 0 || value > 65535) return kErrOutOfRange;
    return WriteExt0Word(*context.jig, word, static_cast<uint16_t>(value));
}

// input_ch( n: channel 1 or 2 routed to the measuring board; 0 touches no port and marks the
// step: its video item analyses what was captured already.
int run_input_ch(RunContext &context, const CommandRecord &command) {
    const int32_t channel = command.ints[0] + 1;
    if (channel == 0) {
        if (StepRunState *step = current_state(context)) step->measure.reuse_capture = true;
        return kOk;
    }
    if (!context.jig) return kNoJig;
    return SelectInputChannel(*context.jig, channel);
}

// getad2( tri|rea|nor|che|add, channel, range[, n, count, bits[, seconds]]: the A/D converter
// read straight into ad[n ...].
int run_getad2(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    JigPorts &jig = *context.jig;
    const int mode = command.sub_mode;
    int32_t channel = 0, range = 0;
    if (const int rc = int_operand(context, command, 0, &channel); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 1, &range); rc != kOk) return rc;
    if (channel < 0 || channel > 7 || range < 0 || range > 6) return kErrOutOfRange;
    if (mode == kGetad2Check) return getad2_check(context, jig, channel, range);
    AdBlock block;
    const bool reads = mode == kGetad2Read || mode == kGetad2Normal || mode == kGetad2Add;
    if (reads) {
        if (const int rc = getad2_block(context, command, &block); rc != kOk) return rc;
    }
    if ((mode == kGetad2Trigger || mode == kGetad2Normal) && !wait_until_settled(context, jig)) return kErrBreakedByUser;
    std::lock_guard<PortLock> hold(jig.lock);
    if (mode == kGetad2Trigger || mode == kGetad2Normal) {
        if (const int rc = StartAdConversion(jig, channel, range); rc != kOk) return rc;
        if (mode == kGetad2Trigger) {
            AdIdle(jig);
            return kOk;
        }
    }
    if (!reads) return kErrInvalidMode;
    uint16_t *samples = &(*run_registers(context)->ad)[static_cast<size_t>(block.first)];
    if (mode == kGetad2Add) return ReadAdFast(jig, channel, range, samples, block.count, block.mask);
    return ReadAd(jig, channel, range, samples, block.count, block.timeout_ms, block.mask, gate_waiter(context));
}

}  // namespace ksw
