#include "batch/inputs/point_files.h"

#include "batch/inputs/configuration.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

std::string binaryRecords(std::initializer_list<CubePoint> points)
{
    std::string bytes;
    for (const CubePoint& p : points) {
        char record[32] = {};
        std::memcpy(record, &p.x, 8);
        std::memcpy(record + 8, &p.y, 8);
        std::memcpy(record + 16, &p.z, 8);
        std::memset(record + 24, 0x7f, 8);  // not interpreted
        bytes.append(record, 32);
    }
    return bytes;
}

struct TextRead {
    int32_t count = 0;
    std::vector<CubePoint> points;
    double cliff = -1.0;
    std::string out;
};

// A scanner at the origin; the extent box's lower z bound at -1e10.
TextPointOptions atOrigin(double zLow = -1e10)
{
    TextPointOptions options;
    options.zLow = zLow;
    return options;
}

TextRead readText(const std::string& text, const RegSettings& s, const TextPointOptions& options = atOrigin())
{
    TempDir dir;
    writeFile(dir.file("p.txt"), text);
    TextRead r;
    testing::internal::CaptureStdout();
    r.count = readTextPoints(dir.file("p.txt"), s, options, r.points, r.cliff);
    r.out = testing::internal::GetCapturedStdout();
    return r;
}

TEST(BinaryPoints, WholeRecordsOnly)
{
    TempDir dir;
    const std::string three = binaryRecords({{1, 2, 3, 0, 0}, {4, 5, 6, 0, 0}, {7, 8, 9, 0, 0}});
    struct Case {
        std::string bytes;
        int32_t count;
    } cases[] = {{three + "abcd", 3}, {three.substr(0, 31), 0}, {"", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        writeFile(dir.file("s.bxyz"), c.bytes);
        std::vector<CubePoint> points(5);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(readBinaryPoints(dir.file("s.bxyz"), points), c.count);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out, "file size: " + std::to_string(c.bytes.size()) + "\nnumpts: " + std::to_string(c.count) + "\n");
        EXPECT_EQ(err, std::to_string(c.count) + " points successfully loaded! \n");
        ASSERT_EQ(points.size(), static_cast<size_t>(c.count));
    }
    writeFile(dir.file("s.bxyz"), three);
    std::vector<CubePoint> points;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    readBinaryPoints(dir.file("s.bxyz"), points);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2].x, 7.0);
    EXPECT_EQ(points[2].z, 9.0);
    EXPECT_EQ(points[2].cube, 0);
}

TEST(BinaryPoints, MissingFileReportsOnStandardError)
{
    std::vector<CubePoint> points;
    testing::internal::CaptureStderr();
    EXPECT_EQ(readBinaryPoints("/nonexistent/s.bxyz", points), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Could not open input file /nonexistent/s.bxyz.  Skipping to next! \n\n"
              "0 points successfully loaded! \n");
}

TEST(TextPoints, LineFormats)
{
    struct Case {
        const char* line;
        bool point;
        double x, y, z;
    } cases[] = {
        {"1,2,3", true, 1, 2, 3},   {"1 2 3", true, 1, 2, 3},     {"1, 2, 3", true, 1, 2, 3},
        {"1\t2\t3", true, 1, 2, 3}, {"  1;2;3\r", true, 1, 2, 3}, {"4,5,6,7", true, 4, 5, 6},
        {"1,,2,3", false, 0, 0, 0}, {"1,2", false, 0, 0, 0},      {"1,2,", false, 0, 0, 0},
        {"", false, 0, 0, 0},       {"a,b,c", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        double x = 0, y = 0, z = 0;
        EXPECT_EQ(parseTextPoint(c.line, x, y, z), c.point);
        if (c.point) {
            EXPECT_EQ(x, c.x);
            EXPECT_EQ(y, c.y);
            EXPECT_EQ(z, c.z);
        }
    }
}

TEST(TextPoints, CommentsAndCliffDistance)
{
    RegSettings s;
    const TextRead r = readText("#X,Y,Z\nx header\nEasting,Northing\n3,4,0\n5,0,0\n\n", s);
    EXPECT_EQ(r.count, 2);
    // Counted lines: the E header, two points and the blank line.
    EXPECT_NE(r.out.find("Loading 4 points from file"), std::string::npos);
    EXPECT_EQ(r.points[0].x, 3.0);
    EXPECT_EQ(r.points[1].x, 5.0);
    EXPECT_DOUBLE_EQ(r.cliff, std::sqrt(16.0 + 4.0));  // scanner at the origin, mean (4, 2, 0)
    EXPECT_NE(r.out.find("Cliff Distance 4.472136 \nFinished loading 2 points\n"), std::string::npos);

    const TextRead headerOnly = readText("#X,Y,Z\n", s);
    EXPECT_EQ(headerOnly.out, "NO POINTS in file!!!!!  \nCliff Distance 0.000000 \nFinished loading 0 points\n");
    EXPECT_EQ(headerOnly.cliff, 0.0);
}

TEST(TextPoints, TranslationComesBeforeTheBox)
{
    RegSettings s;
    s.TRANSX = 100.0;
    s.XMAX = 10.0;
    TextPointOptions options = atOrigin();
    options.translate = true;
    EXPECT_EQ(readText("105,0,0\n", s, options).count, 1);  // 105 becomes 5 before the box test
    options.translate = false;
    EXPECT_EQ(readText("105,0,0\n", s, options).count, 0);
}

TEST(TextPoints, FiltersAreInclusiveAndKeepEarlierPoints)
{
    RegSettings s;
    s.XMAX = 5.0;
    s.MAXRANGE = 5.0;
    const TextRead r = readText("1,0,0\n5,0,0\n6,0,0\n0,3,4\n0,4,4\n", s);
    ASSERT_EQ(r.count, 3);  // x = 5 on the box, (0,3,4) exactly at range 5
    EXPECT_EQ(r.points[0].x, 1.0);
    EXPECT_EQ(r.points[2].y, 3.0);

    RegSettings z;
    EXPECT_EQ(readText("0,0,-1\n0,0,1\n", z, atOrigin(0.0)).count, 1);  // zLow is the lower z bound

    EXPECT_EQ(readText("nan,0,0\ninf,0,0\n1,1,1\n", RegSettings{}).count, 1);
}

TEST(TextPoints, WithoutAScannerTheMiddleOfTheRangeWindowIsTaken)
{
    RegSettings s;
    TextPointOptions loose = atOrigin();
    loose.atScanner = false;
    s.MINRANGE = 10.0;
    s.MAXRANGE = 5.0;
    TextRead r = readText("1,2,3\n", s, loose);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.out.find("Cliff Distance"), std::string::npos);
    EXPECT_EQ(r.cliff, -1.0);  // left alone
    s.MINRANGE = 1000.0;
    s.MAXRANGE = 2000.0;  // far beyond the point, but not measured
    EXPECT_EQ(readText("1,2,3\n", s, loose).count, 1);
}

// The points of a text file as a line buffer of 256 characters and strtod read them:
// the reader's way before it read the file in blocks.
std::vector<CubePoint> readLineByLine(const std::string& path)
{
    std::vector<CubePoint> points;
    std::FILE* file = std::fopen(path.c_str(), "r");
    char line[256];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (line[0] == '#' || line[0] == 'x' || line[0] == 'X')
            continue;
        double v[3];
        const char* p = line;
        bool point = true;
        for (int k = 0; k < 3 && point; ++k) {
            char* end = nullptr;
            v[k] = std::strtod(p, &end);
            point = end != p && (k == 2 || *end != '\0');
            p = end + 1;
        }
        if (point)
            points.push_back(CubePoint{v[0], v[1], v[2], 0, 0});
    }
    std::fclose(file);
    return points;
}

TEST(TextPoints, SameAsTheLineBufferAndStrtod)
{
    // Awkward lines: signs, hexadecimal, exponents, blanks, CR LF, a NUL, a line longer
    // than the buffer whose second piece holds a point, and many plain six-decimal lines.
    std::string text = "#X,Y,Z\n+1.5,2,3\n0x1p3 4 5\n1e2;2e1;-3E-1\n\t1\t2\t3\r\n 7, 8, 9\n1.0000005,2,3\n"
                       "-0.000000 -0.000000 -0.000000 0 0 0 0 \n1,2\n1,,2,3\n4,5,6,7\n.5,5.,-.5\n";
    text += std::string("9,9,9\0,1\n", 10) + std::string(255, ' ') + "6,6,6\n" + "1" + std::string(300, '0') + ",1,1\n";
    char line[64];
    for (int i = 0; i < 2000; ++i) {
        std::snprintf(line, sizeof line, "%lf %lf %lf 0 0 0 0 \n", i * 0.37 - 400.0, 12.000001 * i, -i / 7.0);
        text += line;
    }
    text += "3,4,5";  // no line end at the end
    TempDir dir;
    writeFile(dir.file("p.txt"), text);
    RegSettings s;
    s.XMIN = s.YMIN = -1e300;
    s.XMAX = s.YMAX = s.ZMAX = 1e300;
    s.MINRANGE = 0.0;
    s.MAXRANGE = 1e300;
    const std::vector<CubePoint> expected = readLineByLine(dir.file("p.txt"));
    std::string firstOut;
    double firstCliff = 0.0;
    // On several threads the file is cut into parts at line ends: the same points.
    for (int32_t threads : {1, 3, 7}) {
        SCOPED_TRACE(threads);
        s.threads = threads;
        std::vector<CubePoint> points;
        double cliff = 0.0;
        testing::internal::CaptureStdout();
        readTextPoints(dir.file("p.txt"), s, atOrigin(), points, cliff);
        const std::string out = testing::internal::GetCapturedStdout();
        if (threads == 1) {
            firstOut = out;
            firstCliff = cliff;
        }
        EXPECT_EQ(out, firstOut);
        EXPECT_EQ(cliff, firstCliff);
        ASSERT_EQ(points.size(), expected.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(std::memcmp(&points[i], &expected[i], sizeof(CubePoint)), 0)
                << points[i].x << " " << points[i].y << " " << points[i].z;
        }
    }
}

TEST(TextPoints, MissingFile)
{
    std::vector<CubePoint> points;
    double cliff = -1.0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(readTextPoints("/nonexistent/p.txt", RegSettings{}, atOrigin(), points, cliff), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "UNABLE TO OPEN FILE /nonexistent/p.txt \nNO POINTS in file!!!!!  \n"
              "Cliff Distance 0.000000 \nFinished loading 0 points\n");
}

}  // namespace
