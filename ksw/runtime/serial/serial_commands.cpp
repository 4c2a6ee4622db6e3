// Run handlers of rs232c( and rscom(: the station's serial port opened, configured and used for
// fixed-length and length-prefixed packets whose bytes live one per ad[] register (low 8 bits
// sent, received bytes stored zero-extended). Each runs on the sequencer thread.
#include <array>
#include <string>
#include <vector>

#include "model/serial_modes.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "runtime/serial/serial_link.h"

namespace ksw {
namespace {

constexpr int32_t kLargestExchange = 4096;  // bytes of one packet or block
constexpr int32_t kLargestPayload = 255;    // a length byte counts at most this many bytes
constexpr int32_t kLargestPortDigit = 9;
constexpr std::array<int32_t, 7> kBaudRates{300, 600, 1200, 2400, 4800, 9600, 19200};

bool is_baud_rate(int32_t baud) {
    for (const int32_t rate : kBaudRates)
        if (rate == baud) return true;
    return false;
}

// rs232c( set: baud rate, data bits, parity code, stop-bit code (any may come from ad[]).
int set_port(RunContext &context, const CommandRecord &command, SerialLink *link) {
    std::array<int32_t, 4> v{};
    for (int slot = 0; slot < 4; ++slot)
        if (const int rc = int_operand(context, command, slot, &v[static_cast<size_t>(slot)]); rc != kOk) return rc;
    const auto [baud, bits, parity, stop] = v;
    if (!is_baud_rate(baud) || bits < 5 || bits > 8 || parity < 0 || parity > 2 || stop < 0 || stop > 2)
        return kErrOutOfRange;
    if (!link) return kErrSerialCantOpen;
    link->close();
    RSPortSettings &record = link->record();
    record.baud_rate = baud;
    record.byte_size = static_cast<uint8_t>(bits);
    record.parity = static_cast<uint8_t>(parity);
    record.stop_bits = static_cast<uint8_t>(stop);
    return link->open() ? kOk : kErrSerialCantOpen;
}

// rs232c( com: the port name becomes "COMn"; the next set opens it.
int choose_port(RunContext &context, const CommandRecord &command, SerialLink *link) {
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    if (n < 0 || n > kLargestPortDigit) return kErrOutOfRange;
    if (!link) return kErrSerialNotOpen;
    link->set_port_name("COM" + std::to_string(n));
    return kOk;
}

// rs232c( sta: the bytes waiting to be read into an ad[] register (0 when the line cannot say).
int received_count(RunContext &context, const CommandRecord &command, int handle) {
    int32_t index = 0;
    if (const int rc = int_operand(context, command, 0, &index); rc != kOk) return rc;
    if (!is_register_index(index)) return kErrOutOfRange;
    const int waiting = RSGetReceived(handle);
    (*run_registers(context)->ad)[static_cast<size_t>(index)] =
        static_cast<uint16_t>(waiting < 0 ? 0 : (waiting > 65535 ? 65535 : waiting));
    return kOk;
}

// rs232c( tim: each time given and not negative replaces the port's receive or send time-out.
int set_timeouts(RunContext &context, const CommandRecord &command, int handle) {
    uint32_t times[2] = {0, 0};
    if (!RSGetTimeout(handle, &times[0], &times[1])) return serial_error(RS_PORT_FAILED);
    for (int slot = 0; slot < 2; ++slot) {
        double seconds = 0;
        if (const int rc = real_operand(context, command, slot, &seconds); rc != kOk) return rc;
        if (seconds < 0) continue;
        if (const int rc = to_milliseconds(seconds, &times[slot]); rc != kOk) return rc;
    }
    return RSSetTimeout(handle, times[0], times[1]) ? kOk : serial_error(RS_PORT_FAILED);
}

// A block of ad[] registers named by a first-register slot and a count slot.
struct Block {
    int32_t first = 0;
    int32_t count = 0;
};

// Reads a block's operands and checks it: the count within least..most and every register of
// it inside the register file. 0 or e004.
int read_block(RunContext &context, const CommandRecord &command, int first_slot, int count_slot, int32_t least,
               Block *block) {
    if (const int rc = int_operand(context, command, first_slot, &block->first); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, count_slot, &block->count); rc != kOk) return rc;
    if (block->count < least || block->count > kLargestExchange) return kErrOutOfRange;
    if (!is_register_index(block->first) || block->first + int64_t{block->count} > kRegisterCount) return kErrOutOfRange;
    return kOk;
}

// The low bytes of ad[first .. first + count - 1].
std::vector<uint8_t> bytes_of(const AdFile &ad, int32_t first, int32_t count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(ad[static_cast<size_t>(first + i)]);
    return bytes;
}

void store_bytes(AdFile &ad, int32_t first, const uint8_t *bytes, int32_t count) {
    for (int32_t i = 0; i < count; ++i) ad[static_cast<size_t>(first + i)] = bytes[i];
}

// The length-prefixed packet that starts at ad[S]: ad[S + 1] counts the bytes after the first
// two. A count above 255 cannot go into the length byte and is refused rather than cut.
int read_packet(RunContext &context, const CommandRecord &command, std::vector<uint8_t> *packet) {
    int32_t start = 0;
    if (const int rc = int_operand(context, command, 0, &start); rc != kOk) return rc;
    if (!is_register_index(start) || !is_register_index(int64_t{start} + 1)) return kErrOutOfRange;
    const AdFile &ad = *run_registers(context)->ad;
    const int32_t payload = ad[static_cast<size_t>(start + 1)];
    if (payload > kLargestPayload || start + payload + 2 > kRegisterCount) return kErrOutOfRange;
    *packet = bytes_of(ad, start, payload + 2);
    return kOk;
}

// The time T of an exchange as a receive time-out override (0: keep the port's).
int exchange_time(RunContext &context, const CommandRecord &command, uint32_t *ms) {
    double seconds = 0;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    return to_milliseconds(seconds, ms);
}

// rscom( ret: T the pause between attempts, slot 0 the number of attempts in all.
int set_retries(RunContext &context, const CommandRecord &command, int handle) {
    int32_t attempts = 0;
    uint32_t interval = 0;
    if (const int rc = int_operand(context, command, 0, &attempts); rc != kOk) return rc;
    if (const int rc = exchange_time(context, command, &interval); rc != kOk) return rc;
    if (attempts < 1) return kErrOutOfRange;
    return RSSetRetry(handle, static_cast<uint32_t>(attempts - 1), interval) ? kOk : serial_error(RS_PORT_FAILED);
}

int fixed_exchange(RunContext &context, const CommandRecord &command, int handle) {
    const int form = command.sub_mode;
    const bool sends = form != kRscomFixedRx, receives = form != kRscomFixedTx;
    Block out, in;
    uint32_t time_ms = 0;
    if (sends) {
        if (const int rc = read_block(context, command, 0, 1, 0, &out); rc != kOk) return rc;
    }
    if (receives) {
        if (const int rc = read_block(context, command, 2, 3, 0, &in); rc != kOk) return rc;
    }
    if (form == kRscomFixedTxRx) {
        if (const int rc = exchange_time(context, command, &time_ms); rc != kOk) return rc;
    }
    AdFile &ad = *run_registers(context)->ad;
    const std::vector<uint8_t> data = bytes_of(ad, out.first, out.count);
    std::vector<uint8_t> reply(static_cast<size_t>(in.count) + 1);
    int rc = RS_OK;
    if (form == kRscomFixedTx) rc = RSSendfData(handle, data.data(), static_cast<uint32_t>(data.size()));
    else if (form == kRscomFixedRx) rc = RSGetfData(handle, reply.data(), static_cast<uint32_t>(in.count));
    else rc = RSSendGetfData(handle, data.data(), static_cast<uint32_t>(data.size()), reply.data(), static_cast<uint32_t>(in.count), time_ms);
    if (rc != RS_OK) return serial_error(rc);
    if (receives) store_bytes(ad, in.first, reply.data(), in.count);
    return kOk;
}

int packet_exchange(RunContext &context, const CommandRecord &command, int handle) {
    const int form = command.sub_mode;
    const bool sends = form != kRscomPacketRx, receives = form != kRscomPacketTx;
    std::vector<uint8_t> packet;
    Block in;
    uint32_t time_ms = 0;
    if (sends) {
        if (const int rc = read_packet(context, command, &packet); rc != kOk) return rc;
    }
    if (receives) {
        if (const int rc = read_block(context, command, 2, 3, 2, &in); rc != kOk) return rc;
    }
    if (form == kRscomPacketTxRx) {
        if (const int rc = exchange_time(context, command, &time_ms); rc != kOk) return rc;
    }
    std::array<uint8_t, RS_PACKET_BUFFER_SIZE> reply{};
    int rc = RS_OK;
    if (form == kRscomPacketTx) rc = RSSendnData(handle, packet.data());
    else if (form == kRscomPacketRx) rc = RSGetnData(handle, reply.data());
    else rc = RSSendGetnData(handle, packet.data(), reply.data(), time_ms);
    if (rc != RS_OK) return serial_error(rc);
    if (receives) {
        // Only the bytes of the packet that came: registers past its end keep their values.
        const int32_t arrived = reply[1] + 2;
        store_bytes(*run_registers(context)->ad, in.first, reply.data(), in.count < arrived ? in.count : arrived);
    }
    return kOk;
}

}  // namespace

// rs232c(set|res|sta|cle|tim|com, ...)
int run_rs232c(RunContext &context, const CommandRecord &command) {
    SerialLink *link = context.serial;
    if (link && link->options().ignore) return kOk;
    switch (command.sub_mode) {
    case kRsSet: return set_port(context, command, link);
    case kRsReset:
        if (link) link->close();
        return kOk;
    case kRsPort: return choose_port(context, command, link);
    default: break;
    }
    if (!link || !link->is_open()) return kErrSerialNotOpen;
    if (!run_registers(context)) return kErrNoMemory;
    const int handle = link->handle();
    switch (command.sub_mode) {
    case kRsStatus: return received_count(context, command, handle);
    case kRsClear:
        (void)RSClearRXBuffer(handle);
        return kOk;
    case kRsTimeout: return set_timeouts(context, command, handle);
    default: return kErrInvalidMode;
    }
}

// rscom(ret|ftx|frx|ftr|vtx|vrx|vtr, ...)
int run_rscom(RunContext &context, const CommandRecord &command) {
    SerialLink *link = context.serial;
    if (link && link->options().ignore) return kOk;
    if (!link || !link->is_open()) return kErrSerialNotOpen;
    if (!run_registers(context)) return kErrNoMemory;
    const int handle = link->handle();
    switch (command.sub_mode) {
    case kRscomRetry: return set_retries(context, command, handle);
    case kRscomFixedTx:
    case kRscomFixedRx:
    case kRscomFixedTxRx: return fixed_exchange(context, command, handle);
    case kRscomPacketTx:
    case kRscomPacketRx:
    case kRscomPacketTxRx: return packet_exchange(context, command, handle);
    default: return kErrInvalidMode;
    }
}

}  // namespace ksw
