#pragma once

#include "batch/engine/solvers.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;
struct PairContext;

// The work on one prepared pair that the linear and the site runs share, and the
// rows of their tables.

/// What a run does with each of its pairs.
enum class PairTask { Register, Evaluate };

/// Stores what the solution method recorded for the pair into its two scan records.
void storeSolverRecords(std::vector<ScanRecord>& scans, const PairContext& pair, const SolveResult& solved);

/// True unless the method judged its result and did not trust it.
bool isTrusted(const SolveResult& solved);

/// Counts a registered pair in the run's tally and reports, on the console and in the
/// log, a registration that failed, that is not trusted, or that ran out of passes
/// before the heading settled. True when the pair failed (no valid RMS, or not trusted).
bool reportRegistration(RunState& run, const std::vector<ScanRecord>& scans, const PairContext& pair,
                        const SolveResult& solved, const SolverOutputs& out);

/// Counts a pair that could not be registered because a scan gave no points.
void countUnreadablePair(RunState& run);

/// The registration table's header line.
void writeRegistrationHeader(std::FILE* table);

/// One registration row: the rotations found when the final RMS is below the
/// pair's initial RMS and the result is trusted (true), else zero rotations and the
/// initial RMS (false).
bool writeRegistrationRow(std::FILE* table, int32_t id1, int32_t id2, const PairContext& pair, double finalRms,
                          const SolverOutputs& out, bool trusted = true);

/// The header line of the table of pair figures.
void writeFiguresHeader(std::FILE* table);

/// One row of the table of pair figures.
void writeFiguresRow(std::FILE* table, int32_t id1, int32_t id2, const PairFigures& f);

struct PairEvaluation {
    double rms12 = NO_VALID_RMS;    ///< metres, scan 1 against scan 2
    int32_t np12 = 0;               ///< its pairs
    double rms21 = NO_VALID_RMS;    ///< metres, scan 2 against scan 1
    int32_t np21 = 0;               ///< its pairs
    double rmsWave = NO_VALID_RMS;  ///< metres, the valid ones of the two weighted by their pair counts;
                                    ///< NO_VALID_RMS when neither is valid
};

/// Both directed RMS values of the prepared pair with MAXDISTFINAL. False when a
/// cube held too many points.
bool evaluatePair(const RegSettings& settings, PairContext& pair, PairEvaluation& result);

/// The RMS table's header line.
void writeRmsHeader(std::FILE* table);

/// One RMS row.
void writeRmsRow(std::FILE* table, int32_t id1, int32_t id2, const PairEvaluation& e, double spacing, double range);

/// Notes a pair of the registration or evaluation for the plan of the run: `rms` as
/// its row shows it, failed when the pair has no valid RMS (NO_VALID_RMS from the
/// solver or the evaluation, or a scan without points), and the rotations found when
/// the registration improved the pair (`found`).
void notePlanPair(RunState& run, const PairContext& pair, double rms, bool failed,
                  const SolverOutputs* found = nullptr);

/// The log lines of a pair of which a point file gave no points, naming the files that
/// gave none.
void logUnreadablePair(std::FILE* log, const PairContext& pair);

/// Whole seconds of the system clock since `start`.
int32_t secondsSince(std::time_t start);
