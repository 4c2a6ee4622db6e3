// The C interface of the simulated world: one world per process behind one lock, created on
// first use from KSW_SIM_SCENARIO and finished (report written, trace closed) when the process
// ends. The world is never deleted at exit, so a thread that still calls in meanwhile finds it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "jigsim.h"
#include "world.h"

namespace {

using jigsim::World;

std::mutex &world_lock() {
    static std::mutex *m = new std::mutex;
    return *m;
}

World *g_world = nullptr;

// The report lines of other stand-ins. Kept apart from the world, which jigsim_load replaces, and
// never deleted, so a report written while the process ends still finds them. Under the lock.
struct ReportHook {
    std::string name;
    jigsim_report_fn fn;
    void *context;
};

std::vector<ReportHook> &report_hooks() {
    static auto *hooks = new std::vector<ReportHook>;
    return *hooks;
}

// The lines of every hook, in order. Called without the lock: a hook may call into the world.
std::string hook_lines() {
    std::vector<ReportHook> hooks;
    {
        std::lock_guard<std::mutex> guard(world_lock());
        hooks = report_hooks();
    }
    constexpr size_t kHookLimit = size_t{64} << 20;  // a hook that asks for more is cut there
    std::string out;
    for (const ReportHook &hook : hooks) {
        std::string lines(4096, '\0');
        size_t n = hook.fn(lines.data(), lines.size(), hook.context);
        if (n > lines.size()) {
            lines.assign(std::min(n, kHookLimit), '\0');
            n = std::min(hook.fn(lines.data(), lines.size(), hook.context), lines.size());
        }
        out.append(lines, 0, n);
    }
    return out;
}

// Replaces the world by one read from `path`. The lock must be held.
int load_locked(const std::string &path) {
    jigsim::WorldConfig config;
    const int problems = jigsim::load_world_config(path, &config);
    World *fresh = new (std::nothrow) World(std::move(config), problems);
    if (!fresh) return problems + 1;
    delete g_world;
    g_world = fresh;
    return problems;
}

// The world, created from the environment when there is none yet. The lock must be held.
World &world() {
    if (!g_world) {
        const char *path = std::getenv("KSW_SIM_SCENARIO");
        load_locked(path ? path : "");
    }
    return *g_world;
}

template <typename F>
auto with_world(F action) {
    std::lock_guard<std::mutex> guard(world_lock());
    return action(world());
}

struct FinishAtExit {
    ~FinishAtExit() {
        const std::string more = hook_lines();
        std::lock_guard<std::mutex> guard(world_lock());
        if (g_world) g_world->finish(more);
    }
} g_finish_at_exit;

// Copies `text` into buf; -1 (buf emptied when it has room) when it does not fit.
int copy_out(const std::string &text, char *buf, size_t len) {
    if (!buf || len == 0) return -1;
    if (text.size() >= len) {
        buf[0] = '\0';
        return -1;
    }
    std::memcpy(buf, text.c_str(), text.size() + 1);
    return 0;
}

bool valid_cell(int memory, int page, int address) {
    return (memory == JIGSIM_EEPROM || memory == JIGSIM_RAM) && page >= 0 && page <= 255 && address >= 0 && address <= 255;
}

}  // namespace

JIGSIM_API int jigsim_load(const char *path) {
    std::lock_guard<std::mutex> guard(world_lock());
    return load_locked(path ? path : "");
}

JIGSIM_API int jigsim_reset(void) {
    std::lock_guard<std::mutex> guard(world_lock());
    const std::string path = world().config().scenario_path;
    return load_locked(path);
}

JIGSIM_API int jigsim_scenario_path(char *buf, size_t len) {
    return with_world([&](World &w) { return copy_out(w.config().scenario_path, buf, len); });
}

JIGSIM_API int jigsim_scenario_value(const char *section, const char *key, char *buf, size_t len) {
    if (!section || !key) return -1;
    return with_world([&](World &w) {
        const jigsim::ScenarioEntry *e = w.config().document.find(section, key);
        if (copy_out(e ? e->value : std::string(), buf, len) != 0) return -1;
        return e ? 1 : 0;
    });
}

JIGSIM_API int jigsim_port_setting(const char *key, char *buf, size_t len) {
    if (buf && len > 0) buf[0] = '\0';
    if (!key) return -1;
    return with_world([&](World &w) {
        for (int g = 0; g < jigsim::kGroups; ++g) {
            if (!jigsim::same_name(key, jigsim::kGroupNames[static_cast<size_t>(g)])) continue;
            const jigsim::PortGroupSetting &group = w.config().ports[static_cast<size_t>(g)];
            if (copy_out(jigsim::port_setting_text(group), buf, len) != 0) return -1;
            return group.from_scenario ? 1 : 0;
        }
        return -1;
    });
}

JIGSIM_API int jigsim_ppi_board_count(void) {
    return with_world([](World &w) { return static_cast<int>(w.boards().size()); });
}

JIGSIM_API int jigsim_ppi_board(int index, char *name, size_t len, int *slot) {
    return with_world([&](World &w) {
        if (index < 0 || static_cast<size_t>(index) >= w.boards().size()) return -1;
        const jigsim::PpiBoard &b = w.boards()[static_cast<size_t>(index)];
        if (name && copy_out(b.name, name, len) != 0) return -1;
        if (slot) *slot = b.slot;
        return 0;
    });
}

JIGSIM_API int jigsim_ppi_control(int slot, int chip, int word) {
    return with_world([&](World &w) { return w.ppi_control(slot, chip, word) ? 0 : -1; });
}

JIGSIM_API int jigsim_ppi_write(int slot, int chip, int port, int value) {
    return with_world([&](World &w) { return w.ppi_write(slot, chip, port, value) ? 0 : -1; });
}

JIGSIM_API int jigsim_ppi_read(int slot, int chip, int port, int *value) {
    return with_world([&](World &w) { return w.ppi_read(slot, chip, port, value) ? 0 : -1; });
}

JIGSIM_API int jigsim_output_port(int port) {
    if (port < 0 || port > 31) return -1;
    return with_world([&](World &w) { return static_cast<int>(w.jig().output_ports()[static_cast<size_t>(port)]); });
}

JIGSIM_API int jigsim_latch(int latch) {
    if (latch < 0 || latch > 31) return -1;
    return with_world([&](World &w) { return static_cast<int>(w.jig().latch(latch)); });
}

JIGSIM_API int jigsim_ext0_word(int word) {
    if (word < 0 || word > 3) return -1;
    return with_world([&](World &w) { return static_cast<int>(w.jig().ext0_word(word)); });
}

JIGSIM_API int jigsim_psu(int channel, int *volt_code, int *amp_code) {
    if (channel < 1 || channel > 2) return -1;
    return with_world([&](World &w) {
        const jigsim::PsuChannel &psu = w.jig().psu(channel);
        if (volt_code) *volt_code = psu.volt_code;
        if (amp_code) *amp_code = psu.amp_code;
        return psu.latched ? 1 : 0;
    });
}

JIGSIM_API int jigsim_board_register(int register_bits, int *datum) {
    return with_world([&](World &w) {
        const auto &regs = w.jig().board_registers();
        const auto it = regs.find(register_bits);
        if (datum) *datum = it == regs.end() ? 0 : it->second;
        return it == regs.end() ? 0 : 1;
    });
}

JIGSIM_API int jigsim_board_registers(int *register_bits, int *data, int max) {
    return with_world([&](World &w) {
        int n = 0;
        for (const auto &[reg, datum] : w.jig().board_registers()) {
            if (n < max) {
                if (register_bits) register_bits[n] = reg;
                if (data) data[n] = datum;
            }
            ++n;
        }
        return n;
    });
}

JIGSIM_API int jigsim_lamps(int *ok, int *ng) {
    return with_world([&](World &w) {
        if (ok) *ok = w.jig().lamp_ok() ? 1 : 0;
        if (ng) *ng = w.jig().lamp_ng() ? 1 : 0;
        return 0;
    });
}

JIGSIM_API uint64_t jigsim_conversions(void) {
    return with_world([](World &w) { return w.jig().conversions(); });
}

JIGSIM_API uint64_t jigsim_port_writes(void) {
    return with_world([](World &w) { return w.jig().port_writes(); });
}

JIGSIM_API int jigsim_adc_selection(int *channel, int *range) {
    return with_world([&](World &w) {
        if (channel) *channel = w.jig().adc_channel();
        if (range) *range = w.jig().adc_range();
        return 0;
    });
}

JIGSIM_API int jigsim_write_report(void) {
    const std::string more = hook_lines();
    return with_world([&](World &w) {
        std::string error;
        if (w.write_report(more, &error)) return 0;
        std::fprintf(stderr, "jigsim: state report: %s\n", error.c_str());
        return -1;
    });
}

JIGSIM_API int jigsim_report_hook(const char *name, jigsim_report_fn fn, void *context) {
    if (!name || !*name) return -1;
    std::lock_guard<std::mutex> guard(world_lock());
    std::vector<ReportHook> &hooks = report_hooks();
    const auto it = std::find_if(hooks.begin(), hooks.end(), [&](const ReportHook &h) { return h.name == name; });
    if (!fn) {
        if (it != hooks.end()) hooks.erase(it);
    } else if (it != hooks.end()) {
        it->fn = fn;
        it->context = context;
    } else {
        hooks.push_back({name, fn, context});
    }
    return 0;
}

JIGSIM_API size_t jigsim_trace_count(void) {
    return with_world([](World &w) { return w.trace().size(); });
}

JIGSIM_API int jigsim_trace_get(size_t index, jigsim_access *out) {
    return with_world([&](World &w) {
        if (!out || index >= w.trace().size()) return -1;
        *out = w.trace()[index];
        return 0;
    });
}

JIGSIM_API size_t jigsim_trace_copy(size_t first, jigsim_access *out, size_t max) {
    return with_world([&](World &w) -> size_t {
        if (!out || first >= w.trace().size()) return 0;
        const size_t n = std::min(max, w.trace().size() - first);
        std::memcpy(out, w.trace().data() + first, n * sizeof(jigsim_access));
        return n;
    });
}

JIGSIM_API void jigsim_trace_clear(void) {
    with_world([](World &w) {
        w.clear_trace();
        return 0;
    });
}

JIGSIM_API uint64_t jigsim_trace_dropped(void) {
    return with_world([](World &w) { return w.trace_dropped(); });
}

JIGSIM_API int jigsim_set_cable(int cable, int connected) {
    if (cable < 1 || cable > 2) return -1;
    return with_world([&](World &w) {
        w.jig().set_cable(cable, connected != 0);
        return 0;
    });
}

JIGSIM_API void jigsim_set_power(int on) {
    with_world([&](World &w) {
        w.jig().set_power(on != 0);
        return 0;
    });
}

JIGSIM_API void jigsim_set_adc_stuck(int stuck) {
    with_world([&](World &w) {
        w.jig().set_adc_stuck(stuck != 0);
        return 0;
    });
}

JIGSIM_API int jigsim_switch_press(int sw) {
    if (sw < 0 || sw > 3) return -1;
    return with_world([&](World &w) {
        w.jig().set_switch(sw, true);
        return 0;
    });
}

JIGSIM_API int jigsim_switch_release(int sw) {
    if (sw < 0 || sw > 3) return -1;
    return with_world([&](World &w) {
        w.jig().set_switch(sw, false);
        return 0;
    });
}

JIGSIM_API void jigsim_set_start_switch(int on) {
    with_world([&](World &w) {
        w.jig().set_start_switch(on != 0);
        return 0;
    });
}

JIGSIM_API int jigsim_set_adc_counts(int channel, int range, int counts) {
    if (channel < 0 || channel >= jigsim::kAdcChannels || range < -1 || range >= jigsim::kAdcRanges) return -1;
    return with_world([&](World &w) {
        w.jig().set_adc_counts(channel, range, counts);
        return 0;
    });
}

JIGSIM_API int jigsim_set_ext_adc(int selector, int counts) {
    if (selector < 0 || selector > 1) return -1;
    return with_world([&](World &w) {
        w.jig().set_ext_counts(selector, counts);
        return 0;
    });
}

JIGSIM_API int jigsim_adc_sample(int channel, int range, int *counts) {
    if (channel < 0 || channel >= jigsim::kAdcChannels || range < 0 || range > jigsim::kAdcRanges || !counts) return -1;
    return with_world([&](World &w) {
        *counts = w.jig().product_output(channel, range);
        return 0;
    });
}

JIGSIM_API int jigsim_product_power(void) {
    return with_world([](World &w) { return w.jig().output_ports()[28] & 0x1FF; });
}

JIGSIM_API int jigsim_evr_read(int memory, int page, int address, uint16_t *value) {
    if (!value || !valid_cell(memory, page, address)) return -1;
    return with_world([&](World &w) {
        *value = w.evr().get(memory, page * 256 + address);
        return 0;
    });
}

JIGSIM_API int jigsim_evr_write(int memory, int page, int address, uint16_t value) {
    if (!valid_cell(memory, page, address)) return -1;
    return with_world([&](World &w) {
        w.evr().set(memory, page * 256 + address, value);
        return 0;
    });
}

JIGSIM_API int jigsim_evr_copy(int from, int to) {
    if (!valid_cell(from, 0, 0) || !valid_cell(to, 0, 0)) return -1;
    return with_world([&](World &w) {
        w.evr().copy(from, to);
        return 0;
    });
}

JIGSIM_API int jigsim_evr_load_dump(int memory, const char *path, char *error, size_t len) {
    if (error && len > 0) error[0] = '\0';
    if (!path || !valid_cell(memory, 0, 0)) return -1;
    // The file is read outside the lock: the world is not held up by a slow disk.
    std::string text, why;
    std::vector<uint16_t> cells;
    if (jigsim::read_small_file(path, 16 << 20, &text, &why)) {
        std::lock_guard<std::mutex> guard(world_lock());
        cells = world().evr().cells(memory);
        if (jigsim::read_page_dump(text, &cells, &why)) {
            world().evr().assign(memory, cells);
            return 0;
        }
        why = std::string(path) + ": " + why;
    }
    if (error && len > 0) {
        std::strncpy(error, why.c_str(), len - 1);
        error[len - 1] = '\0';
    }
    return -1;
}
