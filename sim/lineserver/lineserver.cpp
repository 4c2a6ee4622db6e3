// ksw-lineserver: a line-server peer for tests, demos and lines without a server of their own.
// It receives every message the station copies send to the server socket "JigServerRxSlot",
// prints it with its instance number, keeps each instance's state (WAIT, READY, RUN, PAUSE,
// STOP), stores SET values, answers GET requests with "%02d=%d" (instance, value) so that the
// number starts at the reply's fourth character, and can push replies of its own.
//
//   ksw-lineserver [--folder=DIR] [--value=N=V ...] [--values=FILE] [--push=I:TEXT ...]
//                  [--table] [--messages=N]
//
// --folder     where the sockets live (default: the station's runtime folder)
// --value      the value GET N answers (default 0); --values reads "N=V" lines from a file
// --push       sends TEXT to instance I once the server is listening
// --table      prints the table of instance states after every state change
// --messages   ends after N messages (default: runs until it is stopped)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/datagram.h"
#include "platform/files.h"
#include "platform/lockfile.h"

namespace {

using ksw::platform::DatagramReceiver;

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

struct Options {
    std::string folder;
    std::map<int, long> values;
    std::vector<std::pair<int, std::string>> pushes;
    bool table = false;
    long messages = -1;
};

bool starts_with(const std::string &s, const char *prefix, std::string *rest) {
    const std::string p(prefix);
    if (s.compare(0, p.size(), p) != 0) return false;
    *rest = s.substr(p.size());
    return true;
}

bool add_value(const std::string &pair, Options *o) {
    const size_t eq = pair.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    o->values[std::atoi(pair.substr(0, eq).c_str())] = std::atol(pair.c_str() + eq + 1);
    return true;
}

bool parse(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        if (starts_with(a, "--folder=", &v)) {
            o->folder = v;
        } else if (starts_with(a, "--value=", &v)) {
            if (!add_value(v, o)) return false;
        } else if (starts_with(a, "--values=", &v)) {
            std::string text, why;
            if (!ksw::platform::read_file(v, &text, &why, nullptr, 1 << 20)) {
                std::fprintf(stderr, "ksw-lineserver: %s\n", why.c_str());
                return false;
            }
            size_t at = 0;
            while (at < text.size()) {
                size_t end = text.find('\n', at);
                if (end == std::string::npos) end = text.size();
                std::string line = text.substr(at, end - at);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (!line.empty() && line[0] != '#' && !add_value(line, o)) return false;
                at = end + 1;
            }
        } else if (starts_with(a, "--push=", &v)) {
            const size_t colon = v.find(':');
            if (colon == std::string::npos) return false;
            o->pushes.emplace_back(std::atoi(v.substr(0, colon).c_str()), v.substr(colon + 1));
        } else if (a == "--table") {
            o->table = true;
        } else if (starts_with(a, "--messages=", &v)) {
            o->messages = std::atol(v.c_str());
        } else {
            return false;
        }
    }
    return true;
}

std::string slot_of(const Options &o, int instance) { return o.folder + "/Jig" + std::to_string(instance) + "ServerTxSlot"; }

void reply(const Options &o, int instance, const std::string &text) {
    std::string why;
    std::string bytes = text;
    bytes += '\0';
    if (ksw::platform::send_datagram(slot_of(o, instance), bytes, &why) != ksw::platform::SendResult::kSent)
        std::printf("!! reply to %02d not delivered: %s\n", instance, why.c_str());
}

void print_table(const std::map<int, std::string> &states) {
    std::printf("-- instances:");
    for (const auto &[instance, state] : states) std::printf(" %02d=%s", instance, state.c_str());
    std::printf("\n");
}

// Handles one message: prints it, keeps the state, answers GET, stores SET.
void handle(const Options &o, std::map<int, long> &values, std::map<int, std::string> &states, const std::string &text) {
    if (text.size() < 2) {
        std::printf("?? short message \"%s\"\n", text.c_str());
        return;
    }
    const int instance = std::atoi(text.substr(0, 2).c_str());
    const std::string body = text.substr(2);
    std::printf("%02d %s\n", instance, body.c_str());
    for (const char *state : {"WAIT", "READY", "RUN", "PAUSE", "STOP"}) {
        if (body == state) {
            states[instance] = state;
            if (o.table) print_table(states);
            return;
        }
    }
    std::string rest;
    if (starts_with(body, "GET", &rest)) {
        const int n = std::atoi(rest.c_str());
        char answer[32];
        std::snprintf(answer, sizeof answer, "%02d=%ld", instance, values.count(n) ? values[n] : 0L);
        reply(o, instance, answer);
    } else if (starts_with(body, "SET", &rest)) {
        const size_t comma = rest.find(',');
        if (comma != std::string::npos) values[std::atoi(rest.c_str())] = std::atol(rest.c_str() + comma + 1);
    }
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    if (!parse(argc, argv, &o)) {
        std::fprintf(stderr, "usage: ksw-lineserver [--folder=DIR] [--value=N=V] [--values=FILE] [--push=I:TEXT]"
                             " [--table] [--messages=N]\n");
        return 2;
    }
    std::string why;
    if (o.folder.empty()) o.folder = ksw::platform::runtime_dir(&why);
    DatagramReceiver socket;
    if (o.folder.empty() || !socket.bind(o.folder + "/JigServerRxSlot", &why)) {
        std::fprintf(stderr, "ksw-lineserver: %s\n", why.c_str());
        return 1;
    }
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::printf("listening on %s\n", socket.path().c_str());
    std::fflush(stdout);
    for (const auto &[instance, text] : o.pushes) reply(o, instance, text);
    std::map<int, long> values = o.values;
    std::map<int, std::string> states;
    for (long seen = 0; !g_stop && (o.messages < 0 || seen < o.messages);) {
        const int waiting = socket.wait(200);
        if (waiting < 0) break;
        if (waiting == 0) continue;
        char buffer[4096];
        const long n = socket.receive(buffer, sizeof buffer - 1);
        if (n < 0) continue;
        buffer[n] = '\0';
        handle(o, values, states, std::string(buffer));  // up to the terminating zero
        std::fflush(stdout);
        ++seen;
    }
    return 0;
}
