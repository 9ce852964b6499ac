#pragma once

#include "batch/engine/pairing.h"
#include "batch/file_ptr.h"

// The diagnostic files of comparing two point files: every accepted pair of every RMS
// walk with its distance ("RMSdistances.txt", appended to), the query points
// ("PointsScan1.txt") and their partners ("PointsScan2.txt"), both rewritten by each
// walk. They are written in the working folder.
class DiagnosticFiles : public PairSink {
public:
    void beginWalk() override;
    void record(double distance, const Point3& query, const Point3& partner) override;
    void endWalk() override;

    /// True once a file could not be created or written (each was reported).
    bool failed() const { return failed_; }

private:
    void open(int i, const char* name, const char* mode, const char* header);

    FilePtr files_[3];
    const char* names_[3] = {nullptr, nullptr, nullptr};
    bool failed_ = false;
};
