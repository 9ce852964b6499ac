#pragma once

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/synthetic_scans.h"

#include "batch/engine/transform.h"

#include <cstdio>
#include <string>
#include <vector>

/// The comma-separated fields of a table row, its line end and trailing blank left off.
inline std::vector<std::string> fields(std::string row)
{
    while (!row.empty() && (row.back() == '\n' || row.back() == ' '))
        row.pop_back();
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t comma = row.find(','); comma != std::string::npos; comma = row.find(',', start)) {
        result.push_back(row.substr(start, comma - start));
        start = comma + 1;
    }
    result.push_back(row.substr(start));
    return result;
}

inline constexpr double DEG = 3.14159265 / 180.0;

// A small survey of a rough wall at x = 10, seen from scanners on the line x = 0.
// The files hold survey-frame points (SCANTRANSFORM 1); each scan is turned by its
// heading error about its scanner.
struct SyntheticScan {
    double x = 0.0, y = 0.0;    ///< metres, scanner position
    double errorDegrees = 0.0;  ///< heading error built into the file
    int32_t id = 0;
    double wallShift = 0.0;  ///< metres the scan's wall is moved along x, away from its neighbours' wall
};

class SurveyRun : public BatchTest {
protected:
    void writeSurvey(const std::vector<SyntheticScan>& scans, const std::string& extraConfig = "")
    {
        std::string db = "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n";
        uint32_t seed = 1;
        for (const SyntheticScan& s : scans) {
            char line[160];
            std::snprintf(line, sizeof line, "%.3f,%.3f,-0.29,0,0,0,%i,1,S%i\n", s.x, s.y, s.id, s.id);
            db += line;
            std::vector<CubePoint> points = roughWall(s.y - 6.0, 12.0, 4.0, wallStep_, seed++);
            for (CubePoint& p : points)
                p.x += s.wallShift;
            if (s.errorDegrees != 0.0)
                rotateAboutVertical(points, s.errorDegrees * DEG, s.x, s.y);
            char name[64];
            std::snprintf(name, sizeof name, "survey_%03d_001_S%d.bxyz", s.id, s.id);
            writeBinaryScan(path(name), points);
        }
        write("survey.csv", db);
        write("ipcreg.txt",
              "SCANTRANSFORM 1\nNUMPPC 5\nMINNUMPTS 50\nREGSOL 2\nMAXITER 50\nMAXREPEAT 10\n"
              "RMSTHRESH 0.001\nALPHATHRESH 0.0001\nGPSMAXDIST 7\n"
                  + extraConfig);
    }

    std::vector<std::string> lines(const std::string& file) const
    {
        std::vector<std::string> result;
        const std::string text = read(file);
        std::size_t start = 0;
        for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
            result.push_back(text.substr(start, end - start + 1));
            start = end + 1;
        }
        return result;
    }

    double wallStep_ = 0.08;  ///< metres between neighbouring wall points
};
