#include "batch/outputs/plan_setups.h"

#include "batch/inputs/survey_database.h"
#include "batch/outputs/number_text.h"
#include "batch/outputs/svg_text.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double SETUP_RADIUS = 4.0;
constexpr double LABEL_OFFSET = 22.0;       ///< from the set-up, clear of its turn arrow and the arrow's head
constexpr double LABEL_CHAR_WIDTH = 6.2;    ///< page units, a character of the 10-unit correction, a little wide
constexpr const char* DEGREE = "\xC2\xB0";  ///< UTF-8

// The directions a label may go to from its set-up, as page (x, y): the corners first,
// so that they take a tie, then east, north, west and south.
constexpr int32_t LABEL_DIRECTIONS = 8;
constexpr double LABEL_DIRECTION[LABEL_DIRECTIONS][2] = {{1.0, -1.0}, {1.0, 1.0},  {-1.0, -1.0}, {-1.0, 1.0},
                                                         {1.0, 0.0},  {0.0, -1.0}, {-1.0, 0.0},  {0.0, 1.0}};

// Where a set-up's two text lines go: its id, and below it the correction.
struct LabelPlace {
    double x = 0.0;                ///< page units, the text's anchor
    double idBaseline = 0.0;       ///< page units; the correction's baseline is 12 below
    const char* anchor = "start";  ///< "end" to the west of the set-up, "middle" above or below it
};

LabelPlace labelPlace(PagePoint setup, int32_t direction)
{
    const double dx = LABEL_DIRECTION[direction][0], dy = LABEL_DIRECTION[direction][1];
    LabelPlace place;
    place.x = setup.x + dx * LABEL_OFFSET;
    place.anchor = dx > 0.0 ? "start" : dx < 0.0 ? "end" : "middle";
    if (dx != 0.0
        && dy != 0.0)  // above: the lower line ends 4 above the dot's centre; below: the upper starts 4 below it
        place.idBaseline = dy > 0.0 ? setup.y + 15.0 : setup.y - 16.0;
    else if (dy == 0.0)  // level with the dot, the two lines about its centre
        place.idBaseline = setup.y - 2.0;
    else  // straight above or below, clear of the turn arrow's circle
        place.idBaseline = dy > 0.0 ? setup.y + 31.0 : setup.y - 34.0;
    return place;
}

void appendId(std::string& svg, const std::string& id, const LabelPlace& place)
{
    svg += "<text class=\"label\"";
    appendNumber(svg, "x", place.x);
    appendNumber(svg, "y", place.idBaseline);
    appendAttribute(svg, "text-anchor", place.anchor);
    svg += " font-size=\"12\" font-weight=\"bold\">" + id + "</text>\n";
}

// Decimals that show the first significant digit of `sigma` once rounded: 3 to 6.
int decimalsFor(double sigma)
{
    int decimals = 3;
    while (decimals < 6 && sigma > 0.0 && fixedText(sigma, decimals).find_first_of("123456789") == std::string::npos)
        ++decimals;
    return decimals;
}

// The turn arrow about the set-up and the value in degrees under the id.
void appendCorrection(std::string& svg, const std::string& id, PagePoint setup, const LabelPlace& place,
                      const ShownCorrection& correction, double sweepPerDegree)
{
    std::string data;
    appendFixed6(data, correction.degrees);
    const std::string shown = correctionText(correction.degrees, correction.sigma);
    svg += "<g class=\"correction\"";
    appendAttribute(svg, "data-scan", id);
    appendAttribute(svg, "data-degrees", data);
    if (!std::isnan(correction.sigma)) {
        std::string sigma;
        appendFixed6(sigma, correction.sigma);
        appendAttribute(svg, "data-sigma", sigma);
    }
    svg += "><title>Scan " + id + ": heading correction " + shown + "</title>";
    // A correction that shows as 0.000 at three decimals gets no arrow.
    if (fixedText(std::fabs(correction.degrees), 3) != "0.000")
        appendTurnArrow(svg, setup, correction.degrees * sweepPerDegree);
    svg += "<text";
    appendNumber(svg, "x", place.x);
    appendNumber(svg, "y", place.idBaseline + 12.0);
    appendAttribute(svg, "text-anchor", place.anchor);
    svg += " font-size=\"10\" fill=\"" + std::string(ARROW_COLOUR) + "\">" + shown + "</text></g>\n";
}

}  // namespace

std::string correctionText(double degrees, double sigma)
{
    const bool withSigma = !std::isnan(sigma);
    const int decimals = withSigma ? decimalsFor(sigma) : 3;
    const std::string magnitude = fixedText(std::fabs(degrees), decimals);
    // A correction that shows as zero gets no sign.
    const bool zero = magnitude.find_first_of("123456789") == std::string::npos;
    std::string text = (zero ? "" : degrees > 0.0 ? "+" : "-") + magnitude + DEGREE;
    if (withSigma)
        text += " \xC2\xB1 " + fixedText(sigma, decimals) + DEGREE;
    return text;
}

double labelRoom(const std::string& text) { return LABEL_OFFSET + LABEL_CHAR_WIDTH * textLength(text) + 6.0; }

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

std::vector<int32_t> labelDirections(const std::vector<ScanRecord>& scans, const std::vector<PlanPair>& pairs,
                                     const PlanFrame& frame)
{
    // closest[i][d]: the largest cosine between direction d and a line leaving set-up i
    std::vector<std::array<double, LABEL_DIRECTIONS>> closest(scans.size());
    for (auto& c : closest)
        c.fill(-2.0);
    for (const PlanPair& pair : pairs) {
        if (!drawable(pair, scans))
            continue;
        const ScanRecord& a = scans[static_cast<std::size_t>(pair.scan1)];
        const ScanRecord& b = scans[static_cast<std::size_t>(pair.scan2)];
        const PagePoint pa = toPage(frame, a.x, a.y), pb = toPage(frame, b.x, b.y);
        const double dx = pb.x - pa.x, dy = pb.y - pa.y;
        const double length = std::sqrt(dx * dx + dy * dy);
        if (!(length > 0.0))
            continue;
        for (std::size_t d = 0; d < LABEL_DIRECTIONS; ++d) {
            const double ux = LABEL_DIRECTION[d][0], uy = LABEL_DIRECTION[d][1];
            const double cosine = (ux * dx + uy * dy) / (length * std::sqrt(ux * ux + uy * uy));
            double& at1 = closest[static_cast<std::size_t>(pair.scan1)][d];
            double& at2 = closest[static_cast<std::size_t>(pair.scan2)][d];
            at1 = std::max(at1, cosine);
            at2 = std::max(at2, -cosine);
        }
    }
    std::vector<int32_t> best(scans.size(), 0);
    for (std::size_t i = 0; i < scans.size(); ++i)
        for (int32_t d = 1; d < LABEL_DIRECTIONS; ++d)
            if (closest[i][static_cast<std::size_t>(d)] < closest[i][static_cast<std::size_t>(best[i])])
                best[i] = d;
    return best;
}

void appendSetupLabel(std::string& svg, const ScanRecord& scan, const PlanFrame& frame, int32_t direction,
                      const ShownCorrection& correction, double sweepPerDegree)
{
    const PagePoint setup = toPage(frame, scan.x, scan.y);
    const LabelPlace place = labelPlace(setup, direction);
    const std::string id = std::to_string(scan.scanId);
    appendId(svg, id, place);
    if (!std::isnan(correction.degrees))  // no correction: no arrow
        appendCorrection(svg, id, setup, place, correction, sweepPerDegree);
}
