#include "batch/engine/heading_search.h"

#include "batch/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>

namespace {

constexpr double FULL_TURN = 2.0 * 3.14159265358979323846;  // radians
constexpr int64_t MAX_CELLS = int64_t{1} << 27;             // of one voxel grid: 16 MiB of bits
constexpr int32_t LEVELS = 4;                               // the coarse grid and three finer searches
constexpr double FINER = 3.0;                         // each finer level: voxels and steps a third of the level before
constexpr int32_t MOST_STEPS = 360;                   // of the coarse grid along each heading
constexpr double COARSE_VOXELS = 40.0;                // across the fixed scan's larger horizontal extent
constexpr double COARSE_STEP = 1.5;                   // voxels a point moves at most between neighbouring coarse poses
constexpr std::size_t BEAM[LEVELS] = {96, 24, 8, 8};  // poses each level keeps
constexpr std::size_t RESULTS = 3;
constexpr double DISTINCT_RESULTS = 1.0 * FULL_TURN / 360.0;  // results differ by at least a degree
// The half-width that means the whole turn: 180 degrees of the program's pi.
constexpr double WHOLE_TURN_WIDTH = 3.14159265 - 1e-9;
constexpr double KEEP_SHARE = 0.6;    // coarse poses scoring below this share of the best are not searched again
constexpr double DENSE_ENOUGH = 1.2;  // fixed points per occupied voxel below which voxels are too fine
constexpr int64_t PLATEAU = 2;        // steps around a result over which equal scores are averaged
const int32_t SAMPLES[LEVELS] = {512, 2048, 4096, 4096};

// Positions are scored in whole numbers of 1/FIXED_POINT of a cell: an addition and a
// shift find a point's cell. A grid has fewer than 2^24 cells along any axis.
constexpr int32_t FIXED_BITS = 8;
constexpr double FIXED_POINT = 256.0;
constexpr double FIXED_LIMIT = 1073741824.0;  // 2^30: two of them still add up inside 32 bits

int32_t toFixed(double v)
{
    const double f = std::floor(v);
    return f > -FIXED_LIMIT && f < FIXED_LIMIT ? static_cast<int32_t>(f) : static_cast<int32_t>(-FIXED_LIMIT);
}

struct VoxelGrid {
    double x0 = 0.0, y0 = 0.0, z0 = 0.0;  ///< metres, corner of cell (0, 0, 0)
    double size = 1.0;                    ///< metres, edge of a cell
    double inv = 1.0;                     ///< cells per metre
    int64_t nx = 0, ny = 0, nz = 0;       ///< cells along x, y, z; x varies fastest, then y
};

struct Box {
    double xmin = HUGE_VAL, xmax = -HUGE_VAL, ymin = HUGE_VAL, ymax = -HUGE_VAL, zmin = HUGE_VAL, zmax = -HUGE_VAL;
    int64_t count = 0;
};

bool takesPart(const HeadingSearchSettings& s, const CubePoint& p)
{
    return s.zmin < p.z && p.z < s.zmax && std::isfinite(p.x) && std::isfinite(p.y);
}

Box boxOf(const std::vector<CubePoint>& points, const HeadingSearchSettings& s)
{
    Box b;
    for (const CubePoint& p : points) {
        if (!takesPart(s, p))
            continue;
        b.xmin = std::min(b.xmin, p.x);
        b.xmax = std::max(b.xmax, p.x);
        b.ymin = std::min(b.ymin, p.y);
        b.ymax = std::max(b.ymax, p.y);
        b.zmin = std::min(b.zmin, p.z);
        b.zmax = std::max(b.zmax, p.z);
        ++b.count;
    }
    return b;
}

// Cells of `size` over the box with one empty cell all round, so that a shifted bit never
// wraps into the next row; the cells grow until the grid fits MAX_CELLS.
VoxelGrid gridOver(const Box& b, double size)
{
    VoxelGrid g;
    for (;; size *= 1.25) {
        g.size = size;
        g.inv = 1.0 / size;
        g.nx = static_cast<int64_t>((b.xmax - b.xmin) * g.inv) + 3;
        g.ny = static_cast<int64_t>((b.ymax - b.ymin) * g.inv) + 3;
        g.nz = static_cast<int64_t>((b.zmax - b.zmin) * g.inv) + 3;
        if (g.nx * g.ny * g.nz <= MAX_CELLS)
            break;
    }
    g.x0 = b.xmin - size;
    g.y0 = b.ymin - size;
    g.z0 = b.zmin - size;
    return g;
}

int64_t cellOf(const VoxelGrid& g, const CubePoint& p)
{
    const int64_t ix = static_cast<int64_t>((p.x - g.x0) * g.inv), iy = static_cast<int64_t>((p.y - g.y0) * g.inv);
    const int64_t iz = static_cast<int64_t>((p.z - g.z0) * g.inv);
    return (iz * g.ny + iy) * g.nx + ix;
}

bool bitAt(const std::vector<uint64_t>& bits, int64_t i)
{
    return (bits[static_cast<std::size_t>(i >> 6)] >> (i & 63)) & 1u;
}

void setBit(std::vector<uint64_t>& bits, int64_t i)
{
    bits[static_cast<std::size_t>(i >> 6)] |= uint64_t{1} << (i & 63);
}

// dst |= src moved by k cells (k > 0 towards higher cells).
void orShifted(std::vector<uint64_t>& dst, const std::vector<uint64_t>& src, int64_t k)
{
    const int64_t words = static_cast<int64_t>(src.size());
    const int64_t q = (k < 0 ? -k : k) >> 6;
    const int32_t r = static_cast<int32_t>((k < 0 ? -k : k) & 63);
    for (int64_t w = 0; w < words; ++w) {
        const int64_t a = k > 0 ? w - q : w + q, b = k > 0 ? a - 1 : a + 1;
        const uint64_t wa = a >= 0 && a < words ? src[static_cast<std::size_t>(a)] : 0;
        const uint64_t wb = b >= 0 && b < words ? src[static_cast<std::size_t>(b)] : 0;
        uint64_t moved = k > 0 ? wa << r : wa >> r;
        if (r != 0)
            moved |= k > 0 ? wb >> (64 - r) : wb << (64 - r);
        dst[static_cast<std::size_t>(w)] |= moved;
    }
}

// The cells next to a fixed point: its own and its 26 neighbours. Returns the number of
// cells that hold a point.
int64_t buildOccupancy(const SearchScan& fixed, const HeadingSearchSettings& s, const VoxelGrid& g,
                       HeadingSearchBuffers& b)
{
    const std::size_t words = static_cast<std::size_t>((g.nx * g.ny * g.nz + 63) >> 6);
    b.raw.assign(words, 0);
    for (const CubePoint& p : *fixed.points)
        if (takesPart(s, p))
            setBit(b.raw, cellOf(g, p));
    int64_t held = 0;
    for (uint64_t w : b.raw)
        held += static_cast<int64_t>(__builtin_popcountll(w));
    // Grown along x, then y, then z: the 3 x 3 x 3 block around every held cell.
    b.occupied = b.raw;
    for (const int64_t stride : {int64_t{1}, g.nx, g.nx * g.ny}) {
        b.raw = b.occupied;
        orShifted(b.occupied, b.raw, stride);
        orShifted(b.occupied, b.raw, -stride);
    }
    return held;
}

// One moving point per cell of `size` (the first in the scan's order), of those inside
// the z window.
void thinMoving(const SearchScan& moving, const HeadingSearchSettings& s, double size, HeadingSearchBuffers& b)
{
    const VoxelGrid g = gridOver(boxOf(*moving.points, s), size);
    b.taken.assign(static_cast<std::size_t>((g.nx * g.ny * g.nz + 63) >> 6), 0);
    b.thinned.clear();
    const std::vector<CubePoint>& points = *moving.points;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!takesPart(s, points[i]))
            continue;
        const int64_t cell = cellOf(g, points[i]);
        if (bitAt(b.taken, cell))
            continue;
        setBit(b.taken, cell);
        b.thinned.push_back(static_cast<int32_t>(i));
    }
}

// `count` of the thinned points, evenly spread over them and visited in a scattered
// order (so that a pose's count soon shows whether it can still come near the best),
// placed in the fixed grid's z layers; points above or below the grid never score.
void takeSample(const SearchScan& moving, const VoxelGrid& g, int32_t count, HeadingSearchBuffers& b)
{
    const int64_t t = static_cast<int64_t>(b.thinned.size());
    const int64_t n = std::min<int64_t>(count, t);
    int64_t stride = 7919;
    while (n > 0 && std::gcd(stride, n) != 1)
        stride += 2;
    b.sample.clear();
    for (int64_t k = 0; k < n; ++k) {
        const int64_t pick = ((k * stride) % n) * t / n;
        const CubePoint& p = (*moving.points)[static_cast<std::size_t>(b.thinned[static_cast<std::size_t>(pick)])];
        const double fz = (p.z - g.z0) * g.inv;
        if (!(fz >= 0.0 && fz < static_cast<double>(g.nz)))
            continue;
        b.sample.push_back(
            {p.x - moving.cx, p.y - moving.cy, static_cast<int32_t>(static_cast<int64_t>(fz) * g.ny * g.nx)});
    }
}

// The pose grid of one level: both headings from their first value by equal steps.
struct PoseGrid {
    double firstFixed = 0.0, firstMoving = 0.0;  ///< radians
    double step = 0.0;                           ///< radians
    int32_t nFixed = 0, nMoving = 0;             ///< values of each heading
    bool wraps = false;                          ///< a whole turn: the last value is next to the first
};

// What scoring needs of a level: its voxels, the cells next to the fixed scan, the sample
// and the baseline between the scanners.
struct Scoring {
    const VoxelGrid& g;
    const std::vector<uint64_t>& occupied;
    const std::vector<SearchPoint>& sample;
    double fixedX = 0.0, fixedY = 0.0;  ///< metres, the fixed scanner
    double bx = 0.0, by = 0.0;          ///< metres, the moving scanner seen from the fixed one
};

// The sample turned by the relative heading `rho` about the moving scanner and placed at
// the fixed scanner, in parts of a cell: two numbers a point.
void turnSample(const Scoring& sc, double rho, int32_t* turned)
{
    const double c = std::cos(rho), s = std::sin(rho), units = sc.g.inv * FIXED_POINT;
    for (std::size_t p = 0; p < sc.sample.size(); ++p) {
        const SearchPoint& q = sc.sample[p];
        turned[2 * p] = toFixed((c * q.dx - s * q.dy + sc.fixedX - sc.g.x0) * units);
        turned[2 * p + 1] = toFixed((s * q.dx + c * q.dy + sc.fixedY - sc.g.y0) * units);
    }
}

// Sample points next to the fixed scan with the fixed scan turned back by `turn`: seen
// from there the moving scanner stands at its baseline turned the other way. Counting
// stops once the count can no longer reach `cutoff`.
int32_t countHits(const Scoring& sc, const int32_t* turned, double turn, int32_t cutoff)
{
    const double ct = std::cos(turn), st = std::sin(turn), units = sc.g.inv * FIXED_POINT;
    const int32_t tx = toFixed((ct * sc.bx + st * sc.by) * units), ty = toFixed((ct * sc.by - st * sc.bx) * units);
    const uint32_t xCells = static_cast<uint32_t>(sc.g.nx) << FIXED_BITS;
    const uint32_t yCells = static_cast<uint32_t>(sc.g.ny) << FIXED_BITS;
    const int32_t nx = static_cast<int32_t>(sc.g.nx);
    const SearchPoint* sample = sc.sample.data();
    const uint64_t* bits = sc.occupied.data();
    const int64_t n = static_cast<int64_t>(sc.sample.size());
    int32_t hits = 0;
    for (int64_t p = 0; p < n; ++p) {
        const uint32_t fx = static_cast<uint32_t>(turned[2 * p] + tx),
                       fy = static_cast<uint32_t>(turned[2 * p + 1] + ty);
        if (fx < xCells && fy < yCells) {
            const int32_t cell =
                sample[p].layer + static_cast<int32_t>(fy >> FIXED_BITS) * nx + static_cast<int32_t>(fx >> FIXED_BITS);
            hits += static_cast<int32_t>((bits[cell >> 6] >> (cell & 63)) & 1u);
        }
        if ((p & 31) == 31 && hits + (n - 1 - p) < cutoff)
            break;
    }
    return hits;
}

// Scores every pose of `poses` into b.scores (row: fixed heading, column: moving
// heading), the relative headings shared out among the threads. A pose that can no
// longer reach `keep` of the best scored so far stops counting early; such scores then
// depend on the order the poses were scored in, and every score below `keep` of the
// best is set to 0, so that the grid is the same for any number of threads.
void scorePoses(const Scoring& sc, const PoseGrid& poses, double keep, int32_t threads, HeadingSearchBuffers& b)
{
    const std::size_t n = sc.sample.size();
    b.scores.assign(static_cast<std::size_t>(poses.nFixed) * static_cast<std::size_t>(poses.nMoving), 0);
    const int32_t firstK = poses.wraps ? 0 : 1 - poses.nFixed, lastK = poses.nMoving - 1;
    std::vector<int32_t> bests(static_cast<std::size_t>(std::max(threads, 1)), 0);
    std::atomic<int32_t> piece{0};
    parallelFor(threads, int64_t{lastK} - firstK + 1, 1, [&](int64_t begin, int64_t end) {
        int32_t& best = bests[static_cast<std::size_t>(piece++)];
        std::vector<int32_t> turned(2 * n);
        for (int64_t k = firstK + begin; k < firstK + end; ++k) {
            // The poses with j - i = k share one relative heading.
            turnSample(sc, poses.firstMoving - poses.firstFixed + static_cast<double>(k) * poses.step, turned.data());
            for (int32_t i = 0; i < poses.nFixed; ++i) {
                int64_t j = i + k;
                if (poses.wraps)
                    j %= poses.nMoving;
                if (j < 0 || j >= poses.nMoving)
                    continue;
                const int32_t hits =
                    countHits(sc, turned.data(), poses.firstFixed + i * poses.step, static_cast<int32_t>(keep * best));
                b.scores[static_cast<std::size_t>(i) * static_cast<std::size_t>(poses.nMoving)
                         + static_cast<std::size_t>(j)] = hits;
                best = std::max(best, hits);
            }
        }
    });
    const int32_t best = *std::max_element(bests.begin(), bests.end());
    for (int32_t& score : b.scores)
        if (score < keep * best)
            score = 0;
}

// A pose on the lattice of a level: both headings in whole steps of that level from
// the coarse grid's first heading.
struct Pose {
    int64_t a = 0;      ///< fixed scan's heading, steps
    int64_t b = 0;      ///< moving scan's heading, steps
    int32_t score = 0;  ///< sample points next to the fixed scan
};

// Scores a list of poses of one level, sharing the turned sample among the poses of one
// relative heading, the relative headings shared out among the threads.
void scorePoseList(const Scoring& sc, double first, double step, int32_t threads, std::vector<Pose>& poses)
{
    std::stable_sort(poses.begin(), poses.end(), [](const Pose& p, const Pose& q) { return p.b - p.a < q.b - q.a; });
    std::vector<std::size_t> groups;  // where each relative heading's poses begin
    for (std::size_t k = 0; k < poses.size(); ++k)
        if (k == 0 || poses[k].b - poses[k].a != poses[k - 1].b - poses[k - 1].a)
            groups.push_back(k);
    groups.push_back(poses.size());
    parallelFor(threads, static_cast<int64_t>(groups.size()) - 1, 1, [&](int64_t begin, int64_t end) {
        std::vector<int32_t> turned(2 * sc.sample.size());
        for (int64_t g = begin; g < end; ++g) {
            const std::size_t from = groups[static_cast<std::size_t>(g)], to = groups[static_cast<std::size_t>(g + 1)];
            turnSample(sc, static_cast<double>(poses[from].b - poses[from].a) * step, turned.data());
            for (std::size_t k = from; k < to; ++k)
                poses[k].score = countHits(sc, turned.data(), first + static_cast<double>(poses[k].a) * step, 0);
        }
    });
}

// Steps between two headings of a lattice of `period` steps (0: no wrap).
int64_t stepsApart(int64_t a, int64_t b, int64_t period)
{
    int64_t d = a > b ? a - b : b - a;
    if (period > 0) {
        d %= period;
        d = std::min(d, period - d);
    }
    return d;
}

// The best `most` poses, skipping any next to a better one already taken.
std::vector<Pose> bestPoses(std::vector<Pose> poses, std::size_t most, int64_t apart, int64_t period)
{
    std::stable_sort(poses.begin(), poses.end(), [](const Pose& p, const Pose& q) { return p.score > q.score; });
    std::vector<Pose> taken;
    for (const Pose& p : poses) {
        if (taken.size() >= most || p.score <= 0)
            break;
        bool near = false;
        for (const Pose& t : taken)
            near = near || (stepsApart(p.a, t.a, period) <= apart && stepsApart(p.b, t.b, period) <= apart);
        if (!near)
            taken.push_back(p);
    }
    return taken;
}

// The poses of the next level around the given ones: each covers the poses up to two
// of the finer steps (two thirds of its own step) from it, so that together they leave
// no gap; a pose reached from two is scored once.
std::vector<Pose> finerAround(const std::vector<Pose>& poses)
{
    std::vector<Pose> finer;
    for (const Pose& p : poses)
        for (int64_t da = -2; da <= 2; ++da)
            for (int64_t db = -2; db <= 2; ++db)
                finer.push_back({3 * p.a + da, 3 * p.b + db, 0});
    std::sort(finer.begin(), finer.end(),
              [](const Pose& p, const Pose& q) { return p.a != q.a ? p.a < q.a : p.b < q.b; });
    finer.erase(
        std::unique(finer.begin(), finer.end(), [](const Pose& p, const Pose& q) { return p.a == q.a && p.b == q.b; }),
        finer.end());
    return finer;
}

// One level's search: its voxels, its sample, the cells next to the fixed scan. False
// when the voxels are too fine for the fixed scan's spacing.
bool prepareLevel(const SearchScan& fixed, const SearchScan& moving, const HeadingSearchSettings& s, const Box& box,
                  double size, int32_t level, VoxelGrid& g, HeadingSearchBuffers& b)
{
    g = gridOver(box, size);
    const int64_t held = buildOccupancy(fixed, s, g, b);
    if (level > 0 && static_cast<double>(box.count) < DENSE_ENOUGH * static_cast<double>(held))
        return false;
    thinMoving(moving, s, g.size, b);
    takeSample(moving, g, SAMPLES[level], b);
    return !b.sample.empty();
}

// The reach of the sample: its farthest point from the moving scanner plus the baseline,
// the most any point moves per radian of either heading.
double reachOf(const SearchScan& fixed, const SearchScan& moving, const HeadingSearchBuffers& b)
{
    double far = 0.0;
    for (const SearchPoint& q : b.sample)
        far = std::max(far, std::sqrt(q.dx * q.dx + q.dy * q.dy));
    return far + std::hypot(moving.cx - fixed.cx, moving.cy - fixed.cy);
}

// The results stand for different headings; each is the middle of the poses around it
// that score as well, where the finest voxels cannot tell them apart.
std::vector<HeadingCandidate> candidatesOf(const std::vector<Pose>& poses, const std::vector<Pose>& scored,
                                           double first, double step, double share)
{
    std::vector<HeadingCandidate> found;
    for (const Pose& p : poses) {
        double a = 0.0, b = 0.0, n = 0.0;
        for (const Pose& q : scored)
            if (q.score >= p.score && stepsApart(q.a, p.a, 0) <= PLATEAU && stepsApart(q.b, p.b, 0) <= PLATEAU) {
                a += static_cast<double>(q.a);
                b += static_cast<double>(q.b);
                n += 1.0;
            }
        const HeadingCandidate c{first + a / n * step, first + b / n * step, static_cast<double>(p.score) / share};
        bool same = false;
        for (const HeadingCandidate& d : found)
            same = same
                || (std::fabs(std::remainder(c.turnFixed - d.turnFixed, FULL_TURN)) < DISTINCT_RESULTS
                    && std::fabs(std::remainder(c.turnMoving - d.turnMoving, FULL_TURN)) < DISTINCT_RESULTS);
        if (!same && found.size() < RESULTS)
            found.push_back(c);
    }
    return found;
}

}  // namespace

std::vector<HeadingCandidate> searchHeadings(const SearchScan& fixed, const SearchScan& moving,
                                             const HeadingSearchSettings& settings, HeadingSearchBuffers& buffers)
{
    const Box box = boxOf(*fixed.points, settings);
    if (box.count == 0)
        return {};
    double size = std::max(box.xmax - box.xmin, box.ymax - box.ymin) / COARSE_VOXELS;
    if (!(size > 0.0))
        size = 1.0;
    VoxelGrid g;
    if (!prepareLevel(fixed, moving, settings, box, size, 0, g, buffers))
        return {};
    size = g.size;
    // Neighbouring poses of the coarse grid move no point by more than COARSE_STEP voxels:
    // the true pose lies within half a step of one, and the grown voxels still hold it.
    PoseGrid coarse;
    coarse.wraps = settings.halfWidth >= WHOLE_TURN_WIDTH;
    const double halfWidth = coarse.wraps ? FULL_TURN / 2.0 : settings.halfWidth;
    const double span = 2.0 * halfWidth;
    const int32_t steps = static_cast<int32_t>(
        std::min<double>(MOST_STEPS, std::ceil(span * reachOf(fixed, moving, buffers) / (COARSE_STEP * size))));
    coarse.nFixed = coarse.nMoving = std::max(1, coarse.wraps ? steps : steps + 1);
    coarse.step = steps > 0 ? span / steps : 0.0;
    coarse.firstFixed = coarse.firstMoving = -halfWidth;
    const double bx = moving.cx - fixed.cx, by = moving.cy - fixed.cy;
    scorePoses({g, buffers.occupied, buffers.sample, fixed.cx, fixed.cy, bx, by}, coarse, KEEP_SHARE, settings.threads,
               buffers);
    std::vector<Pose> poses;
    for (int32_t i = 0; i < coarse.nFixed; ++i)
        for (int32_t j = 0; j < coarse.nMoving; ++j)
            poses.push_back({i, j, buffers.scores[static_cast<std::size_t>(i) * coarse.nMoving + j]});
    std::vector<Pose> scored = poses;
    poses = bestPoses(std::move(poses), BEAM[0], 1, coarse.wraps ? coarse.nFixed : 0);

    // Each finer level scores the poses around the best of the level before, with its
    // own voxels and sample, and keeps the best of them.
    double step = coarse.step;
    double share = static_cast<double>(buffers.sample.size());
    for (int32_t level = 1; level < LEVELS && step > 0.0; ++level) {
        if (!prepareLevel(fixed, moving, settings, box, size / FINER, level, g, buffers))
            break;
        size = g.size;
        step /= FINER;
        share = static_cast<double>(buffers.sample.size());
        scored = finerAround(poses);
        scorePoseList({g, buffers.occupied, buffers.sample, fixed.cx, fixed.cy, bx, by}, -halfWidth, step,
                      settings.threads, scored);
        poses = bestPoses(scored, BEAM[level], 1, 0);
    }
    return candidatesOf(poses, scored, -halfWidth, step, share);
}
