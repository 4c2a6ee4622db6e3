#include "station/jig_startup.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/io_ports.h"
#include "platform/process.h"
#include "platform/raw_file.h"
#include "platform/tick.h"
#include "resources/error_codes.h"
#include "resources/messages.h"
#include "station/message_box.h"

namespace ksw {
namespace {

constexpr size_t kScenarioLimit = 1 << 20;  // the simulated world reads no larger scenario
constexpr uint32_t kCableSettleMs = 500;
constexpr const char *kGroupKeys[kJigChips] = {"SysPort0", "SysPort1", "Ext0Port0", "Ext0Port1"};
// How the simulated world wires the jig when its scenario names no port addresses.
constexpr ChipAddresses kSimulatedWiring[kJigChips] = {
    {0x10, 0x12, 0x14, 0x16}, {0x11, 0x13, 0x15, 0x17}, {0x20, 0x22, 0x24, 0x26}, {0x21, 0x23, 0x25, 0x27}};

std::string simulated_library_dir() { return platform::executable_dir() + "/../sim/lib"; }

// The scenario file as text: a regular file of at most 1 MiB.
bool read_scenario(const std::string &path, std::string *text, std::string *error) {
    std::string reason;
    const int fd = platform::open_regular_file(path, &reason);
    if (fd < 0) {
        *error = "--sim=" + path + ": " + reason;
        return false;
    }
    text->clear();
    char buffer[65536];
    for (;;) {
        const long n = platform::read_some(fd, buffer, sizeof buffer, &reason);
        if (n < 0) {
            (void)platform::close_file(fd);
            *error = "--sim=" + path + ": " + reason;
            return false;
        }
        if (n == 0) break;
        text->append(buffer, static_cast<size_t>(n));
        if (text->size() > kScenarioLimit) {
            (void)platform::close_file(fd);
            *error = "--sim=" + path + ": larger than 1 MiB";
            return false;
        }
    }
    (void)platform::close_file(fd);
    return true;
}

// "%X,%X,%X,%X" as the simulated world reads it: four fields of one to four hexadecimal digits,
// blanks around each allowed.
bool parse_scenario_ports(std::string_view text, ChipAddresses *out) {
    ChipAddresses addresses{};
    for (size_t i = 0; i < 4; ++i) {
        const size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 3)) return false;
        std::string_view field = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) field.remove_prefix(1);
        while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
        if (field.empty() || field.size() > 4) return false;
        unsigned value = 0;
        for (const char c : field) {
            const int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                            : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        addresses[i] = static_cast<uint16_t>(value);
    }
    *out = addresses;
    return true;
}

bool ask_without_jig(Frontend &frontend, int error) {
    const std::string text = std::string(message_text(error)) + "\nOperate without jig";
    return frontend.ask(text, "Error", Buttons::YesNo, BoxIcon::Question) == Answer::Yes;
}

}  // namespace

bool prepare_simulated_world(const std::string &scenario, std::string *error) {
    std::string text;
    if (!read_scenario(scenario, &text, error)) return false;
    const std::string dir = simulated_library_dir();
    if (!platform::is_regular_file(dir + "/libfbippi.so")) {
        *error = "--sim: no simulated jig library in " + dir + " (build the sim targets)";
        return false;
    }
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(scenario, ignored);
    const std::string search = platform::environment("KSW_LIBRARY_PATH");
    if (!platform::set_environment("KSW_SIM_SCENARIO", absolute.empty() ? scenario : absolute.string()) ||
        !platform::set_environment("KSW_LIBRARY_PATH", search.empty() ? dir : dir + ":" + search)) {
        *error = "--sim: the environment cannot be set";
        return false;
    }
    return true;
}

bool jig_options_for(const Settings &settings, const std::string &scenario, JigOptions *out, std::string *error) {
    JigOptions options;
    for (int chip = 0; chip < kJigChips; ++chip) options.chips[static_cast<size_t>(chip)] = settings.ports[static_cast<size_t>(chip)];
    options.access_mode = settings.port_access_mode;
    options.e0_seq_mode = settings.e0_seq_mode;
    if (!scenario.empty()) {
        std::string text;
        if (!read_scenario(scenario, &text, error)) return false;
        platform::IniFile document;
        document.parse(text);
        for (int chip = 0; chip < kJigChips; ++chip) {
            ChipAddresses &addresses = options.chips[static_cast<size_t>(chip)];
            addresses = kSimulatedWiring[chip];
            if (const auto value = document.get("ports", kGroupKeys[chip])) (void)parse_scenario_ports(*value, &addresses);
        }
        options.direct_io = false;  // a simulated jig never reaches the machine's own ports
    }
    *out = options;
    return true;
}

JigStartResult InitJig(JigPorts &jig, Frontend &frontend, CableRefusal refusal) {
    ResetJigOutputs(jig);
    if (jig.access_mode.load(std::memory_order_relaxed) != kAccessJig) return {};
    bool seen = false;
    for (int error = CheckCables(jig); error != kOk; error = CheckCables(jig)) {
        seen = true;
        if (ask_without_jig(frontend, error)) {
            SetPortsInput(jig);
            set_port_access_mode(jig, kAccessNoJig);
            return {error, false};
        }
        if (refusal == CableRefusal::kGiveUp) return {error, true};
    }
    if (seen) platform::sleep_ms(kCableSettleMs);
    (void)ZeroJigOutputs(jig);  // a failure here (jig power off) shows at the program's first write
    return {};
}

bool JigStation::open(const JigOptions &options, const std::string &trace_path, std::string *error) {
    close();
    if (!trace_path.empty()) {
        if (!trace_.open(trace_path, error)) return false;
        jig_.trace = &trace_;
    }
    std::string notice;
    (void)LoadPpiBoards(jig_, &notice);
    if (!notice.empty()) show_message(&frontend_, notice, "ERROR", Buttons::Ok, BoxIcon::Exclamation);
    configure_jig(jig_, options);
    open_ = true;
    return true;
}

JigStartResult JigStation::initialise(CableRefusal refusal) {
    // Direct port access is asked for only now, when the jig is about to be used, and on the
    // main thread, before the threads that inherit it exist.
    const std::vector<uint16_t> direct = direct_ports(jig_);
    if (jig_.direct_io && !direct.empty() && !direct_io_requested_) {
        std::string reason;
        direct_io_requested_ = true;
        if (!platform::request_io_ports(direct, &reason))
            show_message(&frontend_,
                         "No permission for direct port access (" + reason +
                             "): the jig's ports read 0xFF and take no writes",
                         "ERROR", Buttons::Ok, BoxIcon::Exclamation);
    }
    started_ = true;
    return InitJig(jig_, frontend_, refusal);
}

void JigStation::attach(RunContext &context) {
    context.jig = &jig_;
    trace_.set_step_source(&context.status.step);
}

bool JigStation::start_remote_control() {
    if (remote_.start(jig_, frontend_)) return true;
    show_message(&frontend_, message_text(kMsgCantUseRemoteControl), "ERROR", Buttons::Ok, BoxIcon::Stop);
    return false;
}

void JigStation::close() {
    remote_.stop();
    if (!open_) return;
    open_ = false;
    // A jig that was never started up (the program did not load) is left as it was.
    if (started_) SetPortsInput(jig_);
    started_ = false;
    UnloadPpiBoards(jig_);
    if (direct_io_requested_) platform::release_io_ports();
    direct_io_requested_ = false;
    if (jig_.trace == &trace_) jig_.trace = nullptr;
    trace_.set_step_source(nullptr);
    trace_.close();
}

}  // namespace ksw
