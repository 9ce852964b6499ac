#include "tools/terrain_points.h"

#include "batch/file_ptr.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// One finite number at text[at], skipping blanks before it; advances `at` past it.
bool readNumber(const std::string& text, size_t& at, size_t end, double& value)
{
    while (at < end && isBlank(text[at])) {
        ++at;
    }
    if (at >= end) {
        return false;
    }
    // strtod stops at the line's end: every line is followed by '\n' or the string's end.
    const char* start = text.c_str() + at;
    char* stop = nullptr;
    value = std::strtod(start, &stop);
    const size_t used = static_cast<size_t>(stop - start);
    if (used == 0 || at + used > end || !std::isfinite(value)) {
        return false;
    }
    at += used;
    return at == end || isBlank(text[at]);
}

}  // namespace

std::optional<std::vector<TerrainPoint>> parseTerrainPoints(const std::string& text, const std::string& name)
{
    std::vector<TerrainPoint> points;
    int32_t lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        ++lineNumber;
        size_t first = at;
        while (first < end && isBlank(text[first])) {
            ++first;
        }
        if (first < end && text[first] != '#') {
            TerrainPoint p;
            size_t cursor = first;
            if (!readNumber(text, cursor, end, p.easting) || !readNumber(text, cursor, end, p.northing)
                || !readNumber(text, cursor, end, p.elevation)) {
                std::fprintf(stderr, "Line %i of %s is not a point\n", static_cast<int>(lineNumber), name.c_str());
                return std::nullopt;
            }
            double pointClass = 0.0;
            const size_t afterZ = cursor;
            if (readNumber(text, cursor, end, pointClass)) {
                p.pointClass = static_cast<int32_t>(std::clamp(pointClass, -1e9, 1e9));
            } else {
                // No class, or something else after the elevation: only blanks count as none.
                cursor = afterZ;
                while (cursor < end && isBlank(text[cursor])) {
                    ++cursor;
                }
                if (cursor < end) {
                    std::fprintf(stderr, "Line %i of %s is not a point\n", static_cast<int>(lineNumber), name.c_str());
                    return std::nullopt;
                }
            }
            points.push_back(p);
        }
        at = end + 1;
    }
    if (static_cast<int64_t>(points.size()) < MIN_TERRAIN_POINTS) {
        std::fprintf(stderr, "%s holds fewer than %i points\n", name.c_str(), static_cast<int>(MIN_TERRAIN_POINTS));
        return std::nullopt;
    }
    return points;
}

std::optional<std::vector<TerrainPoint>> readTerrainPoints(const std::string& path)
{
    FilePtr f(std::fopen(path.c_str(), "rb"));
    std::string text;
    bool ok = f != nullptr;
    char block[65536];
    while (ok) {
        const size_t n = std::fread(block, 1, sizeof block, f.get());
        text.append(block, n);
        if (n < sizeof block) {
            ok = std::ferror(f.get()) == 0;
            break;
        }
    }
    if (!ok) {
        std::fprintf(stderr, "Cannot read %s\n", path.c_str());
        return std::nullopt;
    }
    return parseTerrainPoints(text, path);
}
