#include "batch/engine/transform.h"

#include "batch/constants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Matrix3 = std::array<std::array<double, 3>, 3>;

Matrix3 multiply(const Matrix3& a, const Matrix3& b)
{
    Matrix3 m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                m[r][c] += a[r][k] * b[k][c];
    return m;
}

TEST(Transform, ScanMatrixIsRzRyRxWithTheTranslation)
{
    const double a = 0.3, b = -0.2, g = 1.1;
    const Matrix3 rx{{{1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}}};
    const Matrix3 ry{{{std::cos(b), 0, std::sin(b)}, {0, 1, 0}, {-std::sin(b), 0, std::cos(b)}}};
    const Matrix3 rz{{{std::cos(g), -std::sin(g), 0}, {std::sin(g), std::cos(g), 0}, {0, 0, 1}}};
    const Matrix3 expected = multiply(rz, multiply(ry, rx));
    const Matrix4 m = makeScanTransform(a, b, g, 2.0, 10, 20, 30);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(m[r][c], 2.0 * expected[r][c], 1e-15) << r << "," << c;
    EXPECT_EQ(m[0][3], 10.0);
    EXPECT_EQ(m[2][3], 30.0);
    EXPECT_EQ(m[3][3], 1.0);

    // The translation is not scaled, and row 3 is not used.
    std::vector<CubePoint> points{{1, 0, 0, 7, 0}};
    applyScanTransform(points, makeScanTransform(0, 0, 90 * DEG_TO_RAD, 1.0, 5, 6, 7));
    EXPECT_NEAR(points[0].x, 5.0, 1e-8);
    EXPECT_NEAR(points[0].y, 7.0, 1e-8);
    EXPECT_EQ(points[0].z, 7.0);
    EXPECT_EQ(points[0].cube, 7);
}

TEST(Transform, RotationAboutAVerticalAxis)
{
    std::vector<CubePoint> points{{1, 0, 4, 0, 0}, {3, 2, -1, 0, 0}};
    rotateAboutVertical(points, M_PI / 2, 0, 0);
    EXPECT_NEAR(points[0].x, 0.0, 1e-15);
    EXPECT_NEAR(points[0].y, 1.0, 1e-15);
    EXPECT_EQ(points[0].z, 4.0);

    std::vector<CubePoint> copy;
    rotatedCopy(points, copy, 0.37, 10, -5);
    rotateAboutVertical(copy, -0.37, 10, -5);
    ASSERT_EQ(copy.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(copy[i].x, points[i].x, 1e-12);
        EXPECT_NEAR(copy[i].y, points[i].y, 1e-12);
        EXPECT_EQ(copy[i].z, points[i].z);
    }
}

TEST(Transform, ExtentIgnoresPointsThatAreNotFinite)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const ScanExtent one = computeExtent({{2, 3, 4, 0, 0}});
    EXPECT_EQ(one.xmin, 2.0);
    EXPECT_EQ(one.xmax, 2.0);
    EXPECT_EQ(one.zmin, 4.0);

    const ScanExtent e = computeExtent({{nan, 0, 0, 0, 0}, {1, -2, 3, 0, 0}, {inf, 9, 9, 0, 0}, {-1, 2, 0, 0, 0}});
    EXPECT_EQ(e.xmin, -1.0);
    EXPECT_EQ(e.xmax, 1.0);
    EXPECT_EQ(e.ymax, 2.0);
    EXPECT_EQ(e.zmax, 3.0);

    const ScanExtent o = overlapOf(one, e);
    EXPECT_EQ(o.xmin, 2.0);
    EXPECT_EQ(o.xmax, 1.0);  // no overlap in x: the box is empty, min above max
}

}  // namespace
