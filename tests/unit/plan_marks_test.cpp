// What a run's plan says on paper: each pair's RMS and state at its line, the colour
// scale fixed by the survey's noise floor, each correction with its standard error,
// the title block, and a page shaped like the survey.

#include "batch/inputs/survey_database.h"
#include "batch/outputs/run_plan.h"
#include "tests/support/svg_elements.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

const std::string RED = "#d7191c", ORANGE = "#ff7f0e", MAGENTA = "#e7298a";

std::vector<ScanRecord> setupsAt(const std::vector<std::pair<double, double>>& positions)
{
    std::vector<ScanRecord> scans;
    for (const auto& [x, y] : positions) {
        scans.emplace_back();
        scans.back().x = x;
        scans.back().y = y;
        scans.back().scanId = static_cast<int32_t>(scans.size());
    }
    return scans;
}

// `count` set-ups 40 m apart along x (or y), a little off the line.
std::vector<ScanRecord> chain(int32_t count, bool alongX)
{
    std::vector<std::pair<double, double>> positions;
    for (int32_t i = 0; i < count; ++i) {
        const double along = 40.0 * i, across = (i % 3) * 1.5;
        positions.emplace_back(alongX ? along : across, alongX ? across : along);
    }
    return setupsAt(positions);
}

std::string drawn(const std::vector<ScanRecord>& scans, const RunPlan& plan)
{
    TempDir dir;
    EXPECT_TRUE(writeRunPlan(dir.file("plan.svg"), scans, plan, nullptr));
    return readFile(dir.file("plan.svg"));
}

std::map<std::string, std::string> rampStops(const std::string& svg)
{
    std::map<std::string, std::string> stops;
    for (const Element& stop : elements(svg, "stop"))
        stops[stop.at("offset")] = stop.at("stop-color");
    return stops;
}

std::string legendText(const std::string& svg)
{
    std::string text;
    for (const Element& e : elements(svg.substr(svg.find("<g class=\"legend\">")), "text"))
        text += e.text + "\n";
    return text;
}

struct PairCase {
    const char* name;
    PlanPair pair;
    const char* state;   ///< data-state
    std::string colour;  ///< empty: on the ramp
    const char* label;
};

TEST(RunPlan, EachPairSaysItsStateAndRmsAtItsMiddle)
{
    const PairCase cases[] = {
        {"valid", {0, 1, 0.0072}, "valid", "", "7.2 mm"},
        {"failed", {1, 2, 999.0, true}, "failed", RED, "failed"},
        {"not trusted", {2, 3, 0.0123, false, true}, "not-trusted", ORANGE, "not trusted 12.3 mm"},
        {"rejected", {3, 4, 0.00486, false, false, true}, "rejected", MAGENTA, "rejected 4.9 mm"},
        {"rejected comes before not trusted",
         {4, 5, 0.0311, false, true, true},
         "rejected",
         MAGENTA,
         "rejected 31.1 mm"},
        {"rejected without a valid RMS", {5, 6, NAN, false, false, true}, "rejected", MAGENTA, "rejected"},
        {"not trusted without a valid RMS", {7, 6, 999.0, false, true}, "not-trusted", ORANGE, "not trusted"},
        {"an unreadable scan comes before not trusted", {0, 2, 0.25, true, true}, "failed", RED, "failed"},
        {"below a tenth of a millimetre", {6, 7, 0.00004}, "valid", "", "0.0 mm"},
    };
    const std::vector<ScanRecord> scans = chain(8, true);
    RunPlan plan;
    for (const PairCase& c : cases)
        plan.pairs.push_back(c.pair);
    const std::string svg = drawn(scans, plan);
    const std::vector<Element> lines = elements(svg, "line", "pair");
    const std::vector<Element> labels = elements(svg, "text", "pair-label");
    const std::vector<Element> tags = elements(svg, "rect", "pair-tag");
    ASSERT_EQ(lines.size(), std::size(cases));
    ASSERT_EQ(labels.size(), std::size(cases));
    ASSERT_EQ(tags.size(), std::size(cases));
    std::map<std::string, std::string> dashesOfState;
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k].name);
        const Element &line = lines[k], &label = labels[k], &tag = tags[k];
        EXPECT_EQ(line.at("data-state"), cases[k].state);
        EXPECT_EQ(label.text, cases[k].label);
        EXPECT_EQ(label.at("data-scan1") + "-" + label.at("data-scan2"),
                  line.at("data-scan1") + "-" + line.at("data-scan2"));
        if (cases[k].colour.empty()) {
            EXPECT_TRUE(line.at("stroke-dasharray").empty());
            for (const std::string& other : {RED, ORANGE, MAGENTA})
                EXPECT_NE(line.at("stroke"), other);
        } else {
            EXPECT_EQ(line.at("stroke"), cases[k].colour);
            EXPECT_FALSE(line.at("stroke-dasharray").empty());
            dashesOfState[cases[k].state] = line.at("stroke-dasharray");
        }
        // At the middle of its line, on a white tag edged in the line's colour and wide
        // enough for the text at half an em a character.
        const double midX = (line.number("x1") + line.number("x2")) / 2.0;
        const double midY = (line.number("y1") + line.number("y2")) / 2.0;
        EXPECT_NEAR(label.number("x"), midX, 0.01);
        EXPECT_NEAR(label.number("y"), midY + 4.0, 1.0);
        EXPECT_EQ(label.at("text-anchor"), "middle");
        EXPECT_NEAR(tag.number("x") + tag.number("width") / 2.0, midX, 0.01);
        EXPECT_NEAR(tag.number("y") + tag.number("height") / 2.0, midY, 1.0);
        EXPECT_GE(tag.number("width"), 5.5 * static_cast<double>(std::string(cases[k].label).size()));
        EXPECT_EQ(tag.at("fill"), "#ffffff");
        EXPECT_EQ(tag.at("stroke"), line.at("stroke"));
    }
    // Three states, three dash patterns; the legend keys each state with its pairs' stroke.
    EXPECT_EQ(dashesOfState.size(), 3u);
    std::map<std::string, std::string> keys;
    for (const Element& key : elements(svg, "line", "state-key"))
        keys[key.at("stroke")] = key.at("stroke-dasharray");
    EXPECT_EQ(keys,
              (std::map<std::string, std::string>{{RED, dashesOfState["failed"]},
                                                  {ORANGE, dashesOfState["not-trusted"]},
                                                  {MAGENTA, dashesOfState["rejected"]}}));
    EXPECT_NE(legendText(svg).find("set-ups 8, pairs 9, failed 2\nnot trusted 2, rejected 3\n"), std::string::npos);
}

struct ScaleCase {
    const char* name;
    double noiseFloor;  ///< metres
    std::vector<PlanPair> pairs;
    const char* top;    ///< the ramp's top tick, mm
    const char* basis;  ///< the first line beside the ramp
};

TEST(RunPlan, ColourScaleIsFixedByTheNoiseFloorWhenKnown)
{
    const ScaleCase cases[] = {
        {"2 mm noise floor, small RMS", 0.002, {{0, 1, 0.001}, {1, 2, 0.004}}, "20", "Fixed for the survey:"},
        {"2 mm noise floor, large RMS", 0.002, {{0, 1, 0.010}, {1, 2, 0.035}}, "20", "Fixed for the survey:"},
        {"0.5 mm noise floor", 0.0005, {{0, 1, 0.0001}}, "5", "Fixed for the survey:"},
        {"1.5 mm noise floor", 0.0015, {{0, 1, 0.0001}}, "10", "Fixed for the survey:"},
        {"unknown", 0.0, {{0, 1, 0.010}, {1, 2, 0.035}}, "50", "Scaled to this run"},
        {"not a number", NAN, {{0, 1, 0.004}}, "5", "Scaled to this run"},
        {"beyond any noise floor", 5.0, {{0, 1, 0.004}}, "5", "Scaled to this run"},
        // Their own colours, so their RMS does not stretch the ramp.
        {"unknown, rejected and untrusted",
         0.0,
         {{0, 1, 0.004}, {1, 2, 0.2, false, true}, {2, 0, 0.3, false, false, true}},
         "5",
         "Scaled to this run"},
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(c.name);
        RunPlan plan;
        plan.pairs = c.pairs;
        plan.noiseFloor = c.noiseFloor;
        const std::string svg = drawn(chain(3, false), plan);
        const std::string top = elements(svg, "text", "rms-tick").back().text;
        EXPECT_EQ(top, c.top);
        EXPECT_EQ(elements(svg, "text", "rms-basis").at(0).text, c.basis);
        // On the ramp by its value: half way up, and above the top at the top.
        const std::map<std::string, std::string> stops = rampStops(svg);
        const std::vector<Element> lines = elements(svg, "line", "pair");
        for (std::size_t k = 0; k < c.pairs.size(); ++k) {
            const double fraction = c.pairs[k].rms * 1000.0 / std::strtod(top.c_str(), nullptr);
            if (lines[k].at("data-state") != "valid")
                continue;
            if (fraction >= 1.0) {
                EXPECT_EQ(lines[k].at("stroke"), stops.at("1.00")) << k;
            }
            if (std::fabs(fraction - 0.5) < 1e-9) {
                EXPECT_EQ(lines[k].at("stroke"), stops.at("0.50")) << k;
            }
        }
    }
    // A pair above the top still says its value; the noise floor is named beside the ramp.
    RunPlan plan;
    plan.pairs = {{0, 1, 0.035}};
    plan.noiseFloor = 0.00214;
    const std::string svg = drawn(chain(2, true), plan);
    EXPECT_EQ(elements(svg, "text", "pair-label").at(0).text, "35.0 mm");
    EXPECT_EQ(elements(svg, "text", "rms-basis").at(2).text, "(noise floor 2.14 mm);");
}

struct CorrectionCase {
    double degrees;
    double sigma;  ///< NaN: not given
    const char* shown;
};

TEST(RunPlan, SetupLabelShowsTheCorrectionToItsStandardError)
{
    const CorrectionCase cases[] = {
        {0.24513, 0.0003, "+0.2451\xC2\xB0 \xC2\xB1 0.0003\xC2\xB0"},
        {-1.5, 0.02, "-1.500\xC2\xB0 \xC2\xB1 0.020\xC2\xB0"},
        {-170.25, 0.00261, "-170.250\xC2\xB0 \xC2\xB1 0.003\xC2\xB0"},  // rounded, its digit shows
        {0.00004, 0.00002, "+0.00004\xC2\xB0 \xC2\xB1 0.00002\xC2\xB0"},
        {0.0, 0.0004, "0.0000\xC2\xB0 \xC2\xB1 0.0004\xC2\xB0"},
        {1e-9, 1e-9, "0.000000\xC2\xB0 \xC2\xB1 0.000000\xC2\xB0"},  // six decimals at most
        {0.3, NAN, "+0.300\xC2\xB0"},
        {-0.0004, NAN, "0.000\xC2\xB0"},
        {2.0, -1.0, "+2.000\xC2\xB0"},  // a negative error is none
        {-0.5, INFINITY, "-0.500\xC2\xB0"},
        {1.25, 0.001, "+1.250\xC2\xB0 \xC2\xB1 0.001\xC2\xB0"},  // beyond the sigmas given: none
    };
    const std::size_t count = std::size(cases);
    RunPlan plan;
    for (const CorrectionCase& c : cases) {
        plan.headingCorrection.push_back(c.degrees);
        if (plan.headingSigma.size() + 1 < count)
            plan.headingSigma.push_back(c.sigma);
    }
    // The last set-up has no sigma at all.
    const std::vector<ScanRecord> scans = chain(static_cast<int32_t>(count), true);
    const std::string svg = drawn(scans, plan);
    const Element page = elements(svg, "svg").at(0);
    const Element map = elements(svg, "rect", "map").at(0);
    std::size_t k = 0;
    for (std::size_t at = svg.find("<g class=\"correction\""); at != std::string::npos;
         at = svg.find("<g class=\"correction\"", at + 1), ++k) {
        ASSERT_LT(k, count);
        const std::string shown = k + 1 < count ? cases[k].shown : "+1.250\xC2\xB0";
        SCOPED_TRACE(shown);
        const std::string group = svg.substr(at, svg.find("</g>", at) - at);
        const Element g = elements(group, "g").at(0);
        const bool withSigma = shown.find("\xC2\xB1") != std::string::npos;
        EXPECT_EQ(!g.at("data-sigma").empty(), withSigma);
        const Element text = elements(group, "text").back();
        EXPECT_EQ(text.text, shown);
        // The label stays inside the map at a generous 0.6 em a character.
        const double width =
            6.0 * static_cast<double>(shown.size() - (withSigma ? 4 : 2));  // less the bytes of ° and ±
        const double left = text.at("text-anchor") == "end" ? text.number("x") - width : text.number("x");
        EXPECT_GE(left, map.number("x"));
        EXPECT_LE(left + width, map.number("x") + map.number("width"));
        EXPECT_LE(map.number("x") + map.number("width"), page.number("width"));
    }
    EXPECT_EQ(k, count);
    EXPECT_NE(legendText(svg).find("\xC2\xB1 its standard error"), std::string::npos);
    plan.headingSigma.clear();
    EXPECT_EQ(legendText(drawn(scans, plan)).find("\xC2\xB1"), std::string::npos);
}

TEST(RunPlan, TitleBlockNamesTheMethodAdjustAndDate)
{
    struct Case {
        std::string method;
        int32_t adjust;
        std::string date;
        std::string shown;
    };
    const Case cases[] = {
        {"REGSOL 3, point-to-plane Gauss-Newton", 1, "2024-03-05",
         "REGSOL 3, point-to-plane Gauss-Newton; ADJUST 1; 2024-03-05"},
        {"REGSOL 0, partial least squares", 0, "2031-12-31", "REGSOL 0, partial least squares; ADJUST 0; 2031-12-31"},
        {"", 0, "", "ADJUST 0"},
        {"a<b & c", 1, "2024-01-02", "a&lt;b &amp; c; ADJUST 1; 2024-01-02"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        RunPlan plan;
        plan.title = "survey.csv: registration";
        plan.method = c.method;
        plan.adjust = c.adjust;
        plan.date = c.date;
        const std::string svg = drawn(chain(2, true), plan);
        const Element title = elements(svg, "text", "title").at(0), subtitle = elements(svg, "text", "subtitle").at(0);
        EXPECT_EQ(title.text, "survey.csv: registration");
        EXPECT_EQ(subtitle.text, c.shown);
        // Under the title, above the map.
        EXPECT_GT(subtitle.number("y"), title.number("y"));
        EXPECT_LT(subtitle.number("y"), elements(svg, "rect", "map").at(0).number("y"));
    }
}

// The box round every coordinate of the legend's elements.
struct Box {
    double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
};

Box legendBox(const std::string& svg)
{
    Box box;
    const std::string legend = svg.substr(svg.find("<g class=\"legend\">"));
    for (const char* tag : {"text", "line", "rect"})
        for (const Element& e : elements(legend, tag)) {
            for (const char* x : {"x", "x1", "x2"})
                if (!e.at(x).empty()) {
                    box.left = std::min(box.left, e.number(x));
                    box.right = std::max(box.right, e.number(x) + (e.at("width").empty() ? 0.0 : e.number("width")));
                }
            for (const char* y : {"y", "y1", "y2"})
                if (!e.at(y).empty()) {
                    box.top = std::min(box.top, e.number(y));
                    box.bottom = std::max(box.bottom, e.number(y));
                }
        }
    return box;
}

TEST(RunPlan, PageFollowsTheSurveysShape)
{
    struct Case {
        const char* name;
        std::vector<ScanRecord> scans;
        std::string shape;  ///< "wide", "tall", or empty for either
        bool legendBelow;   ///< else beside the map
    };
    std::vector<std::pair<double, double>> grid;
    for (int32_t i = 0; i < 9; ++i)
        grid.emplace_back(30.0 * (i % 3), 30.0 * (i / 3));
    const Case cases[] = {
        {"east-west", chain(6, true), "wide", true},
        {"long east-west", chain(10, true), "wide", true},
        {"north-south", chain(6, false), "tall", false},
        {"site", setupsAt(grid), "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunPlan plan;
        for (int32_t i = 0; i + 1 < static_cast<int32_t>(c.scans.size()); ++i)
            plan.pairs.push_back({i, i + 1, 0.004});
        const std::string svg = drawn(c.scans, plan);
        const Element page = elements(svg, "svg").at(0), map = elements(svg, "rect", "map").at(0);
        const double width = page.number("width"), height = page.number("height");
        if (!c.shape.empty()) {
            EXPECT_EQ(width > height ? "wide" : "tall", c.shape) << width << " x " << height;
        }
        const Box legend = legendBox(svg);
        const double mapRight = map.number("x") + map.number("width"),
                     mapBottom = map.number("y") + map.number("height");
        EXPECT_EQ(legend.top > mapBottom, c.legendBelow);
        EXPECT_EQ(legend.left > mapRight, !c.legendBelow);
        // The map and the legend fill much of the page (a survey along x with the legend
        // beside its map filled under a quarter).
        const double filled =
            map.number("width") * map.number("height") + (legend.right - legend.left) * (legend.bottom - legend.top);
        EXPECT_GT(filled / (width * height), 0.45);
        EXPECT_LE(legend.right, width);
        EXPECT_LE(legend.bottom, height);
    }
}

}  // namespace
