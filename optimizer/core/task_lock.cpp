#include "core/task_lock.hpp"

#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vlt {
namespace {

std::atomic<uint64_t> last_token{0};
thread_local uint64_t thread_token = 0;
thread_local const HookScope* innermost_hook = nullptr;

// Who waits for what: the lock each waiting thread waits for, and the helper
// threads that each waiting thread waits for.  Only threads that wait are in
// it; it is read and changed under its mutex.
struct WaitTable {
    std::mutex mutex;
    std::unordered_map<uint64_t, const TaskLock*> lock_awaited;
    std::unordered_multimap<uint64_t, uint64_t> helpers_awaited;

    // Whether `holder` waits, directly or through other threads, for `thread`.
    bool waits_for(uint64_t holder, uint64_t thread) const {
        std::vector<uint64_t> pending{holder};
        std::unordered_set<uint64_t> seen;
        while (!pending.empty()) {
            uint64_t t = pending.back();
            pending.pop_back();
            if (t == 0 || !seen.insert(t).second) continue;
            if (t == thread) return true;
            if (auto lock = lock_awaited.find(t); lock != lock_awaited.end()) pending.push_back(lock->second->owner());
            auto [first, last] = helpers_awaited.equal_range(t);
            for (auto it = first; it != last; ++it) pending.push_back(it->second);
        }
        return false;
    }
};

WaitTable& wait_table() {
    static WaitTable* table = new WaitTable();  // never destroyed: threads may still wait at exit
    return *table;
}

}  // namespace

uint64_t this_thread_token() {
    if (thread_token == 0) thread_token = last_token.fetch_add(1, std::memory_order_relaxed) + 1;
    return thread_token;
}

TaskLock::Entry TaskLock::enter() {
    const uint64_t me = this_thread_token();
    if (HookScope::inside(this)) return Entry::nested;
    if (owner() == me) return held_ ? Entry::held : Entry::nested;
    if (!mutex_.try_lock()) {
        WaitTable& table = wait_table();
        {
            std::lock_guard<std::mutex> guard(table.mutex);
            // Checked and recorded at once: of the threads that close a cycle,
            // the last to get here sees every other wait of it.
            if (table.waits_for(owner(), me)) return Entry::would_deadlock;
            table.lock_awaited[me] = this;
        }
        mutex_.lock();
        std::lock_guard<std::mutex> guard(table.mutex);
        table.lock_awaited.erase(me);
    }
    owner_.store(me, std::memory_order_release);
    return Entry::exclusive;
}

TaskLock::Entry TaskLock::hold() {
    const Entry entry = enter();
    if (entry == Entry::exclusive) held_ = true;
    return entry;
}

void TaskLock::release() {
    held_ = false;
    leave();
}

void TaskLock::leave() {
    owner_.store(0, std::memory_order_release);
    mutex_.unlock();
}

HookScope::HookScope(const TaskLock* lock) : lock_(lock), outer_(innermost_hook) { innermost_hook = this; }

HookScope::~HookScope() { innermost_hook = outer_; }

bool HookScope::inside(const TaskLock* lock) {
    for (const HookScope* scope = innermost_hook; scope; scope = scope->outer_)
        if (scope->lock_ == lock) return true;
    return false;
}

HelperScope::HelperScope(uint64_t waiter) : waiter_(waiter), helper_(this_thread_token()) {
    WaitTable& table = wait_table();
    std::lock_guard<std::mutex> guard(table.mutex);
    table.helpers_awaited.emplace(waiter_, helper_);
}

HelperScope::~HelperScope() {
    WaitTable& table = wait_table();
    std::lock_guard<std::mutex> guard(table.mutex);
    auto [first, last] = table.helpers_awaited.equal_range(waiter_);
    for (auto it = first; it != last; ++it) {
        if (it->second == helper_) {
            table.helpers_awaited.erase(it);
            break;
        }
    }
}

}  // namespace vlt
