#include "batch/outputs/plan_pairs.h"

#include "batch/inputs/survey_database.h"
#include "batch/outputs/number_text.h"
#include "batch/outputs/svg_text.h"

#include <cmath>

namespace {

constexpr double CHAR_WIDTH = 6.2;  ///< page units, a character of an 11-unit label, a little wide
constexpr double TAG_HEIGHT = 15.0;

// The colour of the line and of its tag's edge.
std::string lineColour(const PlanPair& pair, double rmsTopMm)
{
    const PairState state = pairState(pair);
    return state == PairState::Valid ? rampColour(pair.rms * 1000.0 / rmsTopMm) : std::string(stateColour(state));
}

std::string labelText(const PlanPair& pair)
{
    const std::string mm = validRms(pair.rms) ? fixedText(pair.rms * 1000.0, 1) + " mm" : std::string();
    switch (pairState(pair)) {
    case PairState::Failed:
        return "failed";
    case PairState::NotTrusted:
        return mm.empty() ? "not trusted" : "not trusted " + mm;
    case PairState::Rejected:
        return mm.empty() ? "rejected" : "rejected " + mm;
    default:
        return mm;
    }
}

const char* stateName(PairState state)
{
    switch (state) {
    case PairState::Failed:
        return "failed";
    case PairState::NotTrusted:
        return "not-trusted";
    case PairState::Rejected:
        return "rejected";
    default:
        return "valid";
    }
}

// The scans' ids as data, shared by a pair's line and its label.
void appendPairIds(std::string& svg, const ScanRecord& a, const ScanRecord& b)
{
    appendAttribute(svg, "data-scan1", std::to_string(a.scanId));
    appendAttribute(svg, "data-scan2", std::to_string(b.scanId));
}

}  // namespace

bool validRms(double rms) { return rms >= 0.0 && rms < NO_VALID_RMS; }  // false for NaN

PairState pairState(const PlanPair& pair)
{
    if (pair.failed)
        return PairState::Failed;
    if (pair.rejected || pair.notTrusted)
        return pair.rejected ? PairState::Rejected : PairState::NotTrusted;
    return validRms(pair.rms) ? PairState::Valid : PairState::Failed;
}

void appendPairLine(std::string& svg, const PlanPair& pair, const ScanRecord& a, const ScanRecord& b,
                    const PlanFrame& frame, double rmsTopMm)
{
    const PagePoint pa = toPage(frame, a.x, a.y), pb = toPage(frame, b.x, b.y);
    const PairState state = pairState(pair);
    // A value that is not a number is shown as the tables' marker, so scripts can read it as one.
    std::string rms;
    appendFixed6(rms, std::isfinite(pair.rms) ? pair.rms : NO_VALID_RMS);
    svg += "<line class=\"pair\"";
    appendPairIds(svg, a, b);
    appendAttribute(svg, "data-rms", rms);
    appendAttribute(svg, "data-failed", pair.failed || !validRms(pair.rms) ? "1" : "0");
    appendAttribute(svg, "data-state", stateName(state));
    appendNumber(svg, "x1", pa.x);
    appendNumber(svg, "y1", pa.y);
    appendNumber(svg, "x2", pb.x);
    appendNumber(svg, "y2", pb.y);
    appendPairStroke(svg, state, lineColour(pair, rmsTopMm));
    svg += "><title>Scans " + std::to_string(a.scanId) + " and " + std::to_string(b.scanId) + ": ";
    if (state != PairState::Valid)
        svg += std::string(state == PairState::NotTrusted ? "not trusted" : stateName(state)) + ", ";
    svg += validRms(pair.rms) ? "RMS " + fixedText(pair.rms * 1000.0, 2) + " mm" : std::string("no valid RMS");
    svg += "</title></line>\n";
}

void appendPairLabel(std::string& svg, const PlanPair& pair, const ScanRecord& a, const ScanRecord& b,
                     const PlanFrame& frame, double rmsTopMm)
{
    const PagePoint pa = toPage(frame, a.x, a.y), pb = toPage(frame, b.x, b.y);
    const PagePoint middle{(pa.x + pb.x) / 2.0, (pa.y + pb.y) / 2.0};
    const std::string text = labelText(pair);
    const double width = CHAR_WIDTH * textLength(text) + 8.0;
    svg += "<rect class=\"pair-tag\"";
    appendNumber(svg, "x", middle.x - width / 2.0);
    appendNumber(svg, "y", middle.y - TAG_HEIGHT / 2.0 - 0.5);
    appendNumber(svg, "width", width);
    appendNumber(svg, "height", TAG_HEIGHT);
    appendAttribute(svg, "stroke", lineColour(pair, rmsTopMm));
    svg += " rx=\"3\" fill=\"#ffffff\" stroke-width=\"1\"/>\n<text class=\"pair-label\"";
    appendPairIds(svg, a, b);
    appendNumber(svg, "x", middle.x);
    appendNumber(svg, "y", middle.y + 3.5);
    svg += " text-anchor=\"middle\" font-size=\"11\">" + text + "</text>\n";
}
