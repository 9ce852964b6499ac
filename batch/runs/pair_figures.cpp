#include "batch/runs/pair_figures.h"

#include "batch/int32_range.h"
#include "batch/outputs/text_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int32_t NUMBER_FIELDS = 12;  // before the verdict

// The row's comma-separated numbers up to the verdict, then the verdict; false when a
// field does not read whole or a figure is not a finite number.
bool parseFigures(const std::string& line, PairFiguresRow& row)
{
    double values[NUMBER_FIELDS];
    const char* p = line.c_str();
    for (double& v : values) {
        char* end = nullptr;
        v = std::strtod(p, &end);
        if (end == p || *end != ',')
            return false;
        p = end + 1;
    }
    if (!(std::fabs(values[0]) < 2147483648.0 && std::fabs(values[1]) < 2147483648.0))
        return false;
    row.scan1 = clampToInt32(static_cast<long long>(values[0]));
    row.scan2 = clampToInt32(static_cast<long long>(values[1]));
    row.relative = values[2];
    row.relativeSigma = values[3];
    row.common = values[4];
    row.commonSigma = values[5];
    row.correlation = values[6];
    row.noiseFloor = values[8];
    row.trusted = std::string(p).rfind("trusted,", 0) == 0;
    for (int32_t k = 2; k < 7; ++k)
        if (!std::isfinite(values[k]))
            row.trusted = false;
    return true;
}

}  // namespace

std::vector<PairFiguresRow> loadPairFigures(const std::string& path)
{
    std::vector<PairFiguresRow> rows;
    TextLineReader in(path);
    std::string line;
    if (!in.next(line))  // the header
        return rows;
    while (in.next(line)) {
        PairFiguresRow row;
        if (parseFigures(line, row))
            rows.push_back(row);
    }
    return rows;
}

double medianNoiseFloor(const std::vector<PairFiguresRow>& rows)
{
    std::vector<double> floors;
    for (const PairFiguresRow& r : rows)
        if (r.trusted && r.noiseFloor > 0.0 && std::isfinite(r.noiseFloor))
            floors.push_back(r.noiseFloor);
    if (floors.empty())
        return 0.0;
    std::sort(floors.begin(), floors.end());
    return floors[floors.size() / 2];
}
