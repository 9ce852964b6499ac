#pragma once
// What every reader hands on: points in blocks to a sink, and an outcome that
// accounts for each point record it met. Readers never print; the caller does.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ImportedPoint {
    double x = 0.0;  ///< metres, the input file's frame (or the registered frame when a pose is applied)
    double y = 0.0;  ///< metres
    double z = 0.0;  ///< metres
};

/// Why a point record did not reach the sink.
enum class DropReason : int32_t {
    NotFinite = 0,  ///< a coordinate is NaN or infinite (after scale, offset or pose)
    NoReturn,       ///< a scan-grid cell without a measurement, written as 0 0 0
    Unreadable,     ///< a text line that holds fewer than three numbers where a point belongs
    MarkedInvalid,  ///< an E57 record whose invalid state is not 0 (no return, or a direction only)
};
constexpr int32_t DROP_REASON_COUNT = 4;

/// Where a reader's points go. Readers call take() with blocks of points they keep.
class PointSink {
public:
    virtual ~PointSink() = default;
    /// Distances are measured from here for the points that follow; the frame's origin until told.
    virtual void setScannerPosition(const ImportedPoint& scanner) = 0;
    /// The input announces this many point records (header count), before any take().
    virtual void expectRecords(int64_t records) = 0;
    /// Bytes of the input consumed so far, called once per block.
    virtual void progress(uint64_t bytesRead) = 0;
    /// false stops the reader at once: the sink could not keep the points (write error).
    virtual bool take(const ImportedPoint* points, std::size_t count) = 0;
};

struct ReadOutcome {
    bool ok = false;                                   ///< false: the input was refused or could not be read
    bool sinkStopped = false;                          ///< the sink refused a block; the sink reports why
    std::string error;                                 ///< why, when !ok and the sink did not stop it
    std::string note;                                  ///< something the user should know about a read that worked
    int64_t records = 0;                               ///< point records met = kept + all dropped
    int64_t kept = 0;                                  ///< points handed to the sink
    std::array<int64_t, DROP_REASON_COUNT> dropped{};  ///< records dropped, by DropReason
};

/// Points handed to a sink a block at a time: the readers fill one of these and flush it.
class PointBlock {
public:
    static constexpr std::size_t CAPACITY = 16384;

    PointBlock(PointSink& sink, ReadOutcome& outcome);

    /// Counts the record and keeps it, or drops it as NotFinite; false once the sink stopped.
    /// Kept points reach the sink at the next full block or flush(): a read that fails
    /// before then has counted points the sink never saw.
    bool add(double x, double y, double z);
    /// add() for `count` records given as columns of x, y and z.
    bool addColumns(const double* x, const double* y, const double* z, std::size_t count);
    /// Counts a record dropped for `reason`.
    void drop(DropReason reason);
    /// Hands the points held to the sink; false when the sink refused them.
    bool flush();

private:
    PointSink& sink_;
    ReadOutcome& outcome_;
    std::vector<ImportedPoint> points_;  ///< CAPACITY points, of which the first used_ are filled
    std::size_t used_ = 0;
};
