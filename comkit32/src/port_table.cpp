#include "port_table.h"

#include <climits>

namespace comkit {
namespace {

constexpr int kFirstHandle = 0x100;

struct Table {
    PortSlot slots[kSlotCount];
    int next_handle = kFirstHandle;
    std::mutex mutex;
    std::atomic<int> last_error{0};
};

Table &table() {
    static Table t;
    return t;
}

bool handle_in_use(const Table &t, int handle) {
    for (const PortSlot &s : t.slots)
        if (s.handle.load(std::memory_order_acquire) == handle) return true;
    return false;
}

// Handles count up, so a closed port's handle stays unknown for a long while after.
int fresh_handle(Table &t) {
    do {
        const int h = t.next_handle;
        t.next_handle = h == INT_MAX ? kFirstHandle : h + 1;
        if (!handle_in_use(t, h)) return h;
    } while (true);
}

}  // namespace

PortSlot *find_port(int handle) {
    if (handle == -1) return nullptr;
    for (PortSlot &s : table().slots)
        if (s.handle.load(std::memory_order_acquire) == handle) return &s;
    return nullptr;
}

int slot_index(int handle) {
    const PortSlot *p = find_port(handle);
    return p ? static_cast<int>(p - table().slots) : kSlotCount;
}

bool slot_free() { return handle_in_use(table(), -1); }

int claim_slot(const Line &line) {
    Table &t = table();
    for (PortSlot &s : t.slots) {
        if (s.handle.load(std::memory_order_acquire) != -1) continue;
        s.line = line;
        s.receive_ms = kDefaultTimeoutMs;
        s.send_ms = kDefaultTimeoutMs;
        s.retry_count = 0;
        s.retry_interval_ms = kDefaultRetryIntervalMs;
        s.read_ms_per_byte = kDefaultMsPerByte;
        s.write_ms_per_byte = kDefaultMsPerByte;
        const int h = fresh_handle(t);
        s.handle.store(h, std::memory_order_release);
        return h;
    }
    return -1;
}

bool release_slot(int handle, Line *line) {
    PortSlot *s = find_port(handle);
    if (!s) return false;
    *line = s->line;
    s->line = Line{};
    s->handle.store(-1, std::memory_order_release);
    return true;
}

std::mutex &table_mutex() { return table().mutex; }

void set_last_error(int code) { table().last_error.store(code, std::memory_order_relaxed); }
int last_error() { return table().last_error.load(std::memory_order_relaxed); }

}  // namespace comkit
