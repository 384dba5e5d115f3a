#include "core/library.hpp"

#include <algorithm>

namespace vlt {

Library& Library::instance() {
    static Library* library = new Library();  // never destroyed: hooks may run at exit
    return *library;
}

void Library::add_log(Env* env) {
    std::lock_guard<std::mutex> lock(log_mutex_);
    logging_envs_.push_back(env);
    any_log_.store(true, std::memory_order_relaxed);
}

void Library::remove_log(Env* env) {
    std::lock_guard<std::mutex> lock(log_mutex_);
    logging_envs_.erase(std::remove(logging_envs_.begin(), logging_envs_.end(), env), logging_envs_.end());
    any_log_.store(!logging_envs_.empty(), std::memory_order_relaxed);
}

}  // namespace vlt
