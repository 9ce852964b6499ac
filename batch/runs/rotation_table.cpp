#include "batch/runs/rotation_table.h"

#include "batch/int32_range.h"
#include "batch/outputs/text_lines.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool holdsData(const std::string& line)
{
    for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c)))
            return true;
    return false;
}

// Reads a registration row as "%i%c%lf%c%i%c%lf%c%lf%c%i": each value followed by one
// separator character; the iterations at its end are not needed.
void parseRow(const std::string& line, RegistrationRow& row)
{
    RotationEntry& first = row.first;
    RotationEntry& second = row.second;
    const char* p = line.c_str();
    char* end = nullptr;
    auto integer = [&](int32_t& value) {
        const long long v = std::strtoll(p, &end, 10);
        if (end == p)
            return false;
        value = clampToInt32(v);
        p = *end != '\0' ? end + 1 : end;
        return true;
    };
    auto real = [&](double& value) {
        const double v = std::strtod(p, &end);
        // "nan" or "inf" is no rotation: the row reads as one that cannot be parsed.
        if (end == p || !std::isfinite(v))
            return false;
        value = v;
        p = *end != '\0' ? end + 1 : end;
        return true;
    };
    integer(first.scanId) && real(first.rotation) && integer(second.scanId) && real(second.rotation) && real(row.rms)
        && integer(row.pairs);
    first.found = second.found = !(first.rotation == 0.0 && second.rotation == 0.0);
}

}  // namespace

int32_t countRotationEntries(const std::string& path)
{
    TextLineReader in(path);
    if (!in.isOpen()) {
        std::printf("Unable to open data file at %s \n", path.c_str());
        return 0;
    }
    std::string line;
    in.next(line);  // the header
    int32_t entries = 0;
    while (in.next(line))
        if (holdsData(line) && entries < INT32_MAX - 1)
            entries += 2;
    return entries;
}

std::vector<RegistrationRow> loadRegistrationRows(const std::string& path, int32_t count)
{
    std::vector<RegistrationRow> rows;
    if (count <= 0) {
        std::printf("NO POINTS in file!!!!!  \n");
        return rows;
    }
    TextLineReader in(path);
    if (!in.isOpen()) {
        std::printf("Unable to open data file at %s \n", path.c_str());
        return rows;
    }
    std::printf("Loading data from file %s \n", path.c_str());
    std::string line;
    in.next(line);  // the header
    for (int32_t k = 0; k < count / 2; ++k) {
        RegistrationRow row;
        while (in.next(line)) {
            if (holdsData(line)) {
                parseRow(line, row);
                break;
            }
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<RotationEntry> loadRotationTable(const std::string& path, int32_t count)
{
    std::vector<RotationEntry> entries;
    for (const RegistrationRow& row : loadRegistrationRows(path, count)) {
        entries.push_back(row.first);
        entries.push_back(row.second);
    }
    return entries;
}

double meanRotation(const std::vector<RotationEntry>& entries, int32_t scanId, int32_t& valueCount, double& spread)
{
    valueCount = 0;
    spread = 0.0;
    double largest = -999.0, smallest = 999.0, sum = 0.0;
    int32_t k = 0;
    for (const RotationEntry& e : entries) {
        if (e.scanId != scanId || !e.found)
            continue;
        if (e.rotation > largest)
            largest = e.rotation;
        if (e.rotation < smallest)
            smallest = e.rotation;
        sum += e.rotation;
        ++k;
    }
    if (k == 0)
        return 0.0;
    valueCount = k;
    spread = largest - smallest;
    return sum / k;
}
