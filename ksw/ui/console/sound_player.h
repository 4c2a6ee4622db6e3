// Plays sound files through an outside player program (the first of a list that can be
// started), one sound at a time: a new sound or stop() ends the one still playing. A thread of
// its own watches the player, ends it when asked and waits for it, so no player outlives the
// station or stays behind as a zombie.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ksw {

class SoundPlayer {
public:
    // Each player is a command; the sound file's name is added as its last argument.
    using Command = std::vector<std::string>;
    explicit SoundPlayer(std::vector<Command> players) : players_(std::move(players)) {}
    ~SoundPlayer() { stop(); }
    SoundPlayer(const SoundPlayer &) = delete;
    SoundPlayer &operator=(const SoundPlayer &) = delete;

    // Ends a sound still playing, then starts the first player that can be started on `file`.
    // False when none could be. Any thread.
    bool play(const std::string &file);
    // Ends the sound still playing, if any, and returns once its player is gone. Any thread.
    void stop();
    // True while a player runs. Any thread.
    bool playing() const { return playing_.load(std::memory_order_acquire); }

    // The players tried when nothing else is asked for: PipeWire, PulseAudio, then ALSA.
    static std::vector<Command> default_players();

private:
    void watch(int pid);

    const std::vector<Command> players_;
    std::mutex mutex_;  // one play() or stop() at a time
    std::thread watcher_;
    std::atomic<bool> stop_requested_{false};
    std::atomic<bool> playing_{false};
};

}  // namespace ksw
