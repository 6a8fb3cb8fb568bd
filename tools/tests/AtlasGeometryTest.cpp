#include "AtlasGeometry.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) {
    EXPECT_EQ(firstMatchingLine({}, "x"), -1);
}
