// make_example_survey: writes the synthetic sea-cliff example survey into a folder.
// Exit status: 0 written, 1 a file could not be written, 2 bad command line.

#include "tools/survey_generator.h"
#include "tools/terrain_survey.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

void printUsage(std::FILE* to)
{
    std::fprintf(to,
                 "Usage: make_example_survey --out DIR [options]\n"
                 "  --out DIR          output folder (created if missing), required\n"
                 "  --name NAME        database base name (default survey)\n"
                 "  --scans N          set-ups along the beach, 2..10 (default 6)\n"
                 "  --points P         target points per scan, 1000..20000000 (default 250000;\n"
                 "                     3000 for a terrain scene)\n"
                 "  --spacing M        metres between neighbouring set-ups, 5..100 (default 38 on the\n"
                 "                     beach; from the length of the slope's foot for a terrain scene)\n"
                 "  --direction ns|ew  set-ups run north-south (cliff east) or east-west (cliff north);\n"
                 "                     a terrain scene takes the direction of its slope's foot\n"
                 "  --seed S           random seed, 0..4294967295 (default 1)\n"
                 "  --noise M          range noise, metres, 1 sigma (default 0.003)\n"
                 "  --max-error D      largest heading error, degrees (default 1.0)\n"
                 "  --errors E1,E2,..  the heading error of each scan, degrees (default: drawn)\n"
                 "  --scene S          cliff (default), or terrain:FILE for a sparse survey of the\n"
                 "                     ground in FILE (lines \"easting northing elevation [class]\")\n"
                 "  --regsol K         REGSOL in ipcreg.txt (default 2)\n"
                 "  --first-id N       ID1 of the first scan (default 1)\n"
                 "  --first-id2 N      ID2 of the first scan (default 1)\n"
                 "  --zmin Z           ZMIN in ipcreg.txt (default: just above the beach; below the\n"
                 "                     lowest ground for a terrain scene)\n"
                 "  --cube C           search cube size 1,2,3,4,5,6,8,10 m (default: from the density;\n"
                 "                     10 for a terrain scene)\n"
                 "  --min-pairs N      MINNUMPTS (default: estimated, at most 1000)\n"
                 "  --formats F1,F2,.. point files of each scan: bxyz (the .bxyz the database names),\n"
                 "                     ply, las (one <NAME>.ply or <NAME>.las per scan, in the scanner's\n"
                 "                     frame as a scanner's software exports it, taken in turn when both\n"
                 "                     are given), e57 (the whole survey in <name>.e57, each scan in its\n"
                 "                     scanner's frame with the pose its database record gives); default bxyz\n"
                 "  --quiet            no line per file written\n");
}

bool parseInt(const char* text, int64_t lo, int64_t hi, int64_t& out)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < lo || v > hi) {
        return false;
    }
    out = v;
    return true;
}

bool parseReal(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE) {
        return false;
    }
    out = v;
    return true;
}

// The items between commas; "1,,2" has an empty one.
std::vector<std::string> commaItems(const char* text)
{
    std::vector<std::string> items(1);
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == ',') {
            items.emplace_back();
        } else {
            items.back() += *c;
        }
    }
    return items;
}

// Comma-separated degrees, at least one.
bool parseList(const char* text, std::vector<double>& out)
{
    out.clear();
    for (const std::string& item : commaItems(text)) {
        double v = 0.0;
        if (!parseReal(item.c_str(), v)) {
            return false;
        }
        out.push_back(v);
    }
    return true;
}

// Comma-separated format names, at least one; repeats are left to checkSurveyOptions.
bool parseFormats(const char* text, std::vector<PointFormat>& out)
{
    out.clear();
    for (const std::string& item : commaItems(text)) {
        const std::optional<PointFormat> format = scanFormatNamed(item);
        if (!format) {
            return false;
        }
        out.push_back(*format);
    }
    return true;
}

bool parseScene(const char* text, ExampleSurveyOptions& o)
{
    const std::string scene = text;
    const std::string terrain = "terrain:";
    if (scene == "cliff") {
        o.terrainPath.clear();
        return true;
    }
    if (scene.rfind(terrain, 0) == 0 && scene.size() > terrain.size()) {
        o.terrainPath = scene.substr(terrain.size());
        return true;
    }
    return false;
}

// Applies one "--key value" pair; false when the key is unknown or the value malformed.
// Ranges are checked afterwards by checkSurveyOptions.
bool applyOption(const std::string& key, const char* value, ExampleSurveyOptions& o)
{
    int64_t n = 0;
    double d = 0.0;
    if (key == "--out") {
        o.outDir = value;
        return true;
    }
    if (key == "--name") {
        o.name = value;
        return true;
    }
    if (key == "--direction") {
        o.eastWest = std::strcmp(value, "ew") == 0;
        return o.eastWest || std::strcmp(value, "ns") == 0;
    }
    if (key == "--scans" && parseInt(value, 0, 1000, n)) {
        o.scans = static_cast<int32_t>(n);
        return true;
    }
    if (key == "--points" && parseInt(value, 0, 100000000, n)) {
        o.points = static_cast<int32_t>(n);
        return true;
    }
    if (key == "--seed" && parseInt(value, 0, 4294967295LL, n)) {
        o.seed = static_cast<uint32_t>(n);
        return true;
    }
    if (key == "--regsol" && parseInt(value, -1000000, 1000000, n)) {
        o.regsol = static_cast<int32_t>(n);
        return true;
    }
    if (key == "--first-id" && parseInt(value, 0, 1000000, n)) {
        o.firstId = static_cast<int32_t>(n);
        return true;
    }
    if (key == "--first-id2" && parseInt(value, 0, 1000000, n)) {
        o.firstId2 = static_cast<int32_t>(n);
        return true;
    }
    if (key == "--cube" && parseInt(value, 0, 1000, n)) {
        o.cubeSize = static_cast<int32_t>(n);
        return true;
    }
    if (key == "--min-pairs" && parseInt(value, 0, 100000000, n)) {
        o.minPairs = static_cast<int32_t>(n);
        return true;
    }
    if (key == "--noise" && parseReal(value, d)) {
        o.noise = d;
        return true;
    }
    if (key == "--max-error" && parseReal(value, d)) {
        o.maxError = d;
        return true;
    }
    if (key == "--zmin" && parseReal(value, d)) {
        o.zmin = d;
        return true;
    }
    if (key == "--spacing" && parseReal(value, d)) {
        o.spacing = d;
        return true;
    }
    if (key == "--errors") {
        return parseList(value, o.errors);
    }
    if (key == "--scene") {
        return parseScene(value, o);
    }
    if (key == "--formats") {
        return parseFormats(value, o.formats);
    }
    return false;
}

// 0 parsed, 1 help asked, 2 bad command line (message printed).
int parseArguments(int argc, char** argv, ExampleSurveyOptions& o)
{
    bool pointsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        if (key == "--help" || key == "-h") {
            return 1;
        }
        if (key == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "Option %s needs a value\n", key.c_str());
            return 2;
        }
        if (!applyOption(key, argv[i + 1], o)) {
            std::fprintf(stderr, "Bad option or value: %s %s\n", key.c_str(), argv[i + 1]);
            return 2;
        }
        pointsGiven = pointsGiven || key == "--points";
        ++i;
    }
    // A sparse terrain survey: a few thousand points per scan unless asked otherwise.
    if (!o.terrainPath.empty() && !pointsGiven) {
        o.points = TERRAIN_DEFAULT_POINTS;
    }
    return checkSurveyOptions(o) ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        ExampleSurveyOptions options;
        const int parsed = parseArguments(argc, argv, options);
        if (parsed == 1) {
            printUsage(stdout);
            return 0;
        }
        if (parsed == 2) {
            printUsage(stderr);
            return 2;
        }
        return generateExampleSurvey(options) ? 0 : 1;
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "Out of memory\n");
        return 1;
    }
}
