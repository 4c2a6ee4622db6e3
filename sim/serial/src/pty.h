// The master side of a pseudo-terminal, for simulated devices on a serial line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ksw::sim {

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    // Creates the pair. The peer keeps the slave side open too, so the line stays up while
    // the station closes and reopens its end. `cooked` leaves the line in the terminal's
    // cooked mode (echo, line editing, CR/NL translation); otherwise it starts raw.
    bool open(bool cooked, std::string *error);
    const std::string &slave_path() const { return slave_path_; }

    enum class Read { data, timed_out, woken, failed };
    // Waits up to `timeout_ms` (-1: no limit) for bytes or for wake().
    Read read(uint8_t *buffer, size_t capacity, size_t *got, int timeout_ms);
    // Writes every byte, waiting for room; false when the line fails or wake() interrupts.
    bool write_all(const uint8_t *data, size_t n);
    // Sleeps `ms`; false when wake() ended it early.
    bool pause(uint32_t ms);

    // Ends the current and every later wait (callable from any thread).
    void wake();
    // Closes both sides: the station's end of the line hangs up.
    void close();

private:
    int master_ = -1;
    int slave_ = -1;
    int wake_read_ = -1;
    int wake_write_ = -1;
    std::string slave_path_;
};

}  // namespace ksw::sim
