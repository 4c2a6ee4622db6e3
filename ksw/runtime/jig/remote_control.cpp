#include "runtime/jig/remote_control.h"

#include <system_error>

#include "model/frontend.h"
#include "resources/format.h"

namespace ksw {

namespace {
constexpr unsigned kSwitch0 = 1, kSwitch1 = 2, kSwitch2 = 4, kSwitch3 = 8;
constexpr unsigned kChord = kSwitch0 | kSwitch1;
}  // namespace

void remote_control_poll(RemoteControlState &state, unsigned pressed, const std::function<void(int key)> &post) {
    pressed &= 0x0F;
    const unsigned held = pressed & state.previous_pressed;
    const unsigned previous = state.previous_held;
    state.previous_pressed = pressed;
    state.previous_held = held;
    if (held == 0) {
        if (!state.reported) {
            if (previous & kSwitch0) post(kVkReturn);
            if (previous & kSwitch1) post(kVkEscape);
        }
        state.reported = false;
        return;
    }
    if (state.reported) return;
    if (held == kChord) {
        if (previous == 0 || previous == kSwitch0 || previous == kSwitch1) {
            post(kVkSpace);
            state.reported = true;
        } else if (held != previous) {
            state.reported = true;
        }
        return;
    }
    if (previous != 0) {
        if (held != previous) state.reported = true;
        return;
    }
    if (held & kSwitch3) {
        post(kVkSubtract);
        state.reported = true;
    } else if (held & kSwitch2) {
        post(kVkTab);
        state.reported = true;
    }
}

bool RemoteControl::start(JigPorts &jig, Frontend &frontend, uint32_t period_ms) {
    if (thread_.joinable()) return true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
    }
    try {
        thread_ = std::thread([this, &jig, &frontend, period_ms] { run(jig, frontend, period_ms); });
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

void RemoteControl::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RemoteControl::run(JigPorts &jig, Frontend &frontend, uint32_t period_ms) {
    RemoteControlState state;
    const auto post = [&jig, &frontend](int key) {
        trace_jig_event(jig, format_text("remote key %d", {key}));
        frontend.post(WindowMessage{kMsgKey, static_cast<uintptr_t>(key), 0, {}});
    };
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (wake_.wait_for(lock, std::chrono::milliseconds(period_ms), [this] { return stopping_; })) return;
        lock.unlock();
        // The port lock is taken inside; this thread's own lock is not held meanwhile.
        const int pressed = ReadRemoteSwitches(jig);
        if (pressed >= 0) remote_control_poll(state, static_cast<unsigned>(pressed), post);
        lock.lock();
    }
}

}  // namespace ksw
