#include "velmora/Random.h"

#include <gtest/gtest.h>

#include <set>

using velmora::Random;

// The same seed gives the same numbers, and each kind stays in its range
// and reaches every value of a small one.
TEST(Random, ASeedRepeatsItsSequenceAndEveryDrawStaysInItsRange) {
    Random a(42), b(42), c(43);
    EXPECT_EQ(a.next(), b.next());
    EXPECT_NE(a.next(), c.next());
    std::set<int> below, between;
    for (int i = 0; i < 2000; ++i) {
        below.insert(a.below(6));
        between.insert(a.between(-2, 2));
        const float u = a.uniform(1.5f, 2.5f);
        ASSERT_TRUE(u >= 1.5f && u < 2.5f) << u;
        const double f = a.fraction();
        ASSERT_TRUE(f >= 0.0 && f < 1.0) << f;
    }
    EXPECT_EQ(below, (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(between, (std::set<int>{-2, -1, 0, 1, 2}));
    EXPECT_EQ(a.below(0), 0);
    EXPECT_EQ(a.between(3, 1), 3);
    b.reseed(42);
    EXPECT_EQ(b.next(), Random(42).next());
}
