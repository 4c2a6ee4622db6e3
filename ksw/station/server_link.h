// The line-server link of this copy of the station: its instance number 0..15 (the lowest one
// whose lock file "instance-<n>.lock" in the runtime folder no running copy holds), its own
// receiving socket "Jig<n>ServerTxSlot" and the server's socket "JigServerRxSlot" beside it.
// Messages are text with the instance number first, sent with their terminating zero.
#pragma once

#include <string>

#include "platform/datagram.h"
#include "platform/lockfile.h"
#include "runtime/records/server_channel.h"

namespace ksw {

constexpr int kInstanceCount = 16;

// The message's text, terminating zero included: "%02d" instance, the kind's word, argument.
std::string server_message(int instance, int kind, std::string_view argument);

class ServerLink : public ServerChannel {
public:
    ServerLink() = default;
    ~ServerLink() override { close(); }

    // Claims an instance number and binds the own socket (in `folder`; empty: the runtime
    // folder). The instance number, or -1 (all sixteen taken, or no socket; reason in `error`).
    int open(std::string folder = {}, std::string *error = nullptr);
    void close();
    int instance() const { return instance_; }
    const std::string &own_socket() const { return receiver_.path(); }
    const std::string &server_socket() const { return server_path_; }

    int send(int kind, std::string_view argument) override;
    int receive(std::string *reply, uint32_t timeout_ms) override;
    int flush() override;
    // A state message (WAIT, READY, RUN, PAUSE): sent without the task lock, result ignored.
    void tell(int kind) { (void)send(kind, {}); }

private:
    int instance_ = -1;
    platform::FileLock instance_lock_;
    platform::DatagramReceiver receiver_;
    std::string server_path_;
};

}  // namespace ksw
