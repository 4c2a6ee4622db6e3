#include "runtime/gpib/gpib_link.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/tick.h"
#include "resources/error_codes.h"
#include "runtime/run_context.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

constexpr int32_t kClearTime = 2;  // the interface clear's length, as the board takes it

// The two board libraries, in the order they are tried, and the prefix of their entry points.
struct BoardLibrary {
    const char *name;
    const char *prefix;
};
constexpr std::array<BoardLibrary, 2> kBoardLibraries{{{"gpc4304.dll", "PciGpibEx"}, {"vcw4301.dll", "Gpib"}}};

// Binds the eight entry points of `library` into `api`; the name of the first missing one, or
// an empty text when all are there.
std::string bind_entry_points(platform::DynamicLibrary &library, const char *prefix, GpibBoardApi *api) {
    std::string name;
    const auto bind = [&](const char *entry, auto *out) {
        name = std::string(prefix) + entry;
        return library.bind(name.c_str(), out);
    };
    if (bind("InitBoard", &api->init_board) && bind("FinishBoard", &api->finish_board) &&
        bind("SetConfig", &api->set_config) && bind("SetRen", &api->set_ren) && bind("ResetRen", &api->reset_ren) &&
        bind("SetIfc", &api->set_ifc) && bind("MastSendData", &api->send) && bind("MastRecvData", &api->receive))
        name.clear();
    return name;
}

// Binds the first board library that loads with all eight entry points. Section held.
int bind_board_library(GpibLink &link) {
    link.bind_notice.clear();
    for (const BoardLibrary &candidate : kBoardLibraries) {
        if (!link.library.load(candidate.name)) continue;
        GpibBoardApi api;
        if (const std::string missing = bind_entry_points(link.library, candidate.prefix, &api); !missing.empty()) {
            if (!link.bind_notice.empty()) link.bind_notice += "; ";
            link.bind_notice += std::string(candidate.name) + " (" + link.library.path() + ") has no " + missing;
            link.library.unload();
            continue;
        }
        link.api = api;
        return kOk;
    }
    return kErrGpibMissingDll;
}

bool is_reply_end(char c) { return c == '\0' || c == '\r' || c == '\n'; }

}  // namespace

GpibLink &gpib_link() {
    static GpibLink link;
    return link;
}

void configure_gpib(GpibLink &link, const GpibOptions &options) {
    std::lock_guard<std::recursive_mutex> hold(link.section);
    link.board = options.board;
    link.window = options.window;
    link.mes_delay_ms.store(options.mes_delay_ms, std::memory_order_relaxed);
    link.ignore.store(options.ignore, std::memory_order_relaxed);
}

void reset_gpib_link(GpibLink &link) {
    std::lock_guard<std::recursive_mutex> hold(link.section);
    link.library.unload();
    link.api = {};
    link.bind_notice.clear();
    link.initialised = false;
    configure_gpib(link, GpibOptions{});
}

int gpib_result(int32_t library_result) {
    switch (library_result) {
    case -1:
    case -999: return kErrGpibNoBoard;
    case -2:
    case -3: return kErrGpibParameter;
    case -10: return kErrGpibStatusTimeout;
    case -12: return kErrGpibReceive;
    case -14:
    case -15: return kErrGpibTimeout;
    case -16: return kErrGpibCleared;
    default: return library_result >= 0 ? kOk : kErrGpibMisc;
    }
}

int initialise_gpib(GpibLink &link) {
    std::lock_guard<std::recursive_mutex> hold(link.section);
    link.initialised = false;
    if (!link.library.loaded()) return kErrGpibMissingDll;
    int32_t r = link.api.init_board(link.board, link.window);
    if (r >= 0) r = link.api.set_ifc(link.board, kClearTime);
    if (r >= 0) r = link.api.set_ren(link.board);
    link.initialised = r >= 0;
    return gpib_result(r);
}

void finish_gpib(GpibLink &link) {
    std::lock_guard<std::recursive_mutex> hold(link.section);
    if (!link.library.loaded() || !link.initialised) return;
    (void)link.api.reset_ren(link.board);
    (void)link.api.finish_board(link.board);
    link.initialised = false;
}

int gpib_ready(GpibLink &link, bool need_initialised) {
    std::lock_guard<std::recursive_mutex> hold(link.section);
    if (!link.library.loaded()) {
        if (const int rc = bind_board_library(link); rc != kOk) return rc;
        (void)initialise_gpib(link);  // a failure shows as e146 at this and every later use
    }
    return need_initialised && !link.initialised ? kErrGpibMisc : kOk;
}

int change_gpib_board(GpibLink &link, int board) {
    std::lock_guard<std::recursive_mutex> hold(link.section);
    finish_gpib(link);
    link.board = board;
    return link.library.loaded() ? initialise_gpib(link) : kOk;
}

int gpib_transfer(GpibLink &link, int mode, int value, std::string_view text, std::string *received) {
    std::lock_guard<std::recursive_mutex> hold(link.section);
    if (const int rc = gpib_ready(link); rc != kOk) return rc;
    const int32_t addresses[2] = {value, -1};
    int32_t r = 0;
    switch (mode) {
    case kGpibReceive: {
        char buffer[kGpibReceiveRoom + 1] = {};
        int32_t length = kGpibReceiveRoom;
        r = link.api.receive(link.board, addresses, &length, buffer, 0);
        // A library that claims more than the room it was given (or less than nothing) is held
        // to the bytes that can be in the buffer.
        length = std::clamp(length, int32_t{0}, kGpibReceiveRoom);
        if (received) received->assign(buffer, r >= 0 ? static_cast<size_t>(length) : 0);
        break;
    }
    case kGpibSend: {
        const std::string data(text);  // the library gets a terminated copy
        r = link.api.send(link.board, addresses, static_cast<int32_t>(data.size()), data.c_str(), 0);
        break;
    }
    case kGpibSetTimeout: {
        char config[32];
        std::snprintf(config, sizeof config, "/TMO=%d", value);
        r = link.api.set_config(link.board, config);
        break;
    }
    case kGpibClear: r = link.api.set_ifc(link.board, kClearTime); break;
    default: return kErrGpibMisc;
    }
    return gpib_result(r);
}

int gpib_read_number(std::string_view reply, double *value) {
    size_t start = 0;
    for (;; ++start) {
        if (start == reply.size() || is_reply_end(reply[start])) return kErrGpibReceive;
        const char c = reply[start];
        if (c == '+' || c == '-' || (c >= '0' && c <= '9')) break;
    }
    std::string_view number = reply.substr(start);
    number = number.substr(0, static_cast<size_t>(std::find_if(number.begin(), number.end(), is_reply_end) - number.begin()));
    double read = 0;
    const int rc = evaluate_expression(number, &read);
    if (rc == kOk) *value = read;
    return rc;
}

int gpib_sample(GpibLink &link, const GpibQuery &query, double *value, RunContext *run) {
    if (!query.text.empty()) {
        if (const int rc = gpib_transfer(link, kGpibSend, query.address, query.text); rc != kOk) return rc;
        const uint32_t delay = link.mes_delay_ms.load(std::memory_order_relaxed);
        if (!run) platform::sleep_ms(delay);
        else if (!run->checkpoint() || !run->gate.sleep(delay)) return kErrBreakedByUser;
    }
    const uint32_t start = platform::tick_count();
    std::string reply;
    int rc = kOk;
    while ((rc = gpib_transfer(link, kGpibReceive, query.address, {}, &reply)) == kErrGpibTimeout) {
        if (platform::ticks_elapsed(start, query.reply_wait_ms)) return rc;
        if (run && !run->checkpoint()) return kErrBreakedByUser;
    }
    return rc == kOk ? gpib_read_number(reply, value) : rc;
}

}  // namespace ksw
