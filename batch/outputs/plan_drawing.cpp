#include "batch/outputs/plan_drawing.h"

#include "batch/outputs/svg_text.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double ARROW_RADIUS = 14.0;          ///< page units
constexpr double MIN_SWEEP = HALF_TURN / 9.0;  ///< 20 degrees: a shorter arc would hide under its head

// Viridis, which reads in grey and to colour-blind eyes, cut before its palest
// yellow so that the largest RMS still shows on white.
constexpr int RAMP_STOPS = 5;
constexpr double RAMP_OFFSET[RAMP_STOPS] = {0.0, 0.25, 0.5, 0.75, 1.0};
constexpr int RAMP_RGB[RAMP_STOPS][3] = {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {189, 223, 38}};

struct SinCos {
    double sin = 0.0;
    double cos = 1.0;
};

// Both by their series, for |a| <= pi: the C libraries of the 32-bit and the 64-bit
// build may differ in the last bit, which could change a rounded coordinate.
SinCos sinCos(double a)
{
    SinCos r{0.0, 0.0};
    const double a2 = a * a;
    double sinTerm = a, cosTerm = 1.0;
    for (int k = 0; k < 15; ++k) {  // the terms left out are below 1e-20 at pi
        r.sin += sinTerm;
        r.cos += cosTerm;
        sinTerm *= -a2 / ((2.0 * k + 2.0) * (2.0 * k + 3.0));
        cosTerm *= -a2 / ((2.0 * k + 1.0) * (2.0 * k + 2.0));
    }
    return r;
}

std::string hexColour(int r, int g, int b)
{
    static const char digits[] = "0123456789abcdef";
    std::string text = "#";
    for (int c : {r, g, b}) {
        text += digits[(c >> 4) & 15];
        text += digits[c & 15];
    }
    return text;
}

}  // namespace

int32_t decimalsOf(double value)
{
    int32_t decimals = 0;
    for (double v = value; decimals < 9 && std::fabs(v - std::round(v)) > 1e-6 * std::fabs(v); v *= 10.0)
        ++decimals;
    return decimals;
}

RoundScale upperScale(double largest, double least)
{
    const double value = std::max(largest, least);
    double p = 1.0;
    for (int i = 0; i < 400 && p * 10.0 < value; ++i)
        p *= 10.0;
    for (int i = 0; i < 400 && p >= value * 10.0; ++i)
        p /= 10.0;
    // now value <= 10 p
    RoundScale scale;
    const int mantissa = value <= p ? 1 : value <= 2.0 * p ? 2 : value <= 5.0 * p ? 5 : 10;
    scale.top = mantissa == 10 ? 10.0 * p : mantissa * p;
    scale.steps = mantissa == 2 ? 4 : 5;
    scale.decimals = decimalsOf(scale.top / scale.steps);
    return scale;
}

std::string rampColour(double fraction)
{
    const double t = fraction > 0.0 ? std::min(fraction, 1.0) : 0.0;
    int k = 0;
    while (k < RAMP_STOPS - 2 && t > RAMP_OFFSET[k + 1])
        ++k;
    const double u = (t - RAMP_OFFSET[k]) / (RAMP_OFFSET[k + 1] - RAMP_OFFSET[k]);
    int rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] = static_cast<int>(RAMP_RGB[k][c] + (RAMP_RGB[k + 1][c] - RAMP_RGB[k][c]) * u + 0.5);
    return hexColour(rgb[0], rgb[1], rgb[2]);
}

const char* stateColour(PairState state)
{
    switch (state) {
    case PairState::NotTrusted:
        return "#ff7f0e";  // orange
    case PairState::Rejected:
        return "#e7298a";  // magenta: the ramp's purple is dark and bluish
    default:
        return "#d7191c";  // red
    }
}

void appendPairStroke(std::string& svg, PairState state, const std::string& rampAt)
{
    if (state == PairState::Valid) {
        appendAttribute(svg, "stroke", rampAt);
        svg += " stroke-width=\"3\" stroke-linecap=\"round\"";
        return;
    }
    appendAttribute(svg, "stroke", stateColour(state));
    // Long dashes, short dashes, dash and dot: apart in print without colour too.
    svg += state == PairState::Failed    ? " stroke-width=\"2.5\" stroke-dasharray=\"8 5\""
        : state == PairState::NotTrusted ? " stroke-width=\"2.5\" stroke-dasharray=\"3 4\""
                                         : " stroke-width=\"2.5\" stroke-dasharray=\"10 4 2 4\"";
}

void appendText(std::string& svg, double x, double y, const std::string& text, const char* extra)
{
    svg += "<text";
    appendNumber(svg, "x", x);
    appendNumber(svg, "y", y);
    svg += " font-size=\"11\"";
    svg += extra;
    svg += ">" + text + "</text>\n";
}

void appendTurnArrow(std::string& svg, PagePoint centre, double sweep)
{
    const double sense = sweep < 0.0 ? -1.0 : 1.0;
    const double shown = sense * std::clamp(std::fabs(sweep), MIN_SWEEP, HALF_TURN);
    // North up and east right, a counter-clockwise turn from north heads west, and
    // the page's y runs south: the point at angle a lies at (-sin a, -cos a).
    const SinCos t = sinCos(shown);
    const PagePoint end{centre.x - ARROW_RADIUS * t.sin, centre.y - ARROW_RADIUS * t.cos};
    const std::string arc = "M " + fixedText(centre.x, 2) + " " + fixedText(centre.y - ARROW_RADIUS, 2) + " A "
        + fixedText(ARROW_RADIUS, 2) + " " + fixedText(ARROW_RADIUS, 2) + " 0 0 " + (sense > 0.0 ? "0 " : "1 ")
        + fixedText(end.x, 2) + " " + fixedText(end.y, 2);
    // A white edge under the arc keeps it apart from the pair lines it crosses.
    svg += "<path d=\"" + arc + "\" fill=\"none\" stroke=\"#ffffff\" stroke-width=\"4\"/>";
    svg +=
        "<path class=\"turn\" d=\"" + arc + "\" fill=\"none\" stroke=\"" + ARROW_COLOUR + "\" stroke-width=\"1.6\"/>";
    // The head points along the arc's motion at its end.
    const double dx = -sense * t.cos, dy = sense * t.sin;
    const PagePoint tip{end.x + 4.0 * dx, end.y + 4.0 * dy};
    const PagePoint base{end.x - 3.0 * dx, end.y - 3.0 * dy};
    svg += "<path d=\"M " + fixedText(tip.x, 2) + " " + fixedText(tip.y, 2) + " L " + fixedText(base.x - 3.5 * dy, 2)
        + " " + fixedText(base.y + 3.5 * dx, 2) + " L " + fixedText(base.x + 3.5 * dy, 2) + " "
        + fixedText(base.y - 3.5 * dx, 2) + " Z\" fill=\"" + ARROW_COLOUR
        + "\" stroke=\"#ffffff\" stroke-width=\"0.8\"/>";
}

void appendDocumentStart(std::string& svg, double width, double height)
{
    const std::string w = fixedText(width, 2), h = fixedText(height, 2);
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + w + "\" height=\"" + h
        + "\" viewBox=\"0 0 " + w + " " + h + "\" font-family=\"sans-serif\">\n";
    svg += "<defs><linearGradient id=\"rms-ramp\" x1=\"0\" y1=\"1\" x2=\"0\" y2=\"0\">";
    for (int k = 0; k < RAMP_STOPS; ++k) {
        svg += "<stop";
        appendNumber(svg, "offset", RAMP_OFFSET[k]);
        appendAttribute(svg, "stop-color", hexColour(RAMP_RGB[k][0], RAMP_RGB[k][1], RAMP_RGB[k][2]));
        svg += "/>";
    }
    svg += "</linearGradient></defs>\n";
    svg += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"#ffffff\"/>\n";
}

int32_t textLength(const std::string& text)
{
    int32_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0u) != 0x80u)
            ++count;
    return count;
}
