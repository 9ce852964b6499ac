// Prints what the example run achieved: per scan the heading error built into the
// example survey, the correction the registration found and what is left over; per
// neighbouring pair the agreement (rmswave) before registration, after it, and with
// the true headings. Reads truth.csv, surveyrot.csv and the RMS tables rms_before.csv,
// rms_after.csv and rms_truth.csv.
//
// Usage: example_report FOLDER

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// The comma-separated fields of every line after the header.
std::vector<std::vector<std::string>> readRows(const std::string& path)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line))
        return rows;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', start)) {
            fields.push_back(line.substr(start, comma - start));
            start = comma + 1;
        }
        fields.push_back(line.substr(start));
        rows.push_back(fields);
    }
    return rows;
}

double number(const std::vector<std::string>& row, std::size_t column)
{
    return column < row.size() ? std::strtod(row[column].c_str(), nullptr) : std::nan("");
}

int integer(const std::vector<std::string>& row, std::size_t column)
{
    return column < row.size() ? static_cast<int>(std::strtol(row[column].c_str(), nullptr, 10)) : 0;
}

using PairKey = std::pair<int, int>;

// rmswave of every pair of an RMS table.
std::map<PairKey, double> rmsWave(const std::string& path)
{
    std::map<PairKey, double> result;
    for (const auto& row : readRows(path))
        result[{integer(row, 0), integer(row, 1)}] = number(row, 6);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const auto truth = readRows(folder + "/truth.csv");
    const auto rotations = readRows(folder + "/surveyrot.csv");
    if (truth.empty() || rotations.empty()) {
        std::fprintf(stderr, "No truth.csv or surveyrot.csv in %s\n", folder.c_str());
        return 1;
    }
    std::map<int, double> found, leftOver;
    for (const auto& row : rotations)
        found[integer(row, 0)] = number(row, 1);

    std::printf("Heading corrections, degrees (the correction that undoes an error is its negative):\n");
    std::printf("  scan   error built in   correction found   left over\n");
    for (const auto& row : truth) {
        const int id = integer(row, 0);
        const double error = number(row, 2);
        const double correction = found.count(id) != 0 ? found[id] : std::nan("");
        leftOver[id] = error + correction;
        std::printf("  %4d   %+14.3f   %+16.3f   %+9.3f\n", id, error, correction, leftOver[id]);
    }

    const auto before = rmsWave(folder + "/rms_before.csv");
    const auto after = rmsWave(folder + "/rms_after.csv");
    const auto reference = rmsWave(folder + "/rms_truth.csv");
    std::printf("\nAgreement of neighbouring scans: rmswave in metres, point to plane, pairs up to 0.5 m apart\n");
    std::printf("  pair    before    after    with true headings   heading difference left over\n");
    for (const auto& [pair, rms] : after) {
        const auto b = before.find(pair), t = reference.find(pair);
        const double difference = leftOver.count(pair.first) != 0 && leftOver.count(pair.second) != 0
            ? leftOver[pair.first] - leftOver[pair.second]
            : std::nan("");
        std::printf("  %2d-%-2d  %8.4f  %7.4f  %19.4f   %+27.3f\n", pair.first, pair.second,
                    b != before.end() ? b->second : std::nan(""), rms, t != reference.end() ? t->second : std::nan(""),
                    difference);
    }
    std::printf("\nThe registration fixes each scan's heading relative to its neighbours; a turn\n"
                "common to all scans changes the fit very little, so the differences between\n"
                "neighbours are the figures to judge it by.\n");
    return 0;
}
