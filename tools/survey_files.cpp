#include "tools/survey_files.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

const char* padding(int32_t id)
{
    if (id < 10) {
        return "00";
    }
    return id < 100 ? "0" : "";
}

double fromE4(int64_t v) { return static_cast<double>(v) / 1e4; }
double fromMicro(int64_t v) { return static_cast<double>(v) / 1e6; }

void writeRunComments(std::FILE* f, const ExampleSurveyPlan& plan, const ExampleSurveyOptions& options,
                      const PairingSettings& pairing)
{
    std::fprintf(f, "# Example sea-cliff survey: seed %" PRIu32 ", %i scans, about %i points per scan\n", options.seed,
                 static_cast<int>(plan.scans.size()), static_cast<int>(options.points));
    if (options.errors.empty()) {
        std::fprintf(f, "# Range noise %.4f m (1 sigma), heading errors up to %.3f degrees (see truth.csv)\n",
                     options.noise, options.maxError);
    } else {
        std::fprintf(f, "# Range noise %.4f m (1 sigma), heading errors as given (see truth.csv)\n", options.noise);
    }
    if (options.zmin) {
        std::fprintf(f, "# ZMIN %.2f as asked\n", plan.zmin);
    } else {
        std::fprintf(f, "# ZMIN %.2f keeps the pairing on the cliff above the beach\n", plan.zmin);
    }
    std::fprintf(f, "# Weakest neighbour pair: about %i point pairs with %.0f m cubes\n",
                 static_cast<int>(pairing.fewestPairs), pairing.cubeSize);
}

// Survey-frame box around the set-ups wide enough for every point of every scan.
void surveyBox(const ExampleSurveyPlan& plan, double* box)
{
    box[0] = box[2] = 1e300;
    box[1] = box[3] = -1e300;
    for (const ScanSetup& s : plan.scans) {
        box[0] = std::min(box[0], s.pose.x);
        box[1] = std::max(box[1], s.pose.x);
        box[2] = std::min(box[2], s.pose.y);
        box[3] = std::max(box[3], s.pose.y);
    }
    const double margin = plan.scanner.maxRange + 10.0;
    for (int32_t k = 0; k < 4; k += 2) {
        box[k] = std::floor((box[k] - margin) / 10.0) * 10.0;
        box[k + 1] = std::ceil((box[k + 1] + margin) / 10.0) * 10.0;
    }
}

}  // namespace

TextFile createTextFile(const std::string& path)
{
    TextFile f;
    std::string reason;
    if (!f.open(path, reason)) {
        std::fprintf(stderr, "Cannot create %s\n", path.c_str());
    }
    return f;
}

bool finishTextFile(TextFile& f, const std::string& path)
{
    std::string reason;
    if (!f.commit(reason)) {
        std::fprintf(stderr, "Cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool announceWritten(bool ok, const std::string& path, bool quiet)
{
    if (ok && !quiet) {
        std::printf("Wrote %s\n", path.c_str());
        std::fflush(stdout);
    }
    return ok;
}

void writeSurveyKeys(std::FILE* o, const SurveyKeys& k)
{
    std::fprintf(o, "GPSMINDIST 0.0\nGPSMAXDIST %.1f\nDATADIR %i\n", k.gpsMaxDist, static_cast<int>(k.dataDir));
    std::fprintf(o, "TRANSX %.1f\nTRANSY %.1f\n", k.transX, k.transY);
    std::fprintf(o, "SCANTRANSFORM 0\nZEROPAD 1\nFILEEXT 0\nAPPLYFILTER 0\n");
    std::fprintf(o, "MINRANGE 0.0\nMAXRANGE %.1f\n", k.maxRange);
    std::fprintf(o, "XMIN %.1f\nXMAX %.1f\nYMIN %.1f\nYMAX %.1f\n", k.box[0], k.box[1], k.box[2], k.box[3]);
    std::fprintf(o, "ZMIN %.2f\nZMAX %.1f\n", k.zmin, k.zmax);
    const double cube = k.pairing.cubeSize;
    std::fprintf(o, "dCX %.1f\ndCY %.1f\ndCZ %.1f\n", cube, cube, cube);
    std::fprintf(o, "NUMPPC %i\nMINNUMPTS %i\n", static_cast<int>(k.pointsPerCube),
                 static_cast<int>(k.pairing.minPairs));
    // %g: the cliff's 0.5 and 0.1 read as they always have.
    std::fprintf(o, "MINDISTINITIAL 0.0\nMINDISTFINAL 0.0\nMAXDISTINITIAL %g\nMAXDISTFINAL %g\n", k.maxDistInitial,
                 k.maxDistFinal);
    std::fprintf(o, "REGMODE 1\nREGSOL %i\nMAXREPEAT 3\nMAXITER 5\n", static_cast<int>(k.regsol));
    std::fprintf(o, "ALPHATHRESH 0.001\nRMSTHRESH 0.01\nALPHA 2.0\nALPHAINC 5\n");
}

std::string extraOptionsText(const ExampleSurveyOptions& options)
{
    std::string text;
    char number[64];
    if (options.spacing) {
        std::snprintf(number, sizeof number, " --spacing %g", *options.spacing);
        text += number;
    }
    for (size_t i = 0; i < options.errors.size(); ++i) {
        std::snprintf(number, sizeof number, "%s%g", i == 0 ? " --errors " : ",", options.errors[i]);
        text += number;
    }
    if (options.formats != std::vector<PointFormat>{PointFormat::Bxyz}) {
        for (size_t i = 0; i < options.formats.size(); ++i) {
            text += i == 0 ? " --formats " : ",";
            text += scanFormatName(options.formats[i]);
        }
    }
    return text;
}

std::string scanFileName(const std::string& base, int32_t id1, int32_t id2, const std::string& name)
{
    char ids[64];
    std::snprintf(ids, sizeof ids, "_%s%i_%s%i_", padding(id1), static_cast<int>(id1), padding(id2),
                  static_cast<int>(id2));
    return base + ids + name + ".bxyz";
}

bool writeSurveyDatabase(const std::string& path, const std::vector<ScanSetup>& scans)
{
    TextFile f = createTextFile(path);
    if (!f.isOpen()) {
        return false;
    }
    std::fprintf(f.file(), "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n");
    for (const ScanSetup& s : scans) {
        std::fprintf(f.file(), "%.4f,%.4f,%.4f,%.6f,%.6f,%.6f,%i,%i,%s\n", fromE4(s.eastingE4), fromE4(s.northingE4),
                     fromE4(s.elevationE4), fromMicro(s.levelXMicro), fromMicro(s.levelYMicro),
                     fromMicro(s.headingMicro + s.errorMicro), static_cast<int>(s.id1), static_cast<int>(s.id2),
                     s.name.c_str());
    }
    return finishTextFile(f, path);
}

bool writeConfiguration(const std::string& path, const ExampleSurveyPlan& plan, const ExampleSurveyOptions& options,
                        const PairingSettings& pairing)
{
    TextFile f = createTextFile(path);
    if (!f.isOpen()) {
        return false;
    }
    SurveyKeys keys;
    keys.gpsMaxDist = plan.gpsMaxDist;
    keys.dataDir = options.eastWest ? 1 : 0;
    keys.transX = plan.transX;
    keys.transY = plan.transY;
    keys.maxRange = plan.scanner.maxRange + 50.0;
    surveyBox(plan, keys.box);
    keys.zmin = plan.zmin;
    keys.zmax = plan.scene.topMax + 50.0;
    keys.pairing = pairing;
    keys.regsol = options.regsol;
    writeRunComments(f.file(), plan, options, pairing);
    writeSurveyKeys(f.file(), keys);
    return finishTextFile(f, path);
}

bool writeTruth(const std::string& path, const std::vector<ScanSetup>& scans, const std::vector<int32_t>& pointCounts)
{
    TextFile f = createTextFile(path);
    if (!f.isOpen()) {
        return false;
    }
    std::fprintf(f.file(),
                 "ID1,NAME,ERROR_DEG,TRUE_HEADING_DEG,DATABASE_HEADING_DEG,"
                 "SCANNER_X,SCANNER_Y,SCANNER_Z,POINTS\n");
    for (size_t i = 0; i < scans.size(); ++i) {
        const ScanSetup& s = scans[i];
        std::fprintf(f.file(), "%i,%s,%.6f,%.6f,%.6f,%.4f,%.4f,%.4f,%i\n", static_cast<int>(s.id1), s.name.c_str(),
                     fromMicro(s.errorMicro), fromMicro(s.headingMicro), fromMicro(s.headingMicro + s.errorMicro),
                     s.pose.x, s.pose.y, s.pose.z, static_cast<int>(i < pointCounts.size() ? pointCounts[i] : 0));
    }
    return finishTextFile(f, path);
}

bool writeReadme(const std::string& path, const ExampleSurveyPlan& plan, const ExampleSurveyOptions& options,
                 const ExampleSurveyResult& result)
{
    TextFile f = createTextFile(path);
    if (!f.isOpen()) {
        return false;
    }
    std::FILE* o = f.file();
    std::fprintf(o,
                 "Synthetic sea-cliff survey (make_example_survey --seed %" PRIu32 " --scans %i --points %i "
                 "--direction %s --noise %g --max-error %g%s)\n\n",
                 options.seed, static_cast<int>(plan.scans.size()), static_cast<int>(options.points),
                 options.eastWest ? "ew" : "ns", options.noise, options.maxError, extraOptionsText(options).c_str());
    writeFileListLines(o, options, plan.transX, plan.transY);
    std::fprintf(o,
                 "Scanner origin = (X - TRANSX, Y - TRANSY, Z + 0.29); survey point =\n"
                 "Rz(A3) Ry(A2) Rx(A1) scanner point + origin, degrees times 3.14159265 / 180.\n");
    std::fprintf(o, "The cliff stands %s of the set-ups, 24 to 40 m away; ZMIN %.2f %s.\n",
                 options.eastWest ? "north" : "east", plan.zmin,
                 options.zmin ? "as asked" : "lies just above the beach");
    std::fprintf(o, "Cube size %.0f m, MINNUMPTS %i, weakest neighbour pair about %i point pairs.\n", result.cubeSize,
                 static_cast<int>(result.minPairs), static_cast<int>(result.fewestPairs));
    return finishTextFile(f, path);
}

std::vector<ScanOutput> scanOutputs(const ExampleSurveyOptions& options, const ScanSetup& setup, int32_t index)
{
    std::vector<ScanOutput> outputs;
    std::vector<PointFormat> exported;
    for (PointFormat format : options.formats) {
        if (format == PointFormat::Bxyz) {
            outputs.push_back(
                {scanFileName(options.outDir + "/" + options.name, setup.id1, setup.id2, setup.name), format});
        } else if (format != PointFormat::E57) {
            exported.push_back(format);
        }
    }
    if (!exported.empty()) {
        const PointFormat format = exported[static_cast<size_t>(index) % exported.size()];
        outputs.push_back({options.outDir + "/" + setup.name + "." + scanFormatName(format), format});
    }
    return outputs;
}

void writeFileListLines(std::FILE* o, const ExampleSurveyOptions& options, double transX, double transY)
{
    std::fprintf(o,
                 "%s.csv  survey database: X,Y,Z of the GPS point, A1,A2 level angles and A3 heading\n"
                 "        estimate (degrees), ID1, ID2, NAME. A3 = true heading + heading error.\n",
                 options.name.c_str());
    writeScanFileLines(o, options);
    std::fprintf(o, "ipcreg.txt  configuration for the batch program (TRANSX %.1f, TRANSY %.1f).\n", transX, transY);
    std::fprintf(o,
                 "truth.csv  per scan the heading error put into the database; the registration\n"
                 "        should find the rotation -ERROR_DEG (counter-clockwise positive).\n\n");
}

void writeScanFileLines(std::FILE* o, const ExampleSurveyOptions& options)
{
    std::string exported;
    for (PointFormat format : options.formats) {
        if (format == PointFormat::E57) {
            std::fprintf(o,
                         "%s.e57  the whole survey as one E57 file, as a scanner's software exports it: one\n"
                         "        scan per set-up in the scanner's frame (0.1 mm scaled integers), each with the\n"
                         "        pose its database record gives. \"tavrin_import %s.e57 --database NEW.csv\n"
                         "        --all-scans --write-database\" rebuilds the database and the point files.\n",
                         options.name.c_str(), options.name.c_str());
        } else if (format == PointFormat::Bxyz) {
            std::fprintf(o,
                         "%s_<ID1>_<ID2>_<NAME>.bxyz  one binary point file per scan: 32-byte little-endian\n"
                         "        records x, y, z (doubles, metres, scanner frame) and 8 zero bytes.\n",
                         options.name.c_str());
        } else {
            exported += std::string(exported.empty() ? "" : " or ") + "<NAME>." + scanFormatName(format);
        }
    }
    if (!exported.empty()) {
        std::fprintf(o,
                     "%s  each scan as a scanner's software exports it, the formats in turn\n"
                     "        from the first scan (PLY: binary little-endian doubles; LAS 1.4 point format 6,\n"
                     "        0.1 mm steps), scanner frame. \"tavrin_import --database %s.csv --record N FILE\"\n"
                     "        converts the file of record N into the .bxyz the batch program reads.\n",
                     exported.c_str(), options.name.c_str());
    }
}

E57ScanPose databasePose(const ScanSetup& s)
{
    E57ScanPose pose;
    pose.name = s.name;
    scanRotation(fromMicro(s.levelXMicro) * BATCH_DEG_TO_RAD, fromMicro(s.levelYMicro) * BATCH_DEG_TO_RAD,
                 fromMicro(s.headingMicro + s.errorMicro) * BATCH_DEG_TO_RAD, pose.rotation);
    pose.translation[0] = fromE4(s.eastingE4);
    pose.translation[1] = fromE4(s.northingE4);
    pose.translation[2] = fromE4(s.elevationE4) + SCANNER_ABOVE_GPS;
    return pose;
}

bool SurveyE57File::open(const ExampleSurveyOptions& options)
{
    wanted_ = std::find(options.formats.begin(), options.formats.end(), PointFormat::E57) != options.formats.end();
    path_ = options.outDir + "/" + options.name + ".e57";
    scans_ = 0;
    return !wanted_ || writer_.open(path_);
}

bool SurveyE57File::beginScan(const ScanSetup& setup)
{
    E57ScanLayout layout;
    layout.scale = LAS_SCALE;
    ++scans_;
    return writer_.beginScan(databasePose(setup), layout);
}

bool SurveyE57File::finish(ExampleSurveyResult& result, bool quiet)
{
    if (!wanted_) {
        return true;
    }
    if (!writer_.finish()) {
        return false;
    }
    result.scanPaths.push_back(path_);
    if (!quiet) {
        std::error_code ec;
        const std::uintmax_t bytes = std::filesystem::file_size(path_, ec);
        std::printf("Wrote %s (%i scans, %" PRIu64 " bytes)\n", path_.c_str(), static_cast<int>(scans_),
                    static_cast<uint64_t>(ec ? 0 : bytes));
        std::fflush(stdout);
    }
    return true;
}

bool ScanFiles::open(const std::vector<ScanOutput>& outputs, SurveyE57File* survey, const ScanSetup* setup)
{
    survey_ = survey != nullptr && survey->wanted() && setup != nullptr ? survey : nullptr;
    if (survey_ != nullptr && !survey_->beginScan(*setup)) {
        return false;
    }
    outputs_ = outputs;
    writers_.clear();
    writers_.resize(outputs.size());
    for (size_t k = 0; k < outputs.size(); ++k) {
        if (!writers_[k].open(outputs[k].path, outputs[k].format)) {
            return false;
        }
    }
    return true;
}

bool ScanFiles::append(const std::vector<ScanPoint>& points)
{
    for (ScanFileWriter& writer : writers_) {
        if (!writer.append(points)) {
            return false;
        }
    }
    return survey_ == nullptr || survey_->append(points);
}

bool ScanFiles::finish()
{
    bool ok = true;
    for (ScanFileWriter& writer : writers_) {
        ok = writer.finish() && ok;  // every file closed, each failure reported
    }
    return (survey_ == nullptr || survey_->endScan()) && ok;
}

void ScanFiles::announce(int32_t points, bool quiet) const
{
    if (quiet) {
        return;
    }
    for (size_t k = 0; k < outputs_.size(); ++k) {
        std::printf("Wrote %s (%i points, %" PRId64 " bytes)\n", outputs_[k].path.c_str(), static_cast<int>(points),
                    writers_[k].bytesWritten());
    }
    std::fflush(stdout);
}
