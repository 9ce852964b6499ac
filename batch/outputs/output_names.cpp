#include "batch/outputs/output_names.h"

#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <filesystem>

namespace {

// Two names of the same file: the same existing file, or the same path once made absolute.
bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error))
        return true;
    const std::filesystem::path pa = std::filesystem::weakly_canonical(a, error);
    if (error)
        return a == b;
    const std::filesystem::path pb = std::filesystem::weakly_canonical(b, error);
    return error ? a == b : pa == pb;
}

}  // namespace

std::vector<std::string> runOutputs(const RunFiles& w, const RegSettings& s, const std::vector<ScanRecord>& scans)
{
    std::vector<std::string> outputs{s.logFileName};
    if (w.registers)
        outputs.insert(outputs.end(), {s.regFileName, s.pairsFileName});
    if (w.rotates)
        outputs.insert(outputs.end(), {s.rotFileName, s.adjustFileName});
    if (w.evaluates)
        outputs.push_back(s.rmsFileName);
    if (w.drawsPlan)
        outputs.push_back(s.planFileName);
    if (w.comparesTwoFiles)
        outputs.insert(outputs.end(), {"RMSdistances.txt", "PointsScan1.txt", "PointsScan2.txt"});
    for (const ScanRecord& scan : scans) {
        if (w.rotates)
            outputs.push_back(rotatedFileName(scan.fileName));
        if (w.writesMatrices)
            outputs.push_back(matrixFileName(scan.fileName));
        if (w.exports)
            outputs.push_back(exportFileName(scan.fileName));
    }
    return outputs;
}

namespace {

std::vector<std::string> inputsOf(const RunFiles& w, const RegSettings& s, const std::vector<ScanRecord>& scans,
                                  const std::string& file1, const std::string& file2)
{
    std::vector<std::string> inputs{s.configPath};
    if (w.comparesTwoFiles) {
        inputs.push_back(file1);
        inputs.push_back(file2);
        return inputs;
    }
    inputs.push_back(s.gpsFileName);
    for (const ScanRecord& scan : scans)
        inputs.push_back(scan.fileName);
    // A rotation reads the registration table; Run ALL writes that table itself first.
    if (w.rotates && !w.registers)
        inputs.push_back(s.regFileName);
    return inputs;
}

}  // namespace

std::string rotatedFileName(const std::string& fileName)
{
    const std::size_t keep = fileName.size() >= 4 ? fileName.size() - 4 : 0;
    return fileName.substr(0, keep) + "_rot.txt";
}

std::string matrixFileName(const std::string& fileName)
{
    return fileName.size() < 5 ? std::string() : fileName.substr(0, fileName.size() - 5) + "s.dat";
}

std::string exportFileName(const std::string& fileName)
{
    return fileName.size() < 4 ? std::string() : fileName.substr(0, fileName.size() - 4) + "_adj.txt";
}

std::optional<std::pair<std::string, std::string>> findOverwrittenInput(const RunFiles& work,
                                                                        const RegSettings& settings,
                                                                        const std::vector<ScanRecord>& scans,
                                                                        const std::string& file1,
                                                                        const std::string& file2)
{
    const std::vector<std::string> inputs = inputsOf(work, settings, scans, file1, file2);
    for (const std::string& output : runOutputs(work, settings, scans))
        for (const std::string& input : inputs)
            if (!output.empty() && !input.empty() && sameFile(output, input))
                return std::make_pair(output, input);
    return std::nullopt;
}
