#include "batch/outputs/run_plan.h"

#include "batch/inputs/survey_database.h"
#include "batch/outputs/output_file.h"
#include "batch/outputs/plan_layout.h"
#include "batch/outputs/plan_legend.h"
#include "batch/outputs/plan_pairs.h"
#include "batch/outputs/plan_setups.h"
#include "batch/outputs/svg_text.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double MAX_TITLE_WIDTH = 2000.0;  ///< page units: a longer title is cut off by the page edge
constexpr double MAX_NOISE_FLOOR = 1.0;     ///< metres: a larger noise floor (or one not a number) is not known
constexpr double SIGMAS_ON_SCALE = 6.0;     ///< noise floors up to the top of a fixed RMS scale

/// The correction of scan `i` and its standard error, each NaN when there is none.
ShownCorrection correctionOf(const RunPlan& plan, std::size_t i)
{
    ShownCorrection shown;
    const double c = i < plan.headingCorrection.size() ? plan.headingCorrection[i] : NAN;
    if (!std::isfinite(c))
        return shown;
    shown.degrees = c;
    const double sigma = i < plan.headingSigma.size() ? plan.headingSigma[i] : NAN;
    shown.sigma = std::isfinite(sigma) && sigma >= 0.0 ? sigma : NAN;
    return shown;
}

bool noiseFloorKnown(double metres) { return metres > 0.0 && metres <= MAX_NOISE_FLOOR; }  // false for NaN

// Room for the widest set-up label beside the outermost set-ups.
double widestLabel(const std::vector<ScanRecord>& scans, const RunPlan& plan)
{
    double widest = 0.0;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const ShownCorrection c = correctionOf(plan, i);
        if (placeable(scans[i]) && !std::isnan(c.degrees))
            widest = std::max(widest, labelRoom(correctionText(c.degrees, c.sigma)));
    }
    return widest;
}

void countPairs(PlanLegend& legend, const std::vector<ScanRecord>& scans, const RunPlan& plan, double& largestRms)
{
    for (const PlanPair& pair : plan.pairs) {
        const bool shown = drawable(pair, scans);
        (shown ? legend.pairsShown : legend.pairsLeftOut) += 1;
        if (!shown)
            continue;
        const PairState state = pairState(pair);
        legend.pairsFailed += state == PairState::Failed ? 1 : 0;
        legend.pairsNotTrusted += state == PairState::NotTrusted ? 1 : 0;
        legend.pairsRejected += state == PairState::Rejected ? 1 : 0;
        if (state == PairState::Valid)  // the others have colours of their own
            largestRms = std::max(largestRms, pair.rms * 1000.0);
    }
}

// The legend's scales and counts: what is drawn and what is left out.
PlanLegend legendFor(const std::vector<ScanRecord>& scans, const RunPlan& plan, const PlanFrame& frame, double transX,
                     double transY)
{
    PlanLegend legend;
    legend.metresPerUnit = 1.0 / frame.scale;
    double largestRms = 0.0, largestCorrection = 0.0;
    countPairs(legend, scans, plan, largestRms);
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const bool shown = placeable(scans[i]);
        (shown ? legend.setupsShown : legend.setupsLeftOut) += 1;
        const ShownCorrection c = correctionOf(plan, i);
        if (shown && !std::isnan(c.degrees)) {
            largestCorrection = std::max(largestCorrection, std::fabs(c.degrees));
            legend.sigmaShown = legend.sigmaShown || !std::isnan(c.sigma);
        }
    }
    // Known, the survey's noise floor fixes the scale, so that its plans compare by eye.
    if (noiseFloorKnown(plan.noiseFloor)) {
        legend.noiseFloorMm = plan.noiseFloor * 1000.0;
        legend.rmsScale = upperScale(SIGMAS_ON_SCALE * legend.noiseFloorMm, 0.1);
    } else {
        legend.rmsScale = upperScale(largestRms, 1.0);
    }
    legend.correctionScale = upperScale(largestCorrection, 0.01);
    legend.west = frame.minX - frame.padX / frame.scale + transX;
    legend.north = frame.maxY + frame.padY / frame.scale + transY;
    legend.east = legend.west + frame.mapWidth / frame.scale;
    legend.south = legend.north - frame.mapHeight / frame.scale;
    return legend;
}

// Under the title: how the run was made and when.
std::string subtitleOf(const RunPlan& plan)
{
    std::string text = plan.method.empty() ? std::string() : xmlEscaped(plan.method) + "; ";
    text += "ADJUST " + std::to_string(plan.adjust);
    if (!plan.date.empty())
        text += "; " + xmlEscaped(plan.date);
    return text;
}

double titleWidth(const RunPlan& plan)
{
    const double title = 2.0 * MARGIN + 9.5 * textLength(plan.title);
    const double subtitle = 2.0 * MARGIN + 6.2 * textLength(subtitleOf(plan));
    return std::min(MAX_TITLE_WIDTH, std::max(title, subtitle));
}

void appendTitleBlock(std::string& svg, const RunPlan& plan)
{
    svg += "<text class=\"title\"";
    appendNumber(svg, "x", MARGIN);
    appendNumber(svg, "y", 28.0);
    svg += " font-size=\"16\" font-weight=\"bold\">" + xmlEscaped(plan.title) + "</text>\n";
    svg += "<text class=\"subtitle\"";
    appendNumber(svg, "x", MARGIN);
    appendNumber(svg, "y", 47.0);
    svg += " font-size=\"11\" fill=\"" + std::string(ARROW_COLOUR) + "\">" + subtitleOf(plan) + "</text>\n";
}

void appendMapBox(std::string& svg, const PlanFrame& frame, bool empty)
{
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

void appendPairs(std::string& svg, const std::vector<ScanRecord>& scans, const RunPlan& plan, const PlanFrame& frame,
                 double rmsTopMm)
{
    const auto eachPair = [&](auto draw) {
        for (const PlanPair& pair : plan.pairs)
            if (drawable(pair, scans))
                draw(svg, pair, scans[static_cast<std::size_t>(pair.scan1)],
                     scans[static_cast<std::size_t>(pair.scan2)], frame, rmsTopMm);
    };
    // All lines first, so that no line crosses another pair's tag.
    eachPair(appendPairLine);
    eachPair(appendPairLabel);
}

std::string composePlan(const std::vector<ScanRecord>& scans, const RunPlan& plan)
{
    const PlanFrame frame = fitFrame(scans, widestLabel(scans, plan));
    const PlanPage page = layOutPage(frame, titleWidth(plan));
    // Offsets that are not numbers would only spoil the coordinates shown, not the drawing.
    const double transX = std::isfinite(plan.transX) ? plan.transX : 0.0;
    const double transY = std::isfinite(plan.transY) ? plan.transY : 0.0;
    const PlanLegend legend = legendFor(scans, plan, frame, transX, transY);

    std::string svg;
    appendDocumentStart(svg, page.width, page.height);
    appendTitleBlock(svg, plan);
    appendMapBox(svg, frame, legend.setupsShown == 0);
    // Lines and their tags first, dots over their ends, labels and arrows last so nothing hides them.
    appendPairs(svg, scans, plan, frame, legend.rmsScale.top);
    for (const ScanRecord& scan : scans)
        if (placeable(scan))
            appendSetup(svg, scan, frame, transX, transY);
    const std::vector<int32_t> directions = labelDirections(scans, plan.pairs, frame);
    const double sweepPerDegree = HALF_TURN / legend.correctionScale.top;
    for (std::size_t i = 0; i < scans.size(); ++i)
        if (placeable(scans[i]))
            appendSetupLabel(svg, scans[i], frame, directions[i], correctionOf(plan, i), sweepPerDegree);
    appendLegend(svg, legend, page.legendLeft, page.legendTop, page.legendBelow);
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
