#include "batch/runs/rotated_files.h"

std::string rotatedFileName(const std::string& fileName)
{
    const std::size_t keep = fileName.size() >= 4 ? fileName.size() - 4 : 0;
    return fileName.substr(0, keep) + "_rot.txt";
}
