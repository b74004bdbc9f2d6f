// Points, sizes, rectangles and affine transforms as the image, capture and UI layers use them.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Geometry.h"
#include "tests/platform/geometry/ExpectGeometry.h"

namespace hx {
namespace {

using testing::expectPoint;
using testing::expectRect;

constexpr double kQuarterTurn = std::numbers::pi / 2;

void expectTransform(const CGAffineTransform& actual, const CGAffineTransform& expected) {
    EXPECT_NEAR(actual.a, expected.a, 1e-9);
    EXPECT_NEAR(actual.b, expected.b, 1e-9);
    EXPECT_NEAR(actual.c, expected.c, 1e-9);
    EXPECT_NEAR(actual.d, expected.d, 1e-9);
    EXPECT_NEAR(actual.tx, expected.tx, 1e-9);
    EXPECT_NEAR(actual.ty, expected.ty, 1e-9);
}

TEST(AffineTransformTest, ConcatAppliesFirstThenSecond) {
    auto scale = CGAffineTransformMakeScale(2, 3);
    auto move = CGAffineTransformMakeTranslation(10, 20);
    CGPoint p = CGAffineTransformConcat(scale, move).apply({1, 1});
    EXPECT_EQ(p, (CGPoint{12, 23}));
    p = CGAffineTransformConcat(move, scale).apply({1, 1});
    EXPECT_EQ(p, (CGPoint{22, 63}));
    // Rotate() puts the turn before the existing transform.
    p = CGAffineTransformRotate(move, kQuarterTurn).apply({1, 0});
    EXPECT_NEAR(p.x, 10, 1e-12);
    EXPECT_NEAR(p.y, 21, 1e-12);
}

TEST(AffineTransformTest, ConcatIsAssociativeAndStepsActInTheSpaceMappedFrom) {
    const auto t1 = CGAffineTransformMake(1.5, 0.25, -0.5, 2, 3, -4);
    const auto t2 = CGAffineTransformMakeRotation(0.7);
    const auto t3 = CGAffineTransformMake(0.5, 0, 0.3, -1, 7, 1);
    expectTransform(CGAffineTransformConcat(CGAffineTransformConcat(t1, t2), t3),
                    CGAffineTransformConcat(t1, CGAffineTransformConcat(t2, t3)));
    // Applying the concatenation is applying one transform after the other.
    const CGPoint p{2.5, -1.25};
    expectPoint(CGAffineTransformConcat(t1, t2).apply(p), t2.apply(t1.apply(p)).x,
                t2.apply(t1.apply(p)).y);
    // Translate and scale act before the transform, as a drawing surface's steps do.
    expectPoint(CGAffineTransformTranslate(t1, 1, 2).apply(p), t1.apply({3.5, 0.75}).x,
                t1.apply({3.5, 0.75}).y);
    expectPoint(CGAffineTransformScale(t1, 2, -4).apply(p), t1.apply({5, 5}).x, t1.apply({5, 5}).y);
    EXPECT_EQ(CGAffineTransformConcat(CGAffineTransformIdentity, t1), t1);
    EXPECT_EQ(CGAffineTransformConcat(t1, CGAffineTransformIdentity), t1);
    EXPECT_FALSE(CGAffineTransformIsIdentity(t1));
}

TEST(AffineTransformTest, QuarterTurnIsExactAndInvertible) {
    auto turn = CGAffineTransformMakeRotation(kQuarterTurn);
    EXPECT_EQ(turn, CGAffineTransformMake(0, 1, -1, 0, 0, 0));
    auto inverse = turn.inverted();
    ASSERT_TRUE(inverse);
    EXPECT_TRUE(CGAffineTransformConcat(turn, *inverse).isIdentity());
    EXPECT_FALSE(CGAffineTransformMakeScale(0, 1).inverted());
    EXPECT_EQ(CGAffineTransformInvert(CGAffineTransformMakeScale(0, 1)), CGAffineTransformIdentity);
}

TEST(AffineTransformTest, InverseUndoesAGeneralTransformFromEitherSide) {
    const auto t = CGAffineTransformMake(2, 0.5, -1.25, 3, 17, -9);
    const auto inverse = t.inverted();
    ASSERT_TRUE(inverse);
    expectTransform(CGAffineTransformConcat(t, *inverse), CGAffineTransformIdentity);
    expectTransform(CGAffineTransformConcat(*inverse, t), CGAffineTransformIdentity);
    expectPoint(inverse->apply(t.apply({4, -6})), 4, -6);
    // Known value: the inverse of a scale-then-move moves back, then scales back.
    expectTransform(CGAffineTransformInvert(CGAffineTransformMake(2, 0, 0, 4, 6, 8)),
                    CGAffineTransformMake(0.5, 0, 0, 0.25, -3, -2));
    // A plane collapsed to a line, or a transform with a non-finite part, has no inverse.
    EXPECT_FALSE(CGAffineTransformMake(1, 2, 2, 4, 0, 0).inverted());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(CGAffineTransformMake(nan, 0, 0, 1, 0, 0).inverted());
    EXPECT_FALSE(CGAffineTransformMake(1e200, 0, 0, 1e200, 0, 0).inverted());
}

TEST(AffineTransformTest, PointsSizesAndRectsConvert) {
    const auto turn = CGAffineTransformConcat(CGAffineTransformMakeRotation(kQuarterTurn),
                                              CGAffineTransformMakeTranslation(10, 0));
    expectPoint(CGPointApplyAffineTransform({1, 2}, turn), 8, 1);
    // Sizes take the linear part only: a turn swaps the sides and signs one of them.
    const CGSize size = CGSizeApplyAffineTransform({4, 3}, turn);
    EXPECT_NEAR(size.width, -3, 1e-12);
    EXPECT_NEAR(size.height, 4, 1e-12);
    // A rect maps to the smallest rect holding its four corners, whichever way it was measured.
    expectRect(CGRectApplyAffineTransform(CGRectMake(0, 0, 4, 3), turn), 7, 0, 3, 4);
    expectRect(CGRectApplyAffineTransform(CGRectMake(4, 3, -4, -3), turn), 7, 0, 3, 4);
    const auto eighth = CGAffineTransformMakeRotation(std::numbers::pi / 4);
    const double half = std::sqrt(2.0) / 2;
    expectRect(CGRectApplyAffineTransform(CGRectMake(0, 0, 1, 1), eighth), -half, 0, 2 * half,
               2 * half);
    EXPECT_EQ(CGRectApplyAffineTransform(CGRectMake(1, 2, 3, 4), CGAffineTransformIdentity),
              CGRectMake(1, 2, 3, 4));
}

TEST(AffineTransformTest, DecomposesTurnsAndScales) {
    const auto t = CGAffineTransformScale(CGAffineTransformMakeRotation(0.5), 2, 3);
    EXPECT_NEAR(t.rotationAngle(), 0.5, 1e-12);
    EXPECT_NEAR(t.scaleX(), 2, 1e-12);
    EXPECT_NEAR(t.scaleY(), 3, 1e-12);
    // A mirror shows as a negative vertical scale.
    EXPECT_NEAR(CGAffineTransformMakeScale(1, -2).scaleY(), -2, 1e-12);
}

TEST(GeometryTest, RectOperations) {
    CGRect a = CGRectMake(0, 0, 10, 10);
    CGRect b = CGRectMake(5, 5, 10, 10);
    expectRect(a.intersection(b), 5, 5, 5, 5);
    expectRect(a.unionWith(b), 0, 0, 15, 15);
    EXPECT_TRUE(a.intersection(CGRectMake(20, 20, 1, 1)).isEmpty());
    EXPECT_TRUE(a.contains({0, 0}));
    EXPECT_FALSE(a.contains({10, 5}));  // the far edge is outside
    expectRect(CGRectMake(10, 10, -4, -6).standardized(), 6, 4, 4, 6);
    expectRect(UIEdgeInsetsInsetRect(a, {1, 2, 3, 4}), 2, 1, 4, 6);
}

TEST(GeometryTest, IntersectionEdgeCases) {
    const CGRect a = CGRectMake(0, 0, 10, 10);
    // Rects that only touch along an edge or at a corner share no area.
    EXPECT_EQ(a.intersection(CGRectMake(10, 0, 5, 5)), CGRectZero);
    EXPECT_EQ(a.intersection(CGRectMake(10, 10, 5, 5)), CGRectZero);
    EXPECT_FALSE(a.intersects(CGRectMake(0, 10, 10, 1)));
    EXPECT_TRUE(a.intersects(CGRectMake(9.5, 9.5, 1, 1)));
    // Negative sizes describe the same area.
    expectRect(a.intersection(CGRectMake(12, 12, -4, -4)), 8, 8, 2, 2);
    // One inside the other gives the inner one back, standardized.
    expectRect(a.intersection(CGRectMake(7, 8, -4, -5)), 3, 3, 4, 5);
    EXPECT_TRUE(a.containsRect(CGRectMake(7, 8, -4, -5)));
    EXPECT_FALSE(a.containsRect(CGRectMake(5, 5, 6, 1)));
    // An empty rect meets nothing, even inside another.
    EXPECT_TRUE(a.intersection(CGRectMake(5, 5, 0, 3)).isEmpty());
    EXPECT_FALSE(a.intersects(CGRectMake(5, 5, 3, 0)));
    // The operation does not depend on the order.
    const CGRect b = CGRectMake(-3, 4, 8, 20);
    EXPECT_EQ(a.intersection(b), b.intersection(a));
}

TEST(GeometryTest, UnionInsetAndOffset) {
    const CGRect a = CGRectMake(0, 0, 10, 10);
    // An empty rect counts as absent in a union.
    expectRect(a.unionWith(CGRectMake(100, 100, 0, 0)), 0, 0, 10, 10);
    expectRect(CGRectZero.unionWith(CGRectMake(4, 4, -2, -2)), 2, 2, 2, 2);
    expectRect(CGRectInset(a, 2, -1), 2, -1, 6, 12);
    expectRect(CGRectMake(10, 10, -10, -10).insetBy(1, 1), 1, 1, 8, 8);
    expectRect(a.offsetBy(-3, 4), -3, 4, 10, 10);
    EXPECT_DOUBLE_EQ(CGRectGetMidX(CGRectMake(2, 0, -2, 1)), 1);
    EXPECT_DOUBLE_EQ(CGRectGetWidth(CGRectMake(2, 0, -2, 1)), 2);
}

}  // namespace
}  // namespace hx
