// The rule for calls on one task from several threads: they are serialized
// by the task's lock, so a task is never changed by two calls at once.
//
// A thread that already runs a call on a task (and now runs one of the
// task's hooks, or a hook of the environment, which may call back into the
// library) enters again without waiting: the call is nested.  Nested calls
// may read the task; the entry points refuse nested calls that would change
// it (the running call may hold references into the task's data).
//
// A thread may also hold a task across several calls (a count asked for and
// then an array of that count filled): while it holds the task, no other
// thread's call runs on it, and its own calls enter as `held` -- they may
// change the task, unless they are nested in a call running on it.
//
// A wait that could never end is refused instead of made: a thread waits
// for a task whose holder waits, directly or through other tasks or through
// the helper threads of a batch, for this thread.  Every wait is recorded in
// one table, and the thread that would close a cycle of waits is refused.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace vlt {

// A number that identifies the calling thread (never 0).
uint64_t this_thread_token();

class TaskLock {
public:
    enum class Entry { exclusive, nested, would_deadlock, held };

    TaskLock() = default;
    TaskLock(const TaskLock&) = delete;
    TaskLock& operator=(const TaskLock&) = delete;

    // Waits until the task is free and takes it (exclusive), or finds that
    // this thread runs one of its hooks or a call on it (nested) or holds it
    // (held), or finds that waiting would never end (would_deadlock).
    Entry enter();
    // Gives back a lock taken by enter() with Entry::exclusive.
    void leave();

    // enter() for a hold: with Entry::exclusive the lock stays taken, and
    // this thread's calls enter as `held`, until release().
    Entry hold();
    void release();

    uint64_t owner() const { return owner_.load(std::memory_order_acquire); }

private:
    std::mutex mutex_;
    std::atomic<uint64_t> owner_{0};
    bool held_ = false;  // read and written by the owner only
};

// While it exists, this thread runs a hook of the task that `lock` guards:
// calls on that task from this thread are nested.
class HookScope {
public:
    explicit HookScope(const TaskLock* lock);
    ~HookScope();
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;

    static bool inside(const TaskLock* lock);

private:
    const TaskLock* lock_;
    const HookScope* outer_;
};

// While it exists, the thread `waiter` waits for the calling thread (a
// helper thread that does part of the waiter's call, as in a batch).
class HelperScope {
public:
    explicit HelperScope(uint64_t waiter);
    ~HelperScope();
    HelperScope(const HelperScope&) = delete;
    HelperScope& operator=(const HelperScope&) = delete;

private:
    uint64_t waiter_;
    uint64_t helper_;
};

// Takes a task's lock for the time of one call.
class TaskEntry {
public:
    explicit TaskEntry(TaskLock& lock) : lock_(lock), entry_(lock.enter()) {}
    ~TaskEntry() {
        if (entry_ == TaskLock::Entry::exclusive) lock_.leave();
    }
    TaskEntry(const TaskEntry&) = delete;
    TaskEntry& operator=(const TaskEntry&) = delete;

    TaskLock::Entry entry() const { return entry_; }

private:
    TaskLock& lock_;
    TaskLock::Entry entry_;
};

}  // namespace vlt
