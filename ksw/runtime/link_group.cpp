#include "runtime/link_group.h"

#include "resources/error_codes.h"

namespace ksw {

void LinkEvent::set() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        signalled = true;
    }
    changed.notify_all();
}

void LinkEvent::reset() {
    std::lock_guard<std::mutex> lock(mutex);
    signalled = false;
}

MemberThread::MemberThread(RunGate &gate, LinkEvent &event, Body body)
    : gate_(gate), event_(event), body_(std::move(body)), thread_([this] { main(); }) {}

MemberThread::~MemberThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void MemberThread::main() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return go_ || stop_; });
        if (stop_) {
            finished_ = true;
            return;
        }
        go_ = false;
    }
    const int code = body_(*this);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exit_code_ = code;
        finished_ = true;
    }
    event_.set();
}

void MemberThread::resume() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        go_ = true;
    }
    changed_.notify_all();
}

bool MemberThread::finished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

int MemberThread::exit_code() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return exit_code_;
}

bool MemberThread::yield() {
    event_.set();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return go_ || stop_; });
    go_ = false;
    return !stop_ && !gate_.aborted();
}

bool MemberThread::stopping() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_ || gate_.aborted();
}

int run_member_cycles(RunGate &gate, LinkGroup &group, uint32_t link_wait_ms) {
    for (;;) {
        bool all_finished = true;
        for (size_t k = 0; k < group.members.size(); ++k) {
            MemberThread *member = group.member(k);
            if (!member) continue;
            if (member->finished()) {
                if (const int code = member->exit_code(); code != 0) return code;
                continue;
            }
            all_finished = false;
            group.event.reset();
            member->resume();
            const int waited = gate.wait_for(group.event.mutex, group.event.changed, &group.event.signalled, link_wait_ms);
            // An abort wins over whatever the member did meanwhile (it may have ended because of it).
            if (waited < 0 || gate.aborted()) return kErrBreakedByUser;
            if (waited == 0) return kErrStepTimeout;
        }
        if (all_finished) return kOk;
    }
}

void LinkGroup::set_chain(std::vector<int> steps, bool has_adjust_step) {
    chain_ = std::move(steps);
    adjusting_ = has_adjust_step;
    states_ = std::make_unique<std::atomic<int>[]>(chain_.size());
    for (size_t k = 0; k < chain_.size(); ++k) states_[k].store(static_cast<int>(MemberState::kMeasuring));
}

int LinkGroup::position_of(int step) const {
    for (size_t k = 0; k < chain_.size(); ++k)
        if (chain_[k] == step) return static_cast<int>(k);
    return -1;
}

void LinkGroup::set_member_state(int position, MemberState state) {
    if (position >= 0 && static_cast<size_t>(position) < chain_.size())
        states_[static_cast<size_t>(position)].store(static_cast<int>(state), std::memory_order_release);
}

MemberState LinkGroup::member_state(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= chain_.size()) return MemberState::kFinished;
    return static_cast<MemberState>(states_[static_cast<size_t>(position)].load(std::memory_order_acquire));
}

bool LinkGroup::complete() const {
    for (size_t k = 0; k < chain_.size(); ++k)
        if (member_state(static_cast<int>(k)) == MemberState::kMeasuring) return false;
    return true;
}

MemberThread &LinkGroup::start(size_t position, MemberThread::Body body) {
    if (members.size() <= position) members.resize(position + 1);
    members[position] = std::make_unique<MemberThread>(gate, event, std::move(body));
    return *members[position];
}

}  // namespace ksw
