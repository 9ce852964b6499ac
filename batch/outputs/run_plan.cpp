#include "batch/outputs/run_plan.h"

#include "batch/inputs/survey_database.h"
#include "batch/outputs/number_text.h"
#include "batch/outputs/output_file.h"
#include "batch/outputs/plan_drawing.h"
#include "batch/outputs/svg_text.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Page layout in SVG user units (one unit is one pixel at the file's own size).
constexpr double MARGIN = 16.0;
constexpr double TITLE_HEIGHT = 44.0;    ///< band above the map for the title
constexpr double MAP_ROOM_X = 720.0;     ///< most the set-ups' east-west extent may take
constexpr double MAP_ROOM_Y = 640.0;     ///< most their north-south extent may take
constexpr double MAP_PAD_X = 100.0;      ///< beside the outermost set-ups: their labels
constexpr double MAP_PAD_Y = 48.0;       ///< above and below them
constexpr double LEGEND_GAP = 24.0;      ///< between the map and the legend
constexpr double MIN_SPAN = 10.0;        ///< metres: a smaller survey is drawn at the scale of this span
constexpr double MAX_COORDINATE = 1e12;  ///< metres: a position beyond this (or not finite) is not drawn
constexpr double SETUP_RADIUS = 4.0;
constexpr double LABEL_OFFSET = 22.0;       ///< from the set-up, clear of its turn arrow and the arrow's head
constexpr double MAX_TITLE_WIDTH = 2000.0;  ///< a longer title is cut off by the page edge

bool placeable(const ScanRecord& scan)
{
    return std::fabs(scan.x) <= MAX_COORDINATE && std::fabs(scan.y) <= MAX_COORDINATE;  // false for NaN
}

bool drawable(const PlanPair& pair, const std::vector<ScanRecord>& scans)
{
    const int32_t count = static_cast<int32_t>(scans.size());
    return pair.scan1 >= 0 && pair.scan1 < count && pair.scan2 >= 0 && pair.scan2 < count
        && placeable(scans[static_cast<std::size_t>(pair.scan1)])
        && placeable(scans[static_cast<std::size_t>(pair.scan2)]);
}

bool validRms(double rms) { return rms >= 0.0 && rms < NO_VALID_RMS; }  // false for NaN

bool shownFailed(const PlanPair& pair) { return pair.failed || !validRms(pair.rms); }

/// The correction of scan `i` in degrees, or NaN when it has none.
double correctionOf(const RunPlan& plan, std::size_t i)
{
    const double c = i < plan.headingCorrection.size() ? plan.headingCorrection[i] : NAN;
    return std::isfinite(c) ? c : NAN;
}

// Survey metres to page units: x east to the right, y north up.
struct PlanFrame {
    double minX = 0.0;       ///< metres, survey frame: the westernmost set-up
    double maxY = 0.0;       ///< metres, survey frame: the northernmost set-up
    double scale = 1.0;      ///< page units per metre
    double mapWidth = 0.0;   ///< page units, the map's box (its left top corner is MARGIN, TITLE_HEIGHT)
    double mapHeight = 0.0;  ///< page units
};

PagePoint toPage(const PlanFrame& frame, double x, double y)
{
    return {MARGIN + MAP_PAD_X + (x - frame.minX) * frame.scale,
            TITLE_HEIGHT + MAP_PAD_Y + (frame.maxY - y) * frame.scale};
}

PlanFrame fitFrame(const std::vector<ScanRecord>& scans)
{
    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;
    bool first = true;
    for (const ScanRecord& s : scans) {
        if (!placeable(s))
            continue;
        minX = first ? s.x : std::min(minX, s.x);
        maxX = first ? s.x : std::max(maxX, s.x);
        minY = first ? s.y : std::min(minY, s.y);
        maxY = first ? s.y : std::max(maxY, s.y);
        first = false;
    }
    PlanFrame frame;
    frame.minX = minX;
    frame.maxY = maxY;
    // A span of zero (one set-up, or all at one point) keeps the scale of MIN_SPAN.
    frame.scale = MAP_ROOM_X / MIN_SPAN;
    if (maxX > minX)
        frame.scale = std::min(frame.scale, MAP_ROOM_X / (maxX - minX));
    if (maxY > minY)
        frame.scale = std::min(frame.scale, MAP_ROOM_Y / (maxY - minY));
    frame.mapWidth = (maxX - minX) * frame.scale + 2.0 * MAP_PAD_X;
    frame.mapHeight = (maxY - minY) * frame.scale + 2.0 * MAP_PAD_Y;
    return frame;
}

// The corner of each set-up its label goes to (LABEL_CORNERS): the one that points
// furthest away from every pair line leaving the set-up; ties go to the first.
constexpr double LABEL_CORNERS[4][2] = {{1.0, -1.0}, {1.0, 1.0}, {-1.0, -1.0}, {-1.0, 1.0}};

std::vector<int32_t> labelCorners(const std::vector<ScanRecord>& scans, const RunPlan& plan, const PlanFrame& frame)
{
    // closest[i][c]: the largest cosine between corner c and a line leaving set-up i
    std::vector<std::array<double, 4>> closest(scans.size(), {-2.0, -2.0, -2.0, -2.0});
    for (const PlanPair& pair : plan.pairs) {
        if (!drawable(pair, scans))
            continue;
        const ScanRecord& a = scans[static_cast<std::size_t>(pair.scan1)];
        const ScanRecord& b = scans[static_cast<std::size_t>(pair.scan2)];
        const PagePoint pa = toPage(frame, a.x, a.y), pb = toPage(frame, b.x, b.y);
        const double dx = pb.x - pa.x, dy = pb.y - pa.y;
        const double length = std::sqrt(dx * dx + dy * dy) * std::sqrt(2.0);  // corners are (+-1, +-1)
        if (!(length > 0.0))
            continue;
        for (int c = 0; c < 4; ++c) {
            const double cosine = (LABEL_CORNERS[c][0] * dx + LABEL_CORNERS[c][1] * dy) / length;
            double& at1 = closest[static_cast<std::size_t>(pair.scan1)][static_cast<std::size_t>(c)];
            double& at2 = closest[static_cast<std::size_t>(pair.scan2)][static_cast<std::size_t>(c)];
            at1 = std::max(at1, cosine);
            at2 = std::max(at2, -cosine);
        }
    }
    std::vector<int32_t> corner(scans.size(), 0);
    for (std::size_t i = 0; i < scans.size(); ++i)
        for (int32_t c = 1; c < 4; ++c)
            if (closest[i][static_cast<std::size_t>(c)] < closest[i][static_cast<std::size_t>(corner[i])])
                corner[i] = c;
    return corner;
}

void appendPair(std::string& svg, const std::vector<ScanRecord>& scans, const PlanPair& pair, const PlanFrame& frame,
                double rmsTopMm)
{
    const ScanRecord& a = scans[static_cast<std::size_t>(pair.scan1)];
    const ScanRecord& b = scans[static_cast<std::size_t>(pair.scan2)];
    const PagePoint pa = toPage(frame, a.x, a.y), pb = toPage(frame, b.x, b.y);
    const bool failed = shownFailed(pair);
    // A value that is not a number is shown as the tables' marker, so scripts can read it as one.
    std::string rms;
    appendFixed6(rms, std::isfinite(pair.rms) ? pair.rms : NO_VALID_RMS);
    svg += "<line class=\"pair\"";
    appendAttribute(svg, "data-scan1", std::to_string(a.scanId));
    appendAttribute(svg, "data-scan2", std::to_string(b.scanId));
    appendAttribute(svg, "data-rms", rms);
    appendAttribute(svg, "data-failed", failed ? "1" : "0");
    appendNumber(svg, "x1", pa.x);
    appendNumber(svg, "y1", pa.y);
    appendNumber(svg, "x2", pb.x);
    appendNumber(svg, "y2", pb.y);
    appendAttribute(svg, "stroke", failed ? FAILED_COLOUR : rampColour(pair.rms * 1000.0 / rmsTopMm));
    svg += failed ? " stroke-width=\"2.5\" stroke-dasharray=\"8 5\"" : " stroke-width=\"3\" stroke-linecap=\"round\"";
    svg += "><title>Scans " + std::to_string(a.scanId) + " and " + std::to_string(b.scanId) + ": ";
    if (failed)
        svg += "failed, ";
    svg += validRms(pair.rms) ? "RMS " + fixedText(pair.rms * 1000.0, 2) + " mm" : std::string("no valid RMS");
    svg += "</title></line>\n";
}

void appendSetup(std::string& svg, const ScanRecord& scan, const PlanFrame& frame, double transX, double transY)
{
    const PagePoint p = toPage(frame, scan.x, scan.y);
    const std::string id = std::to_string(scan.scanId);
    const std::string east = fixedText(scan.x + transX, 3), north = fixedText(scan.y + transY, 3);
    svg += "<circle class=\"setup\"";
    appendAttribute(svg, "data-scan", id);
    appendAttribute(svg, "data-x", east);
    appendAttribute(svg, "data-y", north);
    appendNumber(svg, "cx", p.x);
    appendNumber(svg, "cy", p.y);
    appendNumber(svg, "r", SETUP_RADIUS, 1);
    svg += " fill=\"#000000\" stroke=\"#ffffff\" stroke-width=\"1\"><title>Scan " + id + ": E " + east + " m, N "
        + north + " m</title></circle>\n";
}

// Where a set-up's two text lines go: its id, and below it the correction.
struct LabelPlace {
    double x = 0.0;                ///< page units, the text's anchor
    double idBaseline = 0.0;       ///< page units; the correction's baseline is 12 below
    const char* anchor = "start";  ///< "end" to the west of the set-up
};

LabelPlace labelPlace(PagePoint setup, int32_t corner)
{
    LabelPlace place;
    place.x = setup.x + LABEL_CORNERS[corner][0] * LABEL_OFFSET;
    // Above: the lower line ends 4 above the dot's centre; below: the upper starts 4 below it.
    place.idBaseline = LABEL_CORNERS[corner][1] > 0.0 ? setup.y + 15.0 : setup.y - 16.0;
    place.anchor = LABEL_CORNERS[corner][0] > 0.0 ? "start" : "end";
    return place;
}

void appendLabel(std::string& svg, const std::string& id, const LabelPlace& place)
{
    svg += "<text class=\"label\"";
    appendNumber(svg, "x", place.x);
    appendNumber(svg, "y", place.idBaseline);
    appendAttribute(svg, "text-anchor", place.anchor);
    svg += " font-size=\"12\" font-weight=\"bold\">" + id + "</text>\n";
}

// The turn arrow about the set-up and the value in degrees under the id.
void appendCorrection(std::string& svg, const std::string& id, PagePoint setup, const LabelPlace& place, double degrees,
                      double sweepPerDegree)
{
    std::string data;
    appendFixed6(data, degrees);
    // A correction that shows as 0.000 gets neither a sign nor an arrow.
    const std::string magnitude = fixedText(std::fabs(degrees), 3);
    const bool turns = magnitude != "0.000";
    const std::string shown = (turns ? (degrees > 0.0 ? "+" : "-") : "") + magnitude + "\xC2\xB0";
    svg += "<g class=\"correction\"";
    appendAttribute(svg, "data-scan", id);
    appendAttribute(svg, "data-degrees", data);
    svg += "><title>Scan " + id + ": heading correction " + shown + "</title>";
    if (turns)
        appendTurnArrow(svg, setup, degrees * sweepPerDegree);
    svg += "<text";
    appendNumber(svg, "x", place.x);
    appendNumber(svg, "y", place.idBaseline + 12.0);
    appendAttribute(svg, "text-anchor", place.anchor);
    svg += " font-size=\"10\" fill=\"" + std::string(ARROW_COLOUR) + "\">" + shown + "</text></g>\n";
}

// The legend's scales and counts: what is drawn and what is left out.
PlanLegend legendFor(const std::vector<ScanRecord>& scans, const RunPlan& plan, const PlanFrame& frame, double transX,
                     double transY)
{
    PlanLegend legend;
    legend.left = MARGIN + frame.mapWidth + LEGEND_GAP;
    legend.top = TITLE_HEIGHT;
    legend.metresPerUnit = 1.0 / frame.scale;
    double largestRms = 0.0, largestCorrection = 0.0;
    for (const PlanPair& pair : plan.pairs) {
        const bool shown = drawable(pair, scans);
        (shown ? legend.pairsShown : legend.pairsLeftOut) += 1;
        if (shown && shownFailed(pair))
            ++legend.pairsFailed;
        else if (shown)
            largestRms = std::max(largestRms, pair.rms * 1000.0);
    }
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const bool shown = placeable(scans[i]);
        (shown ? legend.setupsShown : legend.setupsLeftOut) += 1;
        if (shown && !std::isnan(correctionOf(plan, i)))
            largestCorrection = std::max(largestCorrection, std::fabs(correctionOf(plan, i)));
    }
    legend.rmsScale = upperScale(largestRms, 1.0);
    legend.correctionScale = upperScale(largestCorrection, 0.01);
    legend.west = frame.minX - MAP_PAD_X / frame.scale + transX;
    legend.north = frame.maxY + MAP_PAD_Y / frame.scale + transY;
    legend.east = legend.west + frame.mapWidth / frame.scale;
    legend.south = legend.north - frame.mapHeight / frame.scale;
    return legend;
}

// The title above the map and the map's box.
void appendMapBox(std::string& svg, const std::string& title, const PlanFrame& frame, bool empty)
{
    svg += "<text class=\"title\"";
    appendNumber(svg, "x", MARGIN);
    appendNumber(svg, "y", 28.0);
    svg += " font-size=\"16\" font-weight=\"bold\">" + xmlEscaped(title) + "</text>\n";
    svg += "<rect class=\"map\"";
    appendNumber(svg, "x", MARGIN);
    appendNumber(svg, "y", TITLE_HEIGHT);
    appendNumber(svg, "width", frame.mapWidth);
    appendNumber(svg, "height", frame.mapHeight);
    svg += " fill=\"#ffffff\" stroke=\"#999999\" stroke-width=\"1\"/>\n";
    if (!empty)
        return;
    svg += "<text";
    appendNumber(svg, "x", MARGIN + frame.mapWidth / 2.0);
    appendNumber(svg, "y", TITLE_HEIGHT + frame.mapHeight / 2.0);
    svg += " text-anchor=\"middle\" font-size=\"12\">no set-ups</text>\n";
}

std::string composePlan(const std::vector<ScanRecord>& scans, const RunPlan& plan)
{
    const PlanFrame frame = fitFrame(scans);
    // Offsets that are not numbers would only spoil the coordinates shown, not the drawing.
    const double transX = std::isfinite(plan.transX) ? plan.transX : 0.0;
    const double transY = std::isfinite(plan.transY) ? plan.transY : 0.0;
    const PlanLegend legend = legendFor(scans, plan, frame, transX, transY);
    const double width = std::max(MARGIN + frame.mapWidth + LEGEND_GAP + LEGEND_WIDTH + MARGIN,
                                  std::min(MAX_TITLE_WIDTH, 2.0 * MARGIN + 9.5 * textLength(plan.title)));
    const double height = TITLE_HEIGHT + std::max(frame.mapHeight, LEGEND_HEIGHT) + MARGIN;

    std::string svg;
    appendDocumentStart(svg, width, height);
    appendMapBox(svg, plan.title, frame, legend.setupsShown == 0);
    // Lines first, dots over their ends, labels and arrows last so nothing hides them.
    for (const PlanPair& pair : plan.pairs)
        if (drawable(pair, scans))
            appendPair(svg, scans, pair, frame, legend.rmsScale.top);
    for (const ScanRecord& scan : scans)
        if (placeable(scan))
            appendSetup(svg, scan, frame, transX, transY);
    const std::vector<int32_t> corners = labelCorners(scans, plan, frame);
    const double sweepPerDegree = HALF_TURN / legend.correctionScale.top;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        if (!placeable(scans[i]))
            continue;
        const PagePoint setup = toPage(frame, scans[i].x, scans[i].y);
        const LabelPlace place = labelPlace(setup, corners[i]);
        const std::string id = std::to_string(scans[i].scanId);
        appendLabel(svg, id, place);
        if (!std::isnan(correctionOf(plan, i)))  // no correction: no arrow
            appendCorrection(svg, id, setup, place, correctionOf(plan, i), sweepPerDegree);
    }
    appendLegend(svg, legend);
    svg += "</svg>\n";
    return svg;
}

}  // namespace

bool writeRunPlan(const std::string& path, const std::vector<ScanRecord>& scans, const RunPlan& plan, std::FILE* log)
{
    const std::string svg = composePlan(scans, plan);
    OutputFile out(path, log);
    if (!out.isOpen())
        return false;
    std::fwrite(svg.data(), 1, svg.size(), out.get());
    return out.close();
}

std::vector<double> meanCorrections(const std::vector<PlanPair>& pairs, std::size_t scanCount)
{
    std::vector<double> sum(scanCount, 0.0);
    std::vector<int32_t> count(scanCount, 0);
    auto add = [&](int32_t scan, double rotation) {
        if (scan < 0 || static_cast<std::size_t>(scan) >= scanCount || !std::isfinite(rotation))
            return;
        sum[static_cast<std::size_t>(scan)] += rotation;
        ++count[static_cast<std::size_t>(scan)];
    };
    for (const PlanPair& p : pairs) {
        add(p.scan1, p.rotation1);
        add(p.scan2, p.rotation2);
    }
    std::vector<double> mean(scanCount, NAN);
    for (std::size_t i = 0; i < scanCount; ++i)
        if (count[i] > 0)
            mean[i] = sum[i] / count[i];
    return mean;
}
