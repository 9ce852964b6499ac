#include "batch/outputs/plan_drawing.h"

#include "batch/outputs/svg_text.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double ARROW_RADIUS = 14.0;          ///< page units
constexpr double MIN_SWEEP = HALF_TURN / 9.0;  ///< 20 degrees: a shorter arc would hide under its head
constexpr double SCALE_BAR_ROOM = 160.0;       ///< page units the scale bar may take
constexpr double RAMP_HEIGHT = 160.0;          ///< page units

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

// Decimals that print `value` (a round number) exactly; at most 9.
int32_t decimalsOf(double value)
{
    int32_t decimals = 0;
    for (double v = value; decimals < 9 && std::fabs(v - std::round(v)) > 1e-6 * std::fabs(v); v *= 10.0)
        ++decimals;
    return decimals;
}

// The text of a length or a value on a round scale: as many decimals as it needs.
std::string roundText(double value) { return fixedText(value, decimalsOf(value)); }

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

void appendText(std::string& svg, double x, double y, const std::string& text, const char* extra = "")
{
    svg += "<text";
    appendNumber(svg, "x", x);
    appendNumber(svg, "y", y);
    svg += " font-size=\"11\"";
    svg += extra;
    svg += ">" + text + "</text>\n";
}

// The largest of 1, 2, 5 x 10^k at or below `limit` (> 0).
double roundBelow(double limit)
{
    double p = 1.0;
    for (int i = 0; i < 400 && p * 10.0 <= limit; ++i)
        p *= 10.0;
    for (int i = 0; i < 400 && p > limit; ++i)
        p /= 10.0;
    return 5.0 * p <= limit ? 5.0 * p : 2.0 * p <= limit ? 2.0 * p : p;
}

void appendNorthArrow(std::string& svg, double x, double top)
{
    svg += "<g class=\"north-arrow\"><path d=\"M " + fixedText(x, 2) + " " + fixedText(top + 20.0, 2) + " L "
        + fixedText(x + 9.0, 2) + " " + fixedText(top + 54.0, 2) + " L " + fixedText(x, 2) + " "
        + fixedText(top + 46.0, 2) + " L " + fixedText(x - 9.0, 2) + " " + fixedText(top + 54.0, 2)
        + " Z\" fill=\"#000000\"/>";
    svg += "<text";
    appendNumber(svg, "x", x);
    appendNumber(svg, "y", top + 14.0);
    svg += " text-anchor=\"middle\" font-size=\"13\" font-weight=\"bold\">N</text></g>\n";
}

// A bar of a round length that fits SCALE_BAR_ROOM, half black, half white.
void appendScaleBar(std::string& svg, double left, double top, double metresPerUnit)
{
    const double metres = roundBelow(SCALE_BAR_ROOM * metresPerUnit);
    const double length = metres / metresPerUnit;
    svg += "<rect class=\"scale-bar\"";
    appendAttribute(svg, "data-metres", fixedText(metres, 6));
    appendNumber(svg, "x", left);
    appendNumber(svg, "y", top + 36.0);
    appendNumber(svg, "width", length);
    svg += " height=\"6\" fill=\"#ffffff\" stroke=\"#000000\" stroke-width=\"1\"/>\n<rect";
    appendNumber(svg, "x", left);
    appendNumber(svg, "y", top + 36.0);
    appendNumber(svg, "width", length / 2.0);
    svg += " height=\"6\" fill=\"#000000\"/>\n";
    appendText(svg, left, top + 30.0, "0", " text-anchor=\"middle\"");
    appendText(svg, left + length, top + 30.0, roundText(metres) + " m", " text-anchor=\"middle\"");
}

void appendRamp(std::string& svg, double left, double top, const RoundScale& scale)
{
    appendText(svg, left + 4.0, top, "Pair RMS (mm)", " font-weight=\"bold\"");
    const double bottom = top + 10.0 + RAMP_HEIGHT;
    svg += "<rect class=\"rms-ramp\"";
    appendNumber(svg, "x", left + 4.0);
    appendNumber(svg, "y", top + 10.0);
    appendNumber(svg, "width", 16.0);
    appendNumber(svg, "height", RAMP_HEIGHT);
    svg += " fill=\"url(#rms-ramp)\" stroke=\"#000000\" stroke-width=\"0.5\"/>\n";
    for (int32_t k = 0; k <= scale.steps; ++k) {
        const double y = bottom - RAMP_HEIGHT * k / scale.steps;
        svg += "<line";
        appendNumber(svg, "x1", left + 20.0);
        appendNumber(svg, "y1", y);
        appendNumber(svg, "x2", left + 25.0);
        appendNumber(svg, "y2", y);
        svg += " stroke=\"#000000\" stroke-width=\"1\"/>\n";
        appendText(svg, left + 29.0, y + 4.0, fixedText(scale.top * k / scale.steps, scale.decimals),
                   " class=\"rms-tick\"");
    }
}

}  // namespace

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

void appendLegend(std::string& svg, const PlanLegend& legend)
{
    const double left = legend.left, top = legend.top;
    svg += "<g class=\"legend\">\n";
    appendNorthArrow(svg, left + 16.0, top);
    appendScaleBar(svg, left + 48.0, top, legend.metresPerUnit);
    appendRamp(svg, left, top + 90.0, legend.rmsScale);

    svg += "<line";
    appendNumber(svg, "x1", left + 4.0);
    appendNumber(svg, "y1", top + 290.0);
    appendNumber(svg, "x2", left + 34.0);
    appendNumber(svg, "y2", top + 290.0);
    svg += " stroke=\"" + std::string(FAILED_COLOUR) + "\" stroke-width=\"2.5\" stroke-dasharray=\"8 5\"/>\n";
    appendText(svg, left + 42.0, top + 294.0, "failed, or no valid RMS");

    appendTurnArrow(svg, {left + 19.0, top + 338.0}, HALF_TURN / 2.0);
    svg += "\n";
    appendText(svg, left + 42.0, top + 324.0, "Heading correction", " font-weight=\"bold\"");
    appendText(svg, left + 42.0, top + 338.0, "counter-clockwise positive;");
    appendText(svg, left + 42.0, top + 352.0,
               "a half turn of arc is " + fixedText(legend.correctionScale.top, legend.correctionScale.decimals)
                   + "\xC2\xB0");

    // "set-ups 6" rather than "6 set-ups": no plural to get wrong for one.
    appendText(svg, left + 4.0, top + 384.0,
               "set-ups " + std::to_string(legend.setupsShown) + ", pairs " + std::to_string(legend.pairsShown)
                   + ", failed " + std::to_string(legend.pairsFailed));
    if (legend.setupsLeftOut > 0 || legend.pairsLeftOut > 0)
        appendText(svg, left + 4.0, top + 398.0,
                   "not drawn: set-ups " + std::to_string(legend.setupsLeftOut) + ", pairs "
                       + std::to_string(legend.pairsLeftOut));
    appendText(svg, left + 4.0, top + 424.0, "Map corners, E and N in metres:");
    appendText(svg, left + 4.0, top + 440.0, "SW " + fixedText(legend.west, 2) + ", " + fixedText(legend.south, 2));
    appendText(svg, left + 4.0, top + 456.0, "NE " + fixedText(legend.east, 2) + ", " + fixedText(legend.north, 2));
    svg += "</g>\n";
}
