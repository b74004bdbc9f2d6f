#pragma once
// Comparing geometry within rounding, for the tests of the types and of the views built on them.

#include <gtest/gtest.h>

#include "platform/geometry/Geometry.h"

namespace hx::testing {

inline void expectRect(const CGRect& actual, double x, double y, double w, double h) {
    EXPECT_NEAR(actual.origin.x, x, 1e-9);
    EXPECT_NEAR(actual.origin.y, y, 1e-9);
    EXPECT_NEAR(actual.size.width, w, 1e-9);
    EXPECT_NEAR(actual.size.height, h, 1e-9);
}

inline void expectPoint(const CGPoint& actual, double x, double y) {
    EXPECT_NEAR(actual.x, x, 1e-9);
    EXPECT_NEAR(actual.y, y, 1e-9);
}

}  // namespace hx::testing
