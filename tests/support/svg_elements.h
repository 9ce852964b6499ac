#pragma once

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// The elements of an SVG file as the run plan writes it (one element per tag, attributes
// in double quotes), for tests that compare a plan with what it was drawn from.

// One element: its attributes and the text up to the next tag.
struct Element {
    std::map<std::string, std::string> attributes;
    std::string text;

    std::string at(const std::string& name) const
    {
        const auto found = attributes.find(name);
        return found == attributes.end() ? std::string() : found->second;
    }
    double number(const std::string& name) const
    {
        const std::string value = at(name);
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        return end != value.c_str() && *end == '\0' ? v : NAN;
    }
};

/// Every `tag` element of the file, in order, with class `cls` (any class when empty).
std::vector<Element> elements(const std::string& svg, const std::string& tag, const std::string& cls = "");

/// `svg` with the day of the run in its title block replaced by "YYYY-MM-DD", so that
/// plans drawn on different days compare byte for byte.
std::string withoutPlanDate(std::string svg);

/// True when rsvg-convert turns the SVG file at `svgPath` into a PNG at `pngPath`
/// (exit status 0 and a PNG signature).
bool rendersWithRsvg(const std::string& svgPath, const std::string& pngPath);
