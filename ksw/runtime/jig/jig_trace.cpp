#include "runtime/jig/jig_trace.h"

#include <cstdio>

#include "platform/raw_file.h"
#include "resources/format.h"

namespace ksw {

bool JigTrace::open(const std::string &path, std::string *error) {
    close();
    std::string reason;
    const int fd = platform::open_output_stream(path, &reason);
    if (fd < 0) {
        if (error) *error = "cannot write the jig trace " + path + ": " + reason;
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    start_ = std::chrono::steady_clock::now();
    lines_.store(0, std::memory_order_relaxed);
    fd_.store(fd, std::memory_order_release);
    return true;
}

void JigTrace::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    const int fd = fd_.exchange(-1, std::memory_order_acq_rel);
    if (fd >= 0) (void)platform::close_file(fd);
}

void JigTrace::write(std::string_view operation) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int fd = fd_.load(std::memory_order_relaxed);
    if (fd < 0) return;
    const std::atomic<int> *step = step_.load(std::memory_order_acquire);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
    std::string line = format_text("step %d +%.3fms ", {step ? step->load(std::memory_order_relaxed) : 0, ms});
    line.append(operation);
    line += '\n';
    std::string reason;
    if (!platform::write_all(fd, line.data(), line.size(), &reason)) {
        std::fprintf(stderr, "ksw: the jig trace stops: %s\n", reason.c_str());
        fd_.store(-1, std::memory_order_release);
        (void)platform::close_file(fd);
        return;
    }
    lines_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace ksw
