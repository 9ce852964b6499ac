#pragma once

#include <vector>

struct RegSettings;
struct TextReadBack;
struct ScanRecord;
struct PairContext;
class PairSink;

// Ready: both scans have points, stamped and sorted. NoPoints: a scan yielded no
// points (the loaders printed why). Fatal: a cube held too many points (printed).
enum class PrepareResult { Ready, NoPoints, Fatal };

// What the preparation does besides loading, stamping and sorting: the run decides.
struct PrepareSteps {
    bool fromScanTable = true;       ///< the pair's indices name scans of the table; false: two loose files,
                                     ///< shown as scans 1 and 2, never transformed, no scanner position
    bool surveyFramePoints = false;  ///< the files hold survey-frame points already (rotated files)
    bool translateText = false;      ///< text points lose TRANSX and TRANSY (original files while registering)
    bool measureInitialRms = false;  ///< measure and print the pair's initial RMS
    /// Per scan of the table, what its text file gives when read, kept by the run that wrote
    /// it (the rotated copies); empty, or unusable for a scan: the file is read as text.
    const std::vector<TextReadBack>* readBacks = nullptr;
};

/// Loads, transforms, stamps and sorts the pair that `pair` names, and measures its
/// initial RMS when `steps` asks for it; the pairs of those walks go to `diagnostics`
/// when there is one.
PrepareResult prepareRegistration(const RegSettings& settings, const std::vector<ScanRecord>& scans, PairContext& pair,
                                  const PrepareSteps& steps, PairSink* diagnostics = nullptr);
