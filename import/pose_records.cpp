#include "import/pose_records.h"

#include "batch/constants.h"

#include <cctype>
#include <cmath>
#include <set>

namespace {

constexpr std::size_t MAX_NAME = 40;
constexpr double KILOMETRE = 1000.0;

bool fitsAFileName(unsigned char c) { return std::isalnum(c) != 0 || c == '.' || c == '-' || c == '+' || c == '_'; }

}  // namespace

PoseRecord recordOfPose(const double r[3][3], const double t[3])
{
    PoseRecord p;
    p.x = t[0];
    p.y = t[1];
    p.z = t[2] - Z_CORRECTION;
    const double sinA2 = std::fmax(-1.0, std::fmin(1.0, -r[2][0]));
    const double a2 = std::asin(sinA2);
    double a1 = 0.0;
    double a3 = 0.0;
    // Looking straight up or down the heading and the level turn about x are one turn;
    // it is put in the heading.
    if (std::fabs(sinA2) < 1.0 - 1e-12) {
        a1 = std::atan2(r[2][1], r[2][2]);
        a3 = std::atan2(r[1][0], r[0][0]);
    } else {
        a3 = std::atan2(-r[0][1], r[1][1]);
    }
    // + 0.0 turns a negative zero into the "0.000000" a surveyor expects.
    p.a1 = a1 * RAD_TO_DEG + 0.0;
    p.a2 = a2 * RAD_TO_DEG + 0.0;
    p.a3 = a3 * RAD_TO_DEG + 0.0;
    if (p.a3 < 0.0) {
        p.a3 += 360.0;
    }
    return p;
}

std::string safeScanName(const std::string& name, int32_t scan)
{
    std::string safe;
    for (char c : name) {
        if (fitsAFileName(static_cast<unsigned char>(c))) {
            safe += c;
        } else if (!safe.empty() && safe.back() != '_') {
            safe += '_';
        }
    }
    // Cut first, so that a cut just after a '_' leaves none at the end either.
    if (safe.size() > MAX_NAME) {
        safe.resize(MAX_NAME);
    }
    while (!safe.empty() && safe.back() == '_') {
        safe.pop_back();
    }
    return safe.empty() ? "Scan" + std::to_string(scan) : safe;
}

void makeNamesUnique(std::vector<std::string>& names)
{
    std::set<std::string> taken(names.begin(), names.end());
    std::set<std::string> seen;
    for (std::string& name : names) {
        if (seen.insert(name).second) {
            continue;
        }
        for (int32_t k = 2;; ++k) {
            const std::string candidate = name + "_" + std::to_string(k);
            if (taken.count(candidate) == 0) {
                name = candidate;
                taken.insert(candidate);
                seen.insert(candidate);
                break;
            }
        }
    }
}

void adviseTranslation(const std::vector<PoseRecord>& records, double& transX, double& transY)
{
    double sx = 0.0;
    double sy = 0.0;
    for (const PoseRecord& r : records) {
        sx += r.x;
        sy += r.y;
    }
    const double n = records.empty() ? 1.0 : static_cast<double>(records.size());
    transX = std::round(sx / n / KILOMETRE) * KILOMETRE + 0.0;  // + 0.0: never "-0"
    transY = std::round(sy / n / KILOMETRE) * KILOMETRE + 0.0;
}

void putPoseRecords(std::FILE* to, const std::vector<PoseRecord>& records)
{
    std::fprintf(to, "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n");
    for (const PoseRecord& r : records) {
        std::fprintf(to, "%.4f,%.4f,%.4f,%.6f,%.6f,%.6f,%i,%i,%s\n", r.x, r.y, r.z, r.a1, r.a2, r.a3,
                     static_cast<int>(r.id1), static_cast<int>(r.id2), r.name.c_str());
    }
}
