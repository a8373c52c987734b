// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/FrameRing.h"
#include "io/SpscQueue.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

// Two threads hammer the queues; every value must arrive once, in order, whole. Meaningful under
// ThreadSanitizer as well as with the plain build.
TEST(SpscQueueThreads, BatchesArriveWholeAndInOrder)
{
    struct Item {
        unsigned index;
        unsigned check;
    };
    static SpscQueue<Item, 256> queue;
    constexpr unsigned kCount = 200000;
    std::thread producer([] {
        std::vector<Item> batch;
        unsigned next = 0;
        while (next < kCount) {
            batch.clear();
            for (unsigned i = 0; i < 7 && next < kCount; ++i, ++next)
                batch.push_back({next, next * 2654435761u});
            while (!queue.pushAll(batch.begin(), batch.end()))
                std::this_thread::yield();
        }
    });
    unsigned expected = 0;
    bool ordered = true;
    while (expected < kCount) {
        Item item{};
        if (!queue.pop(item)) {
            std::this_thread::yield();
            continue;
        }
        ordered = ordered && item.index == expected && item.check == expected * 2654435761u;
        ++expected;
    }
    producer.join();
    EXPECT_TRUE(ordered);
    Item leftover{};
    EXPECT_FALSE(queue.pop(leftover));
}

TEST(FrameRingThreads, FramesArriveInOrderAcrossTheWrap)
{
    FrameRing ring(1000);
    constexpr std::size_t kFrames = 300000;
    std::thread writer([&] {
        std::vector<float> chunk(2 * 333);
        std::size_t next = 0;
        while (next < kFrames) {
            const std::size_t n = std::min<std::size_t>(333, kFrames - next);
            for (std::size_t i = 0; i < n; ++i) {
                chunk[2 * i] = static_cast<float>(next + i);
                chunk[2 * i + 1] = -static_cast<float>(next + i);
            }
            std::size_t done = 0;
            while (done < n) {
                done += ring.write(chunk.data() + 2 * done, n - done);
                std::this_thread::yield();
            }
            next += n;
        }
    });
    std::vector<float> out(2 * 256);
    std::size_t got = 0;
    bool ordered = true;
    while (got < kFrames) {
        const std::size_t n = ring.read(out.data(), 256);
        for (std::size_t i = 0; i < n; ++i)
            ordered = ordered && out[2 * i] == static_cast<float>(got + i) &&
                      out[2 * i + 1] == -static_cast<float>(got + i);
        got += n;
    }
    writer.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(ring.readable(), 0u);
}
