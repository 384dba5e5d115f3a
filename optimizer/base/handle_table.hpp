// Handle tables: the opaque handles given to callers are not pointers but
// (generation, slot) pairs.  A handle that was deleted, or that never came
// from the library, is recognised as such instead of being dereferenced.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace vlt {

template <class T>
class HandleTable {
public:
    HandleTable() = default;
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    ~HandleTable() {
        for (auto& chunk : chunks_) delete[] chunk.load(std::memory_order_relaxed);
    }

    // Registers obj and returns its handle value (never 0).  Returns 0 when the
    // table is full.
    uint64_t add(T* obj) {
        std::lock_guard<std::mutex> lock(mutex_);
        uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            if (next_ >= kChunkSize * kChunks) return 0;
            index = next_++;
            auto& chunk = chunks_[index / kChunkSize];
            if (!chunk.load(std::memory_order_relaxed)) chunk.store(new Slot[kChunkSize], std::memory_order_release);
        }
        Slot& slot = slot_at(index);
        slot.object.store(obj, std::memory_order_release);
        return (uint64_t(slot.generation.load(std::memory_order_relaxed)) << 32) | (uint64_t(index) + 1);
    }

    // The object behind a handle, or null for a handle that is not live.
    T* find(uint64_t handle) const {
        uint64_t low = handle & 0xffffffffu;
        if (low == 0 || low > kChunkSize * kChunks) return nullptr;
        uint32_t index = uint32_t(low - 1);
        Slot* chunk = chunks_[index / kChunkSize].load(std::memory_order_acquire);
        if (!chunk) return nullptr;
        const Slot& slot = chunk[index % kChunkSize];
        if (slot.generation.load(std::memory_order_acquire) != uint32_t(handle >> 32)) return nullptr;
        return slot.object.load(std::memory_order_acquire);
    }

    // Unregisters a live handle and returns its object (null if not live).
    T* remove(uint64_t handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        T* obj = find(handle);
        if (!obj) return nullptr;
        uint32_t index = uint32_t((handle & 0xffffffffu) - 1);
        Slot& slot = slot_at(index);
        slot.object.store(nullptr, std::memory_order_release);
        uint32_t next_generation = slot.generation.load(std::memory_order_relaxed) + 1;
        if (next_generation == 0) next_generation = 1;
        slot.generation.store(next_generation, std::memory_order_release);
        free_.push_back(index);
        return obj;
    }

private:
    static constexpr uint32_t kChunkSize = 1024;
    static constexpr uint32_t kChunks = 4096;

    struct Slot {
        std::atomic<T*> object{nullptr};
        std::atomic<uint32_t> generation{1};
    };

    Slot& slot_at(uint32_t index) { return chunks_[index / kChunkSize].load(std::memory_order_relaxed)[index % kChunkSize]; }

    std::atomic<Slot*> chunks_[kChunks]{};
    std::mutex mutex_;
    std::vector<uint32_t> free_;
    uint32_t next_ = 0;
};

}  // namespace vlt
