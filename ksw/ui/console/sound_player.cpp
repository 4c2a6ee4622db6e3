#include "ui/console/sound_player.h"

#include "platform/process.h"
#include "platform/tick.h"

namespace ksw {
namespace {

constexpr uint32_t kWatchMs = 20;
constexpr uint32_t kGraceMs = 1000;  // a player that ignores the request to end is ended after this

}  // namespace

std::vector<SoundPlayer::Command> SoundPlayer::default_players() {
    return {{"pw-play"}, {"paplay"}, {"aplay", "-q"}};
}

bool SoundPlayer::play(const std::string &file) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (watcher_.joinable()) {
        stop_requested_.store(true, std::memory_order_release);
        watcher_.join();
    }
    for (Command command : players_) {
        command.push_back(file);
        const int pid = platform::start_process(command);
        if (pid < 0) continue;
        stop_requested_.store(false, std::memory_order_release);
        playing_.store(true, std::memory_order_release);
        watcher_ = std::thread([this, pid] { watch(pid); });
        return true;
    }
    return false;
}

void SoundPlayer::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!watcher_.joinable()) return;
    stop_requested_.store(true, std::memory_order_release);
    watcher_.join();
}

// Only this thread ends and waits for the player, so its process id is never used after the
// process was waited for.
void SoundPlayer::watch(int pid) {
    uint32_t asked_at = 0;
    bool asked = false;
    while (platform::poll_process(pid) == platform::kStillRunning) {
        if (!asked && stop_requested_.load(std::memory_order_acquire)) {
            platform::stop_process(pid);
            asked = true;
            asked_at = platform::tick_count();
        } else if (asked && platform::ticks_elapsed(asked_at, kGraceMs)) {
            platform::stop_process(pid, true);
            platform::wait_process(pid);
            break;
        }
        platform::sleep_ms(kWatchMs);
    }
    playing_.store(false, std::memory_order_release);
}

}  // namespace ksw
