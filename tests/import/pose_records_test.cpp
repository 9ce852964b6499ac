// The database values written from the scans' poses: angles, names, the advised TRANSX/TRANSY.
#include "tests/import/sample_files.h"

#include "batch/constants.h"
#include "import/pose_records.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Rotations built with std::cos and std::sin, not by the code under test; straight up or
// down the level turn about x is one with the heading, which takes it.
TEST(PoseRecords, AnglesComeBackFromTheRotation)
{
    struct Row {
        double a1, a2, a3;           ///< degrees the rotation is built from
        double want1, want2, want3;  ///< degrees of the record
    };
    const Row rows[] = {
        {0.5, -0.25, 30.0, 0.5, -0.25, 30.0},    {0.0, 0.0, -90.0, 0.0, 0.0, 270.0},
        {-2.0, 1.5, 359.5, -2.0, 1.5, 359.5},    {170.0, 10.0, 200.0, 170.0, 10.0, 200.0},
        {0.0, 90.0, 30.0, 0.0, 90.0, 30.0},      {20.0, 90.0, 50.0, 0.0, 90.0, 30.0},
        {10.0, -90.0, 200.0, 0.0, -90.0, 210.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.a1) + " " + std::to_string(row.a2) + " " + std::to_string(row.a3));
        double m[9];
        rotationOf(row.a1 * DEG_TO_RAD, row.a2 * DEG_TO_RAD, row.a3 * DEG_TO_RAD, m);
        const double r[3][3] = {{m[0], m[1], m[2]}, {m[3], m[4], m[5]}, {m[6], m[7], m[8]}};
        const double t[3] = {475000.5, 3640000.25, 12.0};
        const PoseRecord p = recordOfPose(r, t);
        EXPECT_EQ(p.x, 475000.5);
        EXPECT_EQ(p.y, 3640000.25);
        EXPECT_NEAR(p.z, 11.71, 1e-12);
        EXPECT_NEAR(p.a1, row.want1, 1e-6);
        EXPECT_NEAR(p.a2, row.want2, 1e-6);
        EXPECT_NEAR(p.a3, row.want3, 1e-6);
    }
}

TEST(PoseRecords, NamesFitAFileNameAndDoNotRepeat)
{
    struct Row {
        const char* name;
        const char* safe;
    };
    const Row rows[] = {
        {"North face", "North_face"},
        {"  a/b,\"c\"\t ", "a_b_c"},
        {"Sd\xc3\xbc"
         "d",
         "Sd_d"},
        {"v1.2-x+y_z", "v1.2-x+y_z"},
        {"", "Scan3"},
        {"///", "Scan3"},
        {"0123456789012345678901234567890123456789012345", "0123456789012345678901234567890123456789"},
        {"012345678901234567890123456789012345678 tail", "012345678901234567890123456789012345678"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(safeScanName(row.name, 3), row.safe);
    }
    std::vector<std::string> names = {"A", "A", "A_2", "B", "A"};
    makeNamesUnique(names);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "A_3", "A_2", "B", "A_4"}));
}

PoseRecord at(double x, double y)
{
    PoseRecord r;
    r.x = x;
    r.y = y;
    return r;
}

TEST(PoseRecords, TranslationAdviceIsTheMeanInWholeKilometres)
{
    struct Row {
        std::vector<PoseRecord> records;
        double transX, transY;
    };
    const Row rows[] = {
        {{}, 0.0, 0.0},
        {{at(-400.0, 120.0), at(-300.0, 300.0)}, 0.0, 0.0},
        {{at(475123.0, 3640987.0), at(475900.0, 3641100.0)}, 476000.0, 3641000.0},
        {{at(-1600.0, -2400.0)}, -2000.0, -2000.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.transX);
        double transX = 1.0;
        double transY = 1.0;
        adviseTranslation(row.records, transX, transY);
        EXPECT_EQ(transX, row.transX);
        EXPECT_EQ(transY, row.transY);
        EXPECT_FALSE(std::signbit(transX) && transX == 0.0);  // "-0.0" would reach the advice
    }
}

}  // namespace
