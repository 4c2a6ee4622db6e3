#include "station/server_link.h"

#include <array>

#include "resources/error_codes.h"
#include "resources/format.h"

namespace ksw {
namespace {

constexpr std::array<const char *, 9> kWords{"WAIT", "READY", "RUN", "PAUSE", "STOP", "FOCUS", "SET", "GET", "KEY"};

}  // namespace

std::string server_message(int instance, int kind, std::string_view argument) {
    std::string text = format_text("%02d", {instance});
    if (kind >= 0 && kind < static_cast<int>(kWords.size())) text += kWords[static_cast<size_t>(kind)];
    if (kind >= kServerFocus) text += argument;
    text += '\0';
    return text;
}

int ServerLink::open(std::string folder, std::string *error) {
    close();
    if (folder.empty()) folder = platform::runtime_dir(error);
    if (folder.empty()) return -1;
    int n = 0;
    for (; n < kInstanceCount; ++n) {
        if (instance_lock_.try_lock(folder + "/instance-" + std::to_string(n) + ".lock")) break;
        if (!instance_lock_.contended()) {
            if (error) *error = instance_lock_.error();
            return -1;
        }
    }
    if (n == kInstanceCount) {
        if (error) *error = "all sixteen instance numbers are in use";
        return -1;
    }
    if (!receiver_.bind(folder + "/Jig" + std::to_string(n) + "ServerTxSlot", error)) {
        instance_lock_.unlock();
        return -1;
    }
    server_path_ = folder + "/JigServerRxSlot";
    instance_ = n;
    return n;
}

void ServerLink::close() {
    receiver_.close();
    instance_lock_.unlock();
    instance_ = -1;
}

int ServerLink::send(int kind, std::string_view argument) {
    if (instance_ < 0) return kErrTaskMissingServer;
    switch (platform::send_datagram(server_path_, server_message(instance_, kind, argument))) {
    case platform::SendResult::kSent: return kOk;
    case platform::SendResult::kNoReceiver: return kErrTaskMissingServer;
    default: return kErrTaskCantComm;
    }
}

int ServerLink::receive(std::string *reply, uint32_t timeout_ms) {
    if (!receiver_.is_open()) return kErrTaskCantComm;
    const int waiting = receiver_.wait(timeout_ms);
    if (waiting < 0) return kErrTaskRxError;
    if (waiting == 0) return kErrTaskRxTimeout;
    std::array<char, kServerReplyBuffer> buffer{};
    const long n = receiver_.receive(buffer.data(), buffer.size() - 1);  // one byte stays for the zero
    if (n < 0) return kErrTaskCantReadRx;
    if (n == 0) return kErrTaskCantComm;
    reply->assign(buffer.data());  // up to the first zero byte
    return kOk;
}

int ServerLink::flush() {
    if (!receiver_.is_open()) return kErrTaskCantComm;
    std::array<char, kServerReplyBuffer> buffer{};
    for (;;) {
        const int waiting = receiver_.wait(0);
        if (waiting < 0) return kErrTaskRxError;
        if (waiting == 0) return kOk;
        if (receiver_.receive(buffer.data(), buffer.size()) < 0) return kErrTaskCantReadRx;
    }
}

}  // namespace ksw
