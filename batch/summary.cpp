#include "batch/summary.h"

#include "batch/inputs/configuration.h"

#include <cstdio>

namespace {

void printDataProperties(const RegSettings& s)
{
    std::printf("Input file Summary:  \n");
    std::printf(" \n");
    std::printf(" DATA PROPERTIES: \n");
    std::printf("   GPS file name: %s \n", s.gpsFileName.c_str());
    if (s.FILEEXT == 0)
        std::printf("   Assumed filename extention for rms check: _rot.txt (ROTATED FILE)\n");
    else
        std::printf("   Assumed filename extension for rms check: .txt (ORIGINAL)\n");
    std::printf("   %f < distance between scans for comparison < %f \n", s.GPSMINDIST, s.GPSMAXDIST);
    if (s.DATADIR == 0)
        std::printf("   Data is principally in a North South Orientation \n");
    else
        std::printf("   Data is principally in a East West Orientation \n");
    std::printf("   Scan database name: %s \n", s.scanDatabaseName.c_str());
    if (s.ZEROPAD == 0)
        std::printf("   Scan IDs will NOT be padded with zeroes \n");
    else
        std::printf("   Scan IDs will be padded with zeroes \n");
    std::printf("   Translation of data in X: %lf \n", s.TRANSX);
    std::printf("   Translation of data in Y: %lf \n", s.TRANSY);
    std::printf("   Points will be filtered to the following: \n");
    std::printf("     %lf < range < %lf \n", s.MINRANGE, s.MAXRANGE);
    std::printf("     %lf < x < %lf \n", s.XMIN, s.XMAX);
    std::printf("     %lf < y < %lf \n", s.YMIN, s.YMAX);
    std::printf("     %lf < z < %lf \n", s.ZMIN, s.ZMAX);
}

void printProgramOptions(const RegSettings& s)
{
    std::printf(" \n");
    std::printf(" PROGRAM OPTIONS:  \n");
    std::printf("   Cube Dimensions \n");
    std::printf("       dx = %lf, dy = %lf, dz = %lf \n", s.dCX, s.dCY, s.dCZ);
    std::printf("       Points per cube for registration: %i \n", s.NUMPPC);
    std::printf("   Minimum number of points to use for RMS calculation: %i \n", s.MINNUMPTS);
    std::printf("   Max distance between point clouds for comparison:  %lf \n", s.MAXDISTINITIAL);
    if (s.REGMODE == 0)
        std::printf("   Error metric regmode:  Point to Point \n");
    else if (s.REGMODE == 1)
        std::printf("   Error metric regmode:  Point to Plane \n");
    std::printf("   Point pairs will be updated \n");
    if (s.REGSOL == 1)
        std::printf("   Iterative Search Method will be used \n");
    else if (s.REGSOL == 0)
        std::printf("   Partial Least Squares Solution Method will be used\n");
    else if (s.REGSOL == 3)
        std::printf("  Point-to-Plane Gauss-Newton Method will be used\n");
    else
        std::printf("  Ping Pong Least Squares Method will be used\n");
    std::printf("   Number of iterations for rotations:  %i \n", s.MAXITER);
    std::printf("   Number of Repeat Cycles:  %i \n", s.MAXREPEAT);
    std::printf("   Max search angle(degrees): %lf \n", s.ALPHA);
    std::printf("   Search angle incriment: %i \n", s.ALPHAINC);
    std::printf("   Alpha threshold = %lf \n", s.ALPHATHRESH);
    std::printf("   RMS threshold = %lf \n", s.RMSTHRESH);
}

void printOutputFiles(const RegSettings& s)
{
    std::printf(" \n");
    std::printf(" OUTPUT DATAFILES \n");
    std::printf("   Tavrin output file name: %s \n", s.regFileName.c_str());
    std::printf("   Scan Rotate output file name: %s \n", s.rotFileName.c_str());
    std::printf("   RMSCheck output file name: %s \n", s.rmsFileName.c_str());
    std::printf("   Log output file name: %s \n", s.logFileName.c_str());
    std::printf(" \n");
    std::printf(" \n");
    std::printf("OUTPUT FILES WILL BE OVERWRITTEN IF THEY EXIST! \n");
    std::printf(" \n");
}

void printMenu()
{
    std::printf("Please verify that options are correct \n");
    std::printf("and enter regmode of operation\n");
    std::printf("1 = Register point clouds (LINEAR SEQUENCE)\n");
    std::printf("2 = Rotate point clouds\n");
    std::printf("3 = Batch Evaluate RMS of point clouds (LINEAR SEQUENCE)\n");
    std::printf("4 = Run ALL\n");
    std::printf("5 = Evalulate RMS of 2 datasets\n");
    std::printf("6 = Register point clouds (SITE)\n");
    std::printf("7 = Batch Evaluate RMS of point clouds  (SITE)\n");
    std::printf("8 = Write Rotation and Translation Matricies for scans\n");
    std::printf("9 = Export geo-referenced scans as text files\n");
    std::printf("0 = quit and reformat your input file, \n");
}

}  // namespace

void printSummaryAndMenu(const RegSettings& settings)
{
    printDataProperties(settings);
    printProgramOptions(settings);
    printOutputFiles(settings);
    printMenu();
}
