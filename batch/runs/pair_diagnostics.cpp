#include "batch/runs/pair_diagnostics.h"

#include <cstdio>

void DiagnosticFiles::beginWalk()
{
    open(0, "RMSdistances.txt", "a", "#Distances for point pairs for Scanset\n");
    open(1, "PointsScan1.txt", "w", "#X,Y,Z\n");
    open(2, "PointsScan2.txt", "w", "#X,Y,Z\n");
}

void DiagnosticFiles::record(double distance, const Point3& query, const Point3& partner)
{
    if (files_[0])
        std::fprintf(files_[0].get(), "%lf\n", distance);
    if (files_[1])
        std::fprintf(files_[1].get(), "%lf,%lf,%lf\n", query.x, query.y, query.z);
    if (files_[2])
        std::fprintf(files_[2].get(), "%lf,%lf,%lf\n", partner.x, partner.y, partner.z);
}

void DiagnosticFiles::endWalk()
{
    for (int i = 0; i < 3; ++i) {
        if (!names_[i])
            continue;
        const bool written = files_[i] && std::ferror(files_[i].get()) == 0;
        const bool closed = files_[i] && std::fclose(files_[i].release()) == 0;
        if (!written || !closed) {
            std::printf("Unable to write output file %s \n", names_[i]);
            failed_ = true;
        }
        names_[i] = nullptr;
    }
}

void DiagnosticFiles::open(int i, const char* name, const char* mode, const char* header)
{
    names_[i] = name;
    files_[i].reset(std::fopen(name, mode));
    if (files_[i])
        std::fprintf(files_[i].get(), "%s", header);
}
