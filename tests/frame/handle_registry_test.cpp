#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "frame/handle_registry.h"

using kd::HandleRegistry;

namespace {
struct Counter {
    static std::atomic<int> live;
    int value;
    explicit Counter(int v) : value(v) { ++live; }
    ~Counter() { --live; }
};
std::atomic<int> Counter::live{0};
struct Other {
    int x = 7;
};
}  // namespace

TEST(HandleRegistry, HandlesAreNeverZeroAndWrongUseFindsNothing) {
    auto& r = HandleRegistry::instance();
    int32_t h = r.add(std::make_unique<Counter>(5));
    ASSERT_GT(h, 0);
    EXPECT_EQ(r.find<Counter>(h)->value, 5);
    EXPECT_EQ(r.find<Counter>(0), nullptr);
    EXPECT_EQ(r.find<Counter>(-h), nullptr);
    EXPECT_EQ(r.find<Counter>(int64_t{h} + (int64_t{1} << 32)), nullptr);
    EXPECT_EQ(r.find<Other>(h), nullptr);  // a handle of another family
    EXPECT_FALSE(r.release<Other>(h));
    EXPECT_TRUE(r.release<Counter>(h));
    EXPECT_EQ(r.find<Counter>(h), nullptr);  // released
    EXPECT_FALSE(r.release<Counter>(h));
    int32_t next = r.add(std::make_unique<Counter>(6));
    EXPECT_NE(next, h);  // not handed out again at once
    r.release<Counter>(next);
    EXPECT_EQ(r.add(std::unique_ptr<Counter>()), 0);
}

TEST(HandleRegistry, ManyThreadsCreateUseAndRelease) {
    auto& r = HandleRegistry::instance();
    size_t before = r.size();
    int liveBefore = Counter::live;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::vector<int32_t> mine;
            for (int i = 0; i < 3000; ++i) {
                int tag = t * 100000 + i;
                int32_t h = r.add(std::make_unique<Counter>(tag));
                if (h <= 0) ++wrong;
                mine.push_back(h);
                Counter* c = r.find<Counter>(h);
                if (!c || c->value != tag) ++wrong;
                if (i % 3 == 2) {
                    // Release an older one of ours and check it is gone.
                    int32_t old = mine[mine.size() - 2];
                    if (!r.release<Counter>(old)) ++wrong;
                    mine.erase(mine.end() - 2);
                }
            }
            for (size_t k = 0; k < mine.size(); ++k) {
                Counter* c = r.find<Counter>(mine[k]);
                if (!c || c->value / 100000 != t) ++wrong;
                if (!r.release<Counter>(mine[k])) ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(r.size(), before);
    EXPECT_EQ(Counter::live, liveBefore);
}
