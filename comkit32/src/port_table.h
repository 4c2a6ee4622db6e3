// The nine port slots, their per-port values and the library-wide last error.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "serial_line.h"

namespace comkit {

constexpr int kSlotCount = 9;
constexpr uint32_t kDefaultTimeoutMs = 1000;
constexpr uint32_t kDefaultRetryIntervalMs = 1000;
constexpr uint32_t kDefaultMsPerByte = 100;

struct PortSlot {
    std::atomic<int> handle{-1};  // -1 while the slot is free
    Line line;
    uint32_t receive_ms = kDefaultTimeoutMs;
    uint32_t send_ms = kDefaultTimeoutMs;
    uint32_t retry_count = 0;
    uint32_t retry_interval_ms = kDefaultRetryIntervalMs;
    uint32_t read_ms_per_byte = kDefaultMsPerByte;
    uint32_t write_ms_per_byte = kDefaultMsPerByte;
};

// The slot that holds `handle`, or null when the handle is unknown (or -1).
PortSlot *find_port(int handle);
// The slot index 0..8 of `handle`, or kSlotCount when unknown.
int slot_index(int handle);

// Takes a free slot for an opened line, with the per-port values back at their defaults, and
// gives it a handle no open port has. -1 when every slot is taken (the line is left alone).
int claim_slot(const Line &line);
// True when a slot is free, so an open is worth trying.
bool slot_free();
// Frees the slot of `handle` and hands back its line; false for an unknown handle.
bool release_slot(int handle, Line *line);

// Held while a port is opened or closed, so two opens never take the same slot.
std::mutex &table_mutex();

void set_last_error(int code);
int last_error();

}  // namespace comkit
