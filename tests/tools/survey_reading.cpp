#include "tests/tools/survey_reading.h"

#include "tools/survey_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

constexpr double DEG_TO_RAD = 3.14159265 / 180.0;

int64_t cellKey(int64_t ix, int64_t iy, int64_t iz)
{
    return ((ix + 100000) * 200000 + (iy + 100000)) * 200000 + (iz + 100000);
}

int64_t cellOf(const Point3& p, int64_t dx, int64_t dy, int64_t dz)
{
    return cellKey(static_cast<int64_t>(std::floor(p[0])) + dx, static_cast<int64_t>(std::floor(p[1])) + dy,
                   static_cast<int64_t>(std::floor(p[2])) + dz);
}

// Distance from p to the plane through the three nearest reference points found in
// the 27 cells around p; negative when fewer than three lie there.
double planeDistance(const Point3& p, const std::vector<Point3>& ref,
                     const std::vector<std::pair<int64_t, int32_t>>& sorted)
{
    double best[3] = {1e300, 1e300, 1e300};
    int32_t idx[3] = {-1, -1, -1};
    for (int64_t dx = -1; dx <= 1; ++dx) {
        for (int64_t dy = -1; dy <= 1; ++dy) {
            for (int64_t dz = -1; dz <= 1; ++dz) {
                const int64_t key = cellOf(p, dx, dy, dz);
                auto it = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(key, INT32_MIN));
                for (; it != sorted.end() && it->first == key; ++it) {
                    const Point3& r = ref[it->second];
                    const double d =
                        (r[0] - p[0]) * (r[0] - p[0]) + (r[1] - p[1]) * (r[1] - p[1]) + (r[2] - p[2]) * (r[2] - p[2]);
                    for (int32_t k = 0; k < 3; ++k) {
                        if (d < best[k]) {
                            for (int32_t m = 2; m > k; --m) {
                                best[m] = best[m - 1];
                                idx[m] = idx[m - 1];
                            }
                            best[k] = d;
                            idx[k] = it->second;
                            break;
                        }
                    }
                }
            }
        }
    }
    if (idx[2] < 0) {
        return -1.0;
    }
    const Point3& a = ref[idx[0]];
    const Point3& b = ref[idx[1]];
    const Point3& c = ref[idx[2]];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len == 0.0) {
        return -1.0;
    }
    return std::fabs(n[0] * (p[0] - a[0]) + n[1] * (p[1] - a[1]) + n[2] * (p[2] - a[2])) / len;
}

}  // namespace

std::vector<std::string> readLines(const std::string& path)
{
    const std::string text = readFile(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> splitCommas(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) {
        fields.push_back(field);
    }
    return fields;
}

std::vector<DatabaseRecord> readDatabase(const std::string& path)
{
    std::vector<DatabaseRecord> records;
    const std::vector<std::string> lines = readLines(path);
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = splitCommas(lines[i]);
        if (f.size() != 9) {
            continue;
        }
        DatabaseRecord r;
        r.x = std::strtod(f[0].c_str(), nullptr);
        r.y = std::strtod(f[1].c_str(), nullptr);
        r.z = std::strtod(f[2].c_str(), nullptr);
        r.a1 = std::strtod(f[3].c_str(), nullptr);
        r.a2 = std::strtod(f[4].c_str(), nullptr);
        r.a3 = std::strtod(f[5].c_str(), nullptr);
        r.id1 = static_cast<int32_t>(std::strtol(f[6].c_str(), nullptr, 10));
        r.id2 = static_cast<int32_t>(std::strtol(f[7].c_str(), nullptr, 10));
        r.name = f[8];
        records.push_back(r);
    }
    return records;
}

std::vector<double> readHeadingErrors(const std::string& path)
{
    std::vector<double> errors;
    const std::vector<std::string> lines = readLines(path);
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = splitCommas(lines[i]);
        if (f.size() >= 3) {
            errors.push_back(std::strtod(f[2].c_str(), nullptr));
        }
    }
    return errors;
}

std::vector<Point3> readPointFile(const std::string& path)
{
    const std::string bytes = readFile(path);
    std::vector<Point3> points(bytes.size() / 32);
    for (size_t i = 0; i < points.size(); ++i) {
        for (size_t k = 0; k < 3; ++k) {
            uint64_t bits = 0;
            for (size_t b = 0; b < 8; ++b) {
                bits |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[i * 32 + k * 8 + b])) << (8 * b);
            }
            std::memcpy(&points[i][k], &bits, 8);
        }
    }
    return points;
}

std::vector<Point3> toSurveyFrame(const std::vector<Point3>& scan, const DatabaseRecord& r, double a3Degrees,
                                  double transX, double transY)
{
    const double al = r.a1 * DEG_TO_RAD;
    const double be = r.a2 * DEG_TO_RAD;
    const double ga = a3Degrees * DEG_TO_RAD;
    const double ca = std::cos(al), sa = std::sin(al), cb = std::cos(be), sb = std::sin(be);
    const double cg = std::cos(ga), sg = std::sin(ga);
    const double m[9] = {cg * cb,
                         sb * sa * cg - sg * ca,
                         sb * ca * cg + sg * sa,
                         sg * cb,
                         sb * sa * sg + cg * ca,
                         sb * ca * sg - sa * cg,
                         -sb,
                         sa * cb,
                         cb * ca};
    const double t[3] = {r.x - transX, r.y - transY, r.z + 0.29};
    std::vector<Point3> out(scan.size());
    for (size_t i = 0; i < scan.size(); ++i) {
        const Point3& p = scan[i];
        for (int32_t k = 0; k < 3; ++k) {
            out[i][k] = m[3 * k] * p[0] + m[3 * k + 1] * p[1] + m[3 * k + 2] * p[2] + t[k];
        }
    }
    return out;
}

double pointToPlaneRms(const std::vector<Point3>& query, const std::vector<Point3>& reference, double zmin,
                       double maxDist, int32_t& pairs)
{
    std::vector<std::pair<int64_t, int32_t>> sorted(reference.size());
    for (size_t i = 0; i < reference.size(); ++i) {
        sorted[i] = {cellOf(reference[i], 0, 0, 0), static_cast<int32_t>(i)};
    }
    std::sort(sorted.begin(), sorted.end());
    double sum = 0.0;
    pairs = 0;
    for (const Point3& p : query) {
        if (p[2] <= zmin) {
            continue;
        }
        const double d = planeDistance(p, reference, sorted);
        if (d >= 0.0 && d <= maxDist) {
            sum += d * d;
            ++pairs;
        }
    }
    return pairs > 0 ? std::sqrt(sum / pairs) : 999.0;
}

int32_t sameSeedSameBytes(ExampleSurveyOptions options)
{
    TempDir a, b, c;
    for (const std::string& dir : {a.path(), b.path(), c.path()}) {
        options.outDir = dir;
        options.seed = dir == c.path() ? 2 : options.seed;
        if (!generateExampleSurvey(options)) {
            ADD_FAILURE() << "the survey could not be generated into " << dir;
            return -1;
        }
    }
    int32_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(a.path())) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        EXPECT_EQ(readFile(a.path() + "/" + name), readFile(b.path() + "/" + name));
        if (name != "README.txt") {
            EXPECT_NE(readFile(a.path() + "/" + name), readFile(c.path() + "/" + name));
        }
        ++files;
    }
    return files;
}
