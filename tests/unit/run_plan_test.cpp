#include "batch/outputs/run_plan.h"

#include "batch/inputs/survey_database.h"
#include "tests/support/svg_elements.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

std::map<std::string, Element> dotsById(const std::string& svg)
{
    std::map<std::string, Element> dots;
    for (const Element& dot : elements(svg, "circle", "setup"))
        dots[dot.at("data-scan")] = dot;
    return dots;
}

std::string printed(double v, bool sixDecimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, sixDecimals ? "%.6f" : "%.3f", v);
    return buffer;
}

using Positions = std::vector<std::pair<double, double>>;  // metres, survey frame
using Pairs = std::vector<PlanPair>;
using Degrees = std::vector<double>;

struct PlanCase {
    std::string name;
    std::vector<ScanRecord> scans;
    RunPlan plan;

    PlanCase(std::string caseName, const Positions& positions, Pairs pairs, Degrees corrections)
        : name(std::move(caseName))
    {
        for (const auto& [x, y] : positions) {
            scans.emplace_back();
            scans.back().x = x;
            scans.back().y = y;
            scans.back().scanId = 7 + static_cast<int32_t>(scans.size());
        }
        plan.title = name;
        plan.pairs = std::move(pairs);
        plan.headingCorrection = std::move(corrections);
    }
    bool drawn(int32_t i) const
    {
        return i >= 0 && i < static_cast<int32_t>(scans.size()) && std::isfinite(scans[i].x)
            && std::isfinite(scans[i].y);
    }
};

// Six set-ups along a beach registered in turn (one pair without a valid RMS, one
// with an unreadable scan, one naming a scan beyond the table); a site of nine
// set-ups on a skewed grid evaluated with their grid neighbours; then the odd ones.
std::vector<PlanCase> allCases()
{
    Positions beach, grid;
    for (int32_t i = 0; i < 6; ++i)
        beach.emplace_back(4.0 * i + (i % 2) * 1.5, 55.0 * i);
    for (int32_t i = 0; i < 9; ++i)
        grid.emplace_back(20.0 * (i % 3) + 3.0 * (i / 3), 15.0 * (i / 3));
    std::vector<PlanCase> cases;
    cases.emplace_back("beach.csv registration", beach,
                       Pairs{{0, 1, 0.0123, false},
                             {1, 2, 0.0087, false},
                             {2, 3, 999.0, true},
                             {3, 4, 0.0151, true},
                             {4, 5, 0.0042, false},
                             {5, 9, 0.0100, false}},
                       Degrees{0.41, -0.2, NAN, 0.0, 1.234});  // the last scan has none
    cases.back().plan.transX = 475000.0;
    cases.back().plan.transY = 5300000.0;
    cases.emplace_back("site.csv RMS evaluation", grid, Pairs{}, Degrees{});
    for (int32_t i = 0; i < 9; ++i) {
        if (i % 3 < 2)
            cases.back().plan.pairs.push_back({i, i + 1, 0.001 * (i + 2), false});
        if (i < 6)
            cases.back().plan.pairs.push_back({i, i + 3, i == 4 ? 999.0 : 0.0015 * (i + 1), i == 4});
        cases.back().plan.headingCorrection.push_back(0.35 * (i - 4));
    }
    cases.emplace_back("no scans", Positions{}, Pairs{}, Degrees{});
    cases.emplace_back("one scan", Positions{{1.0, 2.0}}, Pairs{}, Degrees{-0.5});
    cases.emplace_back("all at one point", Positions{{5.0, 5.0}, {5.0, 5.0}, {5.0, 5.0}},
                       Pairs{{0, 1, 0.01, false}, {1, 2, 0.02, false}}, Degrees{1.0, -2.0, 0.5});
    cases.emplace_back(
        "UTM coordinates",
        Positions{{4987654.3, 5123456.7}, {4987684.3, 5123464.7}, {4987714.3, 5123488.7}, {4987744.3, 5123528.7}},
        Pairs{{0, 1, 0.03, false}, {1, 2, 0.2, false}, {2, 3, 0.0, false}}, Degrees{-170.0, 0.0, 35.0, 1e-7});
    cases.emplace_back("indices, positions and values out of range",
                       Positions{{NAN, 0.0}, {0.0, INFINITY}, {2.0, 1.0}, {3.0, 3.0}},
                       Pairs{{-1, 2, 0.01, false},
                             {2, 4, 0.01, false},
                             {0, 2, 0.01, false},
                             {1, 2, 0.01, false},
                             {2, 3, NAN, false},
                             {3, 2, INFINITY, false},
                             {2, 3, 0.004, false}},
                       Degrees{1.0, 2.0, INFINITY, NAN});
    cases.emplace_back("a<b & \"c\" 'd'> \xff\xfe \x01 caf\xC3\xA9", Positions{{0.0, 0.0}, {3.0, 4.0}},
                       Pairs{{0, 1, 0.005, false}}, Degrees{});
    return cases;
}

std::string writtenPlan(const PlanCase& c, const TempDir& dir)
{
    EXPECT_TRUE(writeRunPlan(dir.file("plan.svg"), c.scans, c.plan, nullptr));
    return readFile(dir.file("plan.svg"));
}

TEST(RunPlan, EveryPlanRendersOnItsPage)
{
    ASSERT_EQ(std::system("command -v rsvg-convert > /dev/null 2>&1"), 0)
        << "rsvg-convert is needed (apt-get install librsvg2-bin)";
    TempDir dir;
    for (const PlanCase& c : allCases()) {
        SCOPED_TRACE(c.name);
        const std::string svg = writtenPlan(c, dir);
        EXPECT_TRUE(rendersWithRsvg(dir.file("plan.svg"), dir.file("plan.png")));

        // Every coordinate is a number on the page, whatever the input.
        const Element root = elements(svg, "svg").at(0);
        EXPECT_EQ(root.at("viewBox"), "0 0 " + root.at("width") + " " + root.at("height"));
        for (const char* tag : {"line", "circle", "rect", "text"})
            for (const Element& e : elements(svg, tag))
                for (const std::string axis : {"x", "x1", "x2", "cx", "y", "y1", "y2", "cy"})
                    if (!e.at(axis).empty()) {
                        const bool across = axis.find('x') != std::string::npos;
                        EXPECT_GE(e.number(axis), 0.0) << tag << " " << axis;
                        EXPECT_LE(e.number(axis), root.number(across ? "width" : "height")) << tag << " " << axis;
                    }
        EXPECT_EQ(svg.find("nan"), std::string::npos);
        EXPECT_EQ(svg.find("inf"), std::string::npos);
    }
}

TEST(RunPlan, PairsCorrectionsAndTitleMatchTheInput)
{
    TempDir dir;
    for (const PlanCase& c : allCases()) {
        SCOPED_TRACE(c.name);
        const std::string svg = writtenPlan(c, dir);
        const std::vector<Element> lines = elements(svg, "line", "pair");
        std::size_t k = 0;
        for (const PlanPair& pair : c.plan.pairs) {
            if (!c.drawn(pair.scan1) || !c.drawn(pair.scan2))
                continue;
            ASSERT_LT(k, lines.size());
            const Element& line = lines[k++];
            EXPECT_EQ(line.at("data-scan1"), std::to_string(c.scans[pair.scan1].scanId));
            EXPECT_EQ(line.at("data-scan2"), std::to_string(c.scans[pair.scan2].scanId));
            EXPECT_EQ(line.at("data-rms"), printed(std::isfinite(pair.rms) ? pair.rms : 999.0, true));
            const bool failed = pair.failed || !(pair.rms < 999.0);
            EXPECT_EQ(line.at("data-failed"), failed ? "1" : "0");
            EXPECT_EQ(line.at("stroke") == "#d7191c", failed);
            EXPECT_EQ(!line.at("stroke-dasharray").empty(), failed);
        }
        EXPECT_EQ(k, lines.size());

        std::map<std::string, std::string> expected, shown;
        for (std::size_t i = 0; i < c.scans.size() && i < c.plan.headingCorrection.size(); ++i)
            if (c.drawn(static_cast<int32_t>(i)) && std::isfinite(c.plan.headingCorrection[i]))
                expected[std::to_string(c.scans[i].scanId)] = printed(c.plan.headingCorrection[i], true);
        for (const Element& g : elements(svg, "g", "correction"))
            shown[g.at("data-scan")] = g.at("data-degrees");
        EXPECT_EQ(shown, expected);
    }
    // Markup characters are escaped, bytes that are not UTF-8 and control characters replaced.
    const std::string svg = writtenPlan(allCases().back(), dir);
    EXPECT_EQ(elements(svg, "text", "title").at(0).text,
              "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt; ?? ? caf\xC3\xA9");
}

TEST(RunPlan, SetupsKeepTheSurveyShapeNorthUp)
{
    TempDir dir;
    for (const PlanCase& c : allCases()) {
        SCOPED_TRACE(c.name);
        const std::string svg = writtenPlan(c, dir);
        std::map<std::string, Element> dots = dotsById(svg);
        std::vector<std::size_t> placed;
        for (std::size_t i = 0; i < c.scans.size(); ++i)
            if (c.drawn(static_cast<int32_t>(i)))
                placed.push_back(i);
        ASSERT_EQ(dots.size(), placed.size());
        // Page units per metre, from the two set-ups furthest apart.
        double scale = 0.0, widest = 0.0;
        auto dot = [&](std::size_t i) -> Element& { return dots[std::to_string(c.scans[i].scanId)]; };
        for (std::size_t a : placed)
            for (std::size_t b : placed) {
                const double metres = std::hypot(c.scans[b].x - c.scans[a].x, c.scans[b].y - c.scans[a].y);
                if (metres > widest) {
                    widest = metres;
                    scale =
                        std::hypot(dot(b).number("cx") - dot(a).number("cx"), dot(b).number("cy") - dot(a).number("cy"))
                        / metres;
                }
            }
        // East is to the right, north up, one scale both ways: every step between two
        // set-ups on the page is the survey's step scaled, with y turned over.
        for (std::size_t a : placed) {
            EXPECT_EQ(dot(a).at("data-x"), printed(c.scans[a].x + c.plan.transX, false));
            EXPECT_EQ(dot(a).at("data-y"), printed(c.scans[a].y + c.plan.transY, false));
            for (std::size_t b : placed) {
                EXPECT_NEAR(dot(b).number("cx") - dot(a).number("cx"), (c.scans[b].x - c.scans[a].x) * scale, 0.02);
                EXPECT_NEAR(dot(b).number("cy") - dot(a).number("cy"), -(c.scans[b].y - c.scans[a].y) * scale, 0.02);
            }
        }
        // Pair lines run from dot to dot, so their lengths keep the set-ups' distances.
        for (const Element& line : elements(svg, "line", "pair")) {
            EXPECT_EQ(line.at("x1") + " " + line.at("y1"),
                      dots[line.at("data-scan1")].at("cx") + " " + dots[line.at("data-scan1")].at("cy"));
            EXPECT_EQ(line.at("x2") + " " + line.at("y2"),
                      dots[line.at("data-scan2")].at("cx") + " " + dots[line.at("data-scan2")].at("cy"));
        }
        // The scale bar's length is what it says, and it is of a readable size.
        const Element bar = elements(svg, "rect", "scale-bar").at(0);
        if (widest > 0.0) {
            EXPECT_NEAR(bar.number("width") / bar.number("data-metres"), scale, 0.01 * scale);
        }
        EXPECT_GE(bar.number("width"), 50.0);
        EXPECT_LE(bar.number("width"), 250.0);
    }
}

TEST(RunPlan, ColourScaleMatchesItsLegend)
{
    TempDir dir;
    // The scale's top is a little above the largest valid RMS (mm), so the colours vary.
    for (const PlanCase& c : allCases()) {
        SCOPED_TRACE(c.name);
        double largest = 0.0;
        for (const PlanPair& pair : c.plan.pairs)
            if (c.drawn(pair.scan1) && c.drawn(pair.scan2) && !pair.failed && pair.rms < 999.0)
                largest = std::max(largest, pair.rms * 1000.0);
        const std::string top = elements(writtenPlan(c, dir), "text", "rms-tick").back().text;
        EXPECT_GE(std::strtod(top.c_str(), nullptr), largest);
        EXPECT_LE(std::strtod(top.c_str(), nullptr), std::max(1.0, 2.5 * largest));
    }
    // A pair at the scale's ends or middle has the colour the legend shows there.
    const PlanCase c("three pairs", {{0.0, 0.0}, {10.0, 0.0}, {20.0, 0.0}, {30.0, 0.0}},
                     {{0, 1, 0.0, false}, {1, 2, 0.010, false}, {2, 3, 0.020, false}}, {});
    const std::string svg = writtenPlan(c, dir);
    std::map<std::string, std::string> stops;
    for (const Element& stop : elements(svg, "stop"))
        stops[stop.at("offset")] = stop.at("stop-color");
    const std::vector<Element> lines = elements(svg, "line", "pair");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(elements(svg, "text", "rms-tick").back().text, "20");
    EXPECT_EQ(lines[0].at("stroke"), stops["0.00"]);
    EXPECT_EQ(lines[1].at("stroke"), stops["0.50"]);
    EXPECT_EQ(lines[2].at("stroke"), stops["1.00"]);
}

TEST(RunPlan, TurnArrowsStartNorthAndTurnWithTheCorrection)
{
    TempDir dir;
    const std::vector<PlanCase> cases = allCases();
    for (const PlanCase& c : {cases[0], cases[1], cases[5]}) {
        SCOPED_TRACE(c.name);
        const std::string svg = writtenPlan(c, dir);
        std::map<std::string, Element> dots = dotsById(svg);
        double ratio = NAN, largest = 0.0;
        for (std::size_t at = svg.find("<g class=\"correction\""); at != std::string::npos;
             at = svg.find("<g class=\"correction\"", at + 1)) {
            const std::string group = svg.substr(at, svg.find("</g>", at) - at);
            const Element g = elements(group, "g").at(0);
            const double degrees = g.number("data-degrees");
            const std::vector<Element> arcs = elements(group, "path", "turn");
            if (std::fabs(degrees) < 0.0005) {  // shown as 0.000: no arrow
                EXPECT_TRUE(arcs.empty());
                continue;
            }
            ASSERT_EQ(arcs.size(), 1u);
            double x0, y0, r, x1, y1;
            int large, sweep;
            ASSERT_EQ(std::sscanf(arcs[0].at("d").c_str(), "M %lf %lf A %lf %*f %*d %d %d %lf %lf", &x0, &y0, &r,
                                  &large, &sweep, &x1, &y1),
                      7);
            const Element& centre = dots[g.at("data-scan")];
            EXPECT_NEAR(x0, centre.number("cx"), 0.01);
            EXPECT_NEAR(y0, centre.number("cy") - r, 0.01);
            // The end's angle from north, counter-clockwise seen from above; SVG's sweep
            // flag 1 turns clockwise on a page whose y runs down.
            const double turned = std::atan2(-(x1 - x0), -(y1 - centre.number("cy"))) * 180.0 / 3.14159265358979323846;
            EXPECT_EQ(turned > 0.0, degrees > 0.0) << degrees;
            EXPECT_EQ(sweep, degrees > 0.0 ? 0 : 1);
            EXPECT_EQ(large, 0);
            largest = std::max(largest, std::fabs(turned));
            if (std::fabs(turned) > 30.0) {  // shorter arcs are lengthened so that their heads show
                ratio = std::isnan(ratio) ? turned / degrees : ratio;
                EXPECT_NEAR(turned / degrees, ratio, 0.1 / std::fabs(degrees)) << degrees;
            }
        }
        EXPECT_GT(largest, 90.0);  // the largest correction is drawn well round
        EXPECT_LE(largest, 180.0);
    }
}

TEST(RunPlan, FullDiskIsReported)
{
    const PlanCase c = allCases()[1];
    testing::internal::CaptureStdout();
    EXPECT_FALSE(writeRunPlan("/dev/full", c.scans, c.plan, nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to write output file /dev/full \n");
}

}  // namespace
