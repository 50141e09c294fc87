// The bounded queues between the decoder and its consumers.
#pragma once

#include <array>
#include <atomic>

/**
    A ring of N entries holding at most N - 1: empty when read equals write, full when
    write + 1 equals read. One producer and one consumer at a time: the decoder side
    pushes, the render or audio thread pops; a thread that empties the ring first
    keeps the other side out (see VideoPlayer's decoder hold).
*/
template <typename Entry, int N>
class FrameRing
{
public:
    /** Stores the entry, or returns false when the ring is full (the caller gives the
        entry back to its pool). */
    bool push (Entry* entry)
    {
        auto write = writeIndex.load (std::memory_order_relaxed);
        auto next = (write + 1) % N;

        if (next == readIndex.load (std::memory_order_acquire))
            return false;

        entries[(size_t) write] = entry;
        writeIndex.store (next, std::memory_order_release);
        count.fetch_add (1, std::memory_order_acq_rel);
        return true;
    }

    /** The oldest entry without removing it, or null. */
    Entry* peek() const
    {
        auto read = readIndex.load (std::memory_order_relaxed);

        if (read == writeIndex.load (std::memory_order_acquire))
            return nullptr;

        return entries[(size_t) read];
    }

    /** Removes and returns the oldest entry, or null. */
    Entry* pop()
    {
        auto read = readIndex.load (std::memory_order_relaxed);

        if (read == writeIndex.load (std::memory_order_acquire))
            return nullptr;

        auto* entry = entries[(size_t) read];
        count.fetch_sub (1, std::memory_order_acq_rel);
        readIndex.store ((read + 1) % N, std::memory_order_release);
        return entry;
    }

    int size() const { return count.load (std::memory_order_acquire); }
    bool isEmpty() const { return size() == 0; }

    static constexpr int capacity = N - 1;

private:
    std::array<Entry*, (size_t) N> entries {};
    std::atomic<int> readIndex { 0 }, writeIndex { 0 }, count { 0 };
};
