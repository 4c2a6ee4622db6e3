// Linked adjustment steps: the head of a link chain runs every member's command list, which
// starts one thread per member (the member's adjustment), and then lets the members run one at
// a time: it resumes a member and waits for the link event, which the member sets each time it
// yields or ends. A member that does not answer within the head's link wait fails the group.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/run_gate.h"

namespace ksw {

// A manual-reset event.
struct LinkEvent {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
    void set();
    void reset();
};

class MemberThread {
public:
    // The member's work. It runs on the member's own thread from the first resume on, calls
    // yield() after each adjustment cycle and returns its exit code (0 OK, positive an error,
    // negative a special result).
    using Body = std::function<int(MemberThread &)>;

    MemberThread(RunGate &gate, LinkEvent &event, Body body);
    // Ends the thread: a member still running is told to stop and joined.
    ~MemberThread();
    MemberThread(const MemberThread &) = delete;
    MemberThread &operator=(const MemberThread &) = delete;

    // Head side: lets the member run until its next yield or its end.
    void resume();
    bool finished() const;
    int exit_code() const;

    // Member side: sets the link event and waits for the next resume. False when the member is
    // to stop (the group ended or the run was aborted): the body then returns.
    bool yield();
    bool stopping() const;

private:
    void main();

    RunGate &gate_;
    LinkEvent &event_;
    Body body_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool go_ = false;        // the head resumed the member
    bool stop_ = false;
    bool finished_ = false;
    int exit_code_ = 0;
    std::thread thread_;
};

// Where a member's measurement stands, as the other members see it.
enum class MemberState : int { kMeasuring = 0, kInWindow = 1, kFinished = 2 };

// The member threads of the group being run, by chain position, and what their measurement
// loops share: the chain, whether it holds an adjust step, and each member's state.
struct LinkGroup {
    explicit LinkGroup(RunGate &gate) : gate(gate) {}
    RunGate &gate;
    LinkEvent event;
    std::vector<std::unique_ptr<MemberThread>> members;

    // Starts the thread of the member at `position` (replacing one started before).
    MemberThread &start(size_t position, MemberThread::Body body);
    MemberThread *member(size_t position) const {
        return position < members.size() ? members[position].get() : nullptr;
    }
    // Ends every member thread (clean-up of the group).
    void clear() { members.clear(); }

    // The steps of the group, head first, and whether one of them is an adjust step; set before
    // the members' command lists run. Every member starts out measuring.
    void set_chain(std::vector<int> steps, bool has_adjust_step);
    const std::vector<int> &chain() const { return chain_; }
    bool has_adjust_step() const { return adjusting_; }
    // The member's chain position, -1 when `step` is not in the group.
    int position_of(int step) const;

    // A member's loop reports after each pass, and once when it ends.
    void set_member_state(int position, MemberState state);
    MemberState member_state(int position) const;
    // True when no member is still measuring outside its window: each has completed its OK
    // count or has ended (a member that ended NG cannot hold the others forever).
    bool complete() const;

    // The operator pressed Enter while a member measured: every member leaves its loop.
    void leave() { left_.store(true, std::memory_order_release); }
    bool left() const { return left_.load(std::memory_order_acquire); }

private:
    std::vector<int> chain_;
    bool adjusting_ = false;
    std::atomic<bool> left_{false};
    std::unique_ptr<std::atomic<int>[]> states_;
};

// Lets the member threads run, one at a time, until one whole cycle finds all of them finished:
// a member that is still running is resumed and waited for up to `link_wait_ms` (halted time
// not counted). Returns 0 when all finished with exit code 0, a finished member's non-zero exit
// code, e026 when a member did not answer in time, or e027 when the run was aborted.
[[nodiscard]] int run_member_cycles(RunGate &gate, LinkGroup &group, uint32_t link_wait_ms);

}  // namespace ksw
