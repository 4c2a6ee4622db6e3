// The remote-control thread: every 50 ms it reads the jig's four remote switches and turns
// them into operator keys posted to the front-end (Enter starts, Esc halts, Space changes the
// run mode, Tab toggles file recording, numpad minus restarts or selects the previous step).
//
// A switch counts as held when it reads pressed in two polls in a row. From nothing held:
// switch 3 posts 109 and switch 2 posts Tab at once; switches 0 and 1 post nothing until they
// are released, then Enter (switch 0) or Esc (switch 1); holding 0 and 1 together (pressed
// together, or one after the other) posts Space. Once a set of held switches was reported, or
// changed into another set, nothing more is posted until every switch is released.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "runtime/jig/jig_ports.h"

namespace ksw {

class Frontend;

// What the poller remembers from one poll to the next.
struct RemoteControlState {
    unsigned previous_pressed = 0;  // switches read pressed in the last poll
    unsigned previous_held = 0;     // switches held in the last poll
    bool reported = false;          // the current press was reported (or must not be)
};

// One poll: `pressed` is the set of switches read pressed (bit n = switch n). Calls `post` with
// each virtual-key code to post.
void remote_control_poll(RemoteControlState &state, unsigned pressed, const std::function<void(int key)> &post);

class RemoteControl {
public:
    RemoteControl() = default;
    ~RemoteControl() { stop(); }
    RemoteControl(const RemoteControl &) = delete;
    RemoteControl &operator=(const RemoteControl &) = delete;

    // Starts polling `jig` every `period_ms` and posting keys to `frontend` (kMsgKey). True
    // when the thread runs (also when it ran already); false when it cannot be started.
    bool start(JigPorts &jig, Frontend &frontend, uint32_t period_ms = 50);
    // Stops the thread and waits for it.
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    void run(JigPorts &jig, Frontend &frontend, uint32_t period_ms);

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

}  // namespace ksw
