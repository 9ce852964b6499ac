#include "tests/recovery/recovery_fixture.h"

#include "batch/constants.h"
#include "batch/engine/pair_preparation.h"
#include "tools/survey_generator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

bool loadGeneratedSurvey(GeneratedSurvey& survey, int32_t points, bool eastWest, uint32_t seed)
{
    const char* shared = std::getenv("RECOVERY_SURVEYS");
    if (shared != nullptr && *shared != '\0') {
        survey.folder = std::string(shared) + (eastWest ? "/ew" : "/ns");
    } else {
        ExampleSurveyOptions options;
        options.outDir = survey.scratch.path();
        options.scans = 4;
        options.points = points;
        options.eastWest = eastWest;
        options.seed = seed;
        options.quiet = true;
        if (!generateExampleSurvey(options))
            return false;
        survey.folder = survey.scratch.path();
    }
    const std::string database = survey.folder + "/survey.csv";
    testing::internal::CaptureStdout();
    readConfigurationFile(survey.folder + "/ipcreg.txt", survey.settings);
    testing::internal::GetCapturedStdout();
    deriveOutputNames(database, survey.settings);
    convertAnglesToRadians(survey.settings);
    const std::optional<SurveyDatabase> db = readSurveyDatabase(database);
    if (!db)
        return false;
    for (const SurveyRecordText& record : db->records)
        survey.scans.push_back(makeScanRecord(record, survey.settings));
    findNeighbours(survey.scans, survey.settings);

    std::ifstream truth(survey.folder + "/truth.csv");
    std::string line;
    std::getline(truth, line);
    while (std::getline(truth, line)) {
        const std::size_t first = line.find(','), second = line.find(',', first + 1);
        survey.errorDeg[std::atoi(line.c_str())] = std::atof(line.c_str() + second + 1);
    }
    return survey.errorDeg.size() == survey.scans.size();
}

bool preparePair(const GeneratedSurvey& survey, std::vector<ScanRecord>& scans, int32_t i, PairContext& pair)
{
    const int32_t j = scans[static_cast<std::size_t>(i)].nbrMinus;
    if (j < 0)
        return false;
    pair.scan1Index = i;
    pair.scan2Index = j;
    pair.scan1Path = scans[static_cast<std::size_t>(i)].fileName;
    pair.scan2Path = scans[static_cast<std::size_t>(j)].fileName;
    PrepareSteps registering;
    registering.measureInitialRms = true;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const PrepareResult prepared = prepareRegistration(survey.settings, scans, pair, registering);
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    return prepared == PrepareResult::Ready;
}

std::vector<ScanRecord> withTrueHeadings(const GeneratedSurvey& survey)
{
    std::vector<ScanRecord> scans = survey.scans;
    for (ScanRecord& scan : scans)
        scan.rotZ -= survey.errorDeg.at(scan.scanId) * DEG_TO_RAD;
    return scans;
}
