// Handle tables: the opaque handles given to callers are not pointers but
// (generation, slot) pairs.  A handle that was deleted, or that never came
// from the library, is recognised as such instead of being dereferenced.
//
// Each slot counts the references held to its object (a call running on it,
// a batch holding it).  Removing a handle makes it dead for every new lookup
// at once; the object is dropped when the last reference goes, so a call
// that is running when its handle is deleted finishes on a live object.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace vlt {

template <class T, class Drop = std::default_delete<T>>
class HandleTable {
    struct Slot;

public:
    // A counted reference to a live object (or to an object that the table
    // does not own, such as the global environment); empty when a lookup failed.
    class Ref {
    public:
        Ref() = default;
        explicit Ref(T* unowned) : object_(unowned) {}
        Ref(Ref&& other) noexcept : table_(other.table_), index_(other.index_), object_(other.object_) {
            other.table_ = nullptr;
            other.object_ = nullptr;
        }
        Ref& operator=(Ref&& other) noexcept {
            if (this != &other) {
                reset();
                table_ = other.table_;
                index_ = other.index_;
                object_ = other.object_;
                other.table_ = nullptr;
                other.object_ = nullptr;
            }
            return *this;
        }
        Ref(const Ref&) = delete;
        Ref& operator=(const Ref&) = delete;
        ~Ref() { reset(); }

        T* get() const { return object_; }
        T& operator*() const { return *object_; }
        T* operator->() const { return object_; }
        explicit operator bool() const { return object_ != nullptr; }

        void reset() {
            if (table_) table_->release(index_);
            table_ = nullptr;
            object_ = nullptr;
        }

    private:
        friend HandleTable;
        Ref(HandleTable* table, uint32_t index, T* object) : table_(table), index_(index), object_(object) {}
        HandleTable* table_ = nullptr;
        uint32_t index_ = 0;
        T* object_ = nullptr;
    };

    HandleTable() = default;
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    ~HandleTable() {
        for (auto& chunk : chunks_) delete[] chunk.load(std::memory_order_relaxed);
    }

    // Registers obj, which the table then owns, and returns its handle value
    // (never 0).  Returns 0 when the table is full (obj stays the caller's).
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
        slot.object = obj;
        uint32_t generation = generation_of(slot.state.load(std::memory_order_relaxed));
        slot.state.store((uint64_t(generation) << 32) | kLive, std::memory_order_release);
        return (uint64_t(generation) << 32) | (uint64_t(index) + 1);
    }

    // A reference to the object behind a live handle; empty for any other value.
    Ref acquire(uint64_t handle) {
        Slot* slot = slot_of(handle);
        if (!slot) return Ref();
        uint64_t state = slot->state.load(std::memory_order_acquire);
        do {
            if (!matches(state, handle)) return Ref();
        } while (!slot->state.compare_exchange_weak(state, state + 1, std::memory_order_acquire));
        return Ref(this, index_of(handle), slot->object);
    }

    // Makes a live handle dead for every later lookup and returns a reference
    // to its object (empty if the handle was not live).  The object is dropped
    // when that reference and every other one are gone.
    Ref remove(uint64_t handle) {
        Slot* slot = slot_of(handle);
        if (!slot) return Ref();
        uint64_t state = slot->state.load(std::memory_order_acquire);
        do {
            if (!matches(state, handle)) return Ref();
        } while (!slot->state.compare_exchange_weak(state, (state & ~kLive) + 1, std::memory_order_acq_rel));
        return Ref(this, index_of(handle), slot->object);
    }

private:
    static constexpr uint32_t kChunkSize = 1024;
    static constexpr uint32_t kChunks = 4096;
    // Slot state: the generation in the high 32 bits, then a live bit and the
    // number of references held.
    static constexpr uint64_t kLive = uint64_t(1) << 31;
    static constexpr uint64_t kCount = kLive - 1;

    struct Slot {
        std::atomic<uint64_t> state{uint64_t(1) << 32};
        T* object = nullptr;
    };

    static uint32_t generation_of(uint64_t state) { return uint32_t(state >> 32); }
    static uint32_t index_of(uint64_t handle) { return uint32_t((handle & 0xffffffffu) - 1); }
    static bool matches(uint64_t state, uint64_t handle) {
        return (state & kLive) && generation_of(state) == uint32_t(handle >> 32);
    }

    Slot* slot_of(uint64_t handle) const {
        uint64_t low = handle & 0xffffffffu;
        if (low == 0 || low > uint64_t(kChunkSize) * kChunks) return nullptr;
        uint32_t index = uint32_t(low - 1);
        Slot* chunk = chunks_[index / kChunkSize].load(std::memory_order_acquire);
        return chunk ? &chunk[index % kChunkSize] : nullptr;
    }
    Slot& slot_at(uint32_t index) { return chunks_[index / kChunkSize].load(std::memory_order_relaxed)[index % kChunkSize]; }

    // Drops one reference; the last one of a dead handle drops the object and
    // frees the slot for reuse under a new generation.
    void release(uint32_t index) {
        Slot& slot = slot_at(index);
        uint64_t state = slot.state.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if ((state & (kLive | kCount)) != 0) return;
        T* obj = slot.object;
        slot.object = nullptr;
        uint32_t next_generation = generation_of(state) + 1;
        if (next_generation == 0) next_generation = 1;
        slot.state.store(uint64_t(next_generation) << 32, std::memory_order_release);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            free_.push_back(index);
        }
        Drop()(obj);
    }

    std::atomic<Slot*> chunks_[kChunks]{};
    std::mutex mutex_;
    std::vector<uint32_t> free_;
    uint32_t next_ = 0;
};

}  // namespace vlt
