#include "import/import_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool parseInt32(const char* text, int32_t low, int32_t high, int32_t& out)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < low || v > high) {
        return false;
    }
    out = static_cast<int32_t>(v);
    return true;
}

bool endsWith(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return text.size() > n && text.compare(text.size() - n, n, suffix) == 0;
}

// Applies an option that takes a value; false when the value is malformed.
bool applyValue(const std::string& key, const char* value, ImportOptions& o, std::string& error)
{
    bool ok = true;
    if (key == "--out") {
        o.output = value;
    } else if (key == "--database") {
        o.database = value;
    } else if (key == "--record") {
        ok = parseInt32(value, 1, INT32_MAX, o.selection.record);
    } else if (key == "--scan-id") {
        ok = parseInt32(value, INT32_MIN, INT32_MAX, o.selection.id1);
    } else if (key == "--zeropad") {
        ok = parseInt32(value, 0, 1, o.selection.zeroPad);
    } else if (key == "--ptx-scan") {
        ok = parseInt32(value, 1, INT32_MAX, o.ptx.scan);
        o.ptxScanGiven = true;
    } else if (key == "--e57-scan") {
        ok = parseInt32(value, 1, INT32_MAX, o.e57.scan);
        o.e57ScanGiven = true;
    }
    if (!ok) {
        error = "bad value \"" + std::string(value) + "\" for " + key;
    }
    return ok;
}

// The options of the whole-survey conversion, when --all-scans is given or one of its
// companions is; "" when they go together.
std::string surveyProblem(const ImportOptions& o, bool recordGiven, bool idGiven)
{
    if (!o.allScans) {
        return o.matchNames || o.writeDatabase ? "--match-names and --write-database go with --all-scans" : "";
    }
    if (o.database.empty() || !o.output.empty()) {
        return "--all-scans needs --database SURVEY.csv (each scan goes to the point file of its record), "
               "not --out";
    }
    if (recordGiven || idGiven) {
        return "--all-scans converts every scan to its record; leave out --record and --scan-id";
    }
    if (o.ptxScanGiven || o.e57ScanGiven) {
        return "--all-scans reads every scan; leave out --ptx-scan and --e57-scan";
    }
    if (o.matchNames && o.writeDatabase) {
        return "--match-names finds the records of an existing database, --write-database writes a new one; "
               "give one of them";
    }
    if (o.writeDatabase && o.ptx.applyPose) {
        return "the database written with --write-database places each scan with its pose, so the points must "
               "stay in the scanner's frame; leave out --apply-pose";
    }
    return "";
}

bool checkCombination(const ImportOptions& o, bool recordGiven, bool idGiven, std::string& error)
{
    error = surveyProblem(o, recordGiven, idGiven);
    if (!error.empty()) {
        return false;
    }
    if (o.input.empty()) {
        error = "no input file given";
    } else if (o.output.empty() == o.database.empty()) {
        error = "give either --out FILE.bxyz or --database SURVEY.csv";
    } else if (!o.output.empty() && !endsWith(o.output, ".bxyz")) {
        error = "the output name must end in .bxyz";
    } else if (!o.database.empty() && !o.allScans && recordGiven == idGiven) {
        error = "with --database give either --record N or --scan-id ID1, or --all-scans";
    } else if (o.database.empty() && (recordGiven || idGiven || o.selection.zeroPad >= 0)) {
        error = "--record, --scan-id and --zeropad go with --database";
    } else {
        return true;
    }
    return false;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv, ImportOptions& options, std::string& error)
{
    ImportOptions o;
    bool recordGiven = false;
    bool idGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return CommandLine::Help;
        }
        if (arg == "--apply-pose") {
            o.ptx.applyPose = o.e57.applyPose = true;
        } else if (arg == "--all-scans") {
            o.allScans = true;
        } else if (arg == "--match-names") {
            o.matchNames = true;
        } else if (arg == "--write-database") {
            o.writeDatabase = true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--out" || arg == "--database" || arg == "--record" || arg == "--scan-id"
                   || arg == "--zeropad" || arg == "--ptx-scan" || arg == "--e57-scan") {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return CommandLine::Bad;
            }
            if (!applyValue(arg, argv[++i], o, error)) {
                return CommandLine::Bad;
            }
            recordGiven = recordGiven || arg == "--record";
            idGiven = idGiven || arg == "--scan-id";
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return CommandLine::Bad;
        } else if (o.input.empty()) {
            o.input = arg;
        } else {
            error = "more than one input file given (" + o.input + ", " + arg + ")";
            return CommandLine::Bad;
        }
    }
    if (!checkCombination(o, recordGiven, idGiven, error)) {
        return CommandLine::Bad;
    }
    options = o;
    return CommandLine::Run;
}

void printUsage(std::FILE* to)
{
    std::fprintf(to,
                 "Usage: tavrin_import INPUT --out FILE.bxyz [options]\n"
                 "       tavrin_import INPUT --database SURVEY.csv (--record N | --scan-id ID1) [options]\n"
                 "       tavrin_import INPUT --database SURVEY.csv --all-scans [--write-database | --match-names]\n"
                 "Converts scans to the batch program's binary point file (.bxyz: per point x, y, z as\n"
                 "little-endian doubles and 8 zero bytes). Reads LAS 1.0-1.4 (uncompressed, point formats\n"
                 "0-10), PLY (ascii and binary), PTX, E57 and XYZ/PTS point text; the format is told from\n"
                 "the content. LAZ is refused: decompress it to LAS first (laszip -i in.laz -o out.las).\n"
                 "  --out FILE.bxyz    the file to write\n"
                 "  --database FILE    the survey database (.csv or .txt): the output gets the name the\n"
                 "                     batch program expects, <database without extension>_<ID1>_<ID2>_<NAME>.bxyz\n"
                 "  --record N         the scan is record N of the database (1: the first after the header)\n"
                 "  --scan-id ID1      the scan is the database record with this ID1 (it must be unique)\n"
                 "  --zeropad 0|1      pad the ids in the name to three digits (1) or not (0); default:\n"
                 "                     ZEROPAD of ipcreg.txt beside the database, else 1\n"
                 "  --ptx-scan K       read scan K of a PTX file that holds several (default 1, the first)\n"
                 "  --e57-scan K       read scan K of an E57 file that holds several (default 1, the first)\n"
                 "                     (the summary says how many scans the file holds, and their names)\n"
                 "  --apply-pose       PTX, E57: move the points with the scan's pose into the file's common\n"
                 "                     frame; without it they stay in the scanner's own frame. Either way\n"
                 "                     the pose is written beside the output as <output without .bxyz>.pose.txt\n"
                 "  --all-scans        E57, PTX: convert every scan of the file, scan K to the point file of\n"
                 "                     record K of the database (with its pose file beside it)\n"
                 "  --match-names      with --all-scans: the record of a scan is the one whose NAME is the\n"
                 "                     scan's name (or that name made fit for a file name); scans no record\n"
                 "                     names are left out\n"
                 "  --write-database   with --all-scans, when the database does not exist yet: write it from\n"
                 "                     the scans' poses (X, Y, Z of the scanner less 0.29 m, A1, A2, A3 with\n"
                 "                     R = Rz(A3) Ry(A2) Rx(A1), ID1 1..n, ID2 1, NAME from the scan's name);\n"
                 "                     an existing database is never replaced. Run the batch program on it\n"
                 "                     with SCANTRANSFORM 0 and the TRANSX and TRANSY the summary advises\n"
                 "  --quiet            no progress and no summary; errors and warnings only\n"
                 "  --help             this text\n"
                 "Outputs are written under temporary names and put in place only when complete (with\n"
                 "--all-scans, only once every scan is converted); the input is never overwritten. Points\n"
                 "that are 0 0 0 in a PTX grid (no return), marked invalid in an E57 scan, not finite, or\n"
                 "unreadable text lines are dropped and counted in the summary.\n"
                 "Exit status: 0 written, 1 failed (input unreadable or refused, write error),\n"
                 "2 bad command line.\n");
}

void printShortUsage(std::FILE* to)
{
    std::fprintf(to,
                 "Usage: tavrin_import INPUT --out FILE.bxyz [options]\n"
                 "       tavrin_import INPUT --database SURVEY.csv (--record N | --scan-id ID1) [options]\n"
                 "       tavrin_import INPUT --database SURVEY.csv --all-scans [--write-database | --match-names]\n"
                 "tavrin_import --help lists the options.\n");
}
