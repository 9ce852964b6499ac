#pragma once

// The point lines of a large text file formatted on several threads: a block of points
// is cut into one piece per thread, each piece's lines go into a chunk of its own, and
// the chunks are written in order, so the file's bytes are those of one thread.

#include "batch/outputs/number_text.h"
#include "batch/parallel_for.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

/// Room for one line "x y z \n"-like of up to seven numbers: three "%lf", four "%i", blanks.
constexpr std::size_t POINT_LINE_MAX_CHARS = 3 * (FIXED6_MAX_CHARS + 1) + 4 * (INTEGER_MAX_CHARS + 1) + 1;

// The chunks of the threads, kept from block to block so that their memory is reused.
struct LineChunks {
    std::vector<std::vector<char>> text;  ///< per piece, its lines
};

/// Writes the lines of the items [0, count) to `out` in order: `line(i, at)` writes item
/// i's line (at most POINT_LINE_MAX_CHARS, or nothing) at `at` and returns its end. The
/// items are shared out among up to `threads` threads. A failed write shows in the
/// file's error flag, as with any other write.
template <class Line>
void writeLinesInPieces(std::FILE* out, int64_t count, int32_t threads, LineChunks& chunks, Line&& line)
{
    const int64_t pieces = threads > 1 ? threads : 1;
    if (static_cast<int64_t>(chunks.text.size()) < pieces)
        chunks.text.resize(static_cast<std::size_t>(pieces));
    std::vector<std::size_t> used(static_cast<std::size_t>(pieces), 0);
    parallelFor(static_cast<int32_t>(pieces), pieces, 1, [&](int64_t first, int64_t last) {
        for (int64_t k = first; k < last; ++k) {
            const int64_t begin = count * k / pieces, end = count * (k + 1) / pieces;
            std::vector<char>& text = chunks.text[static_cast<std::size_t>(k)];
            // Room for the longest line before each one; the chunk grows to what the lines take.
            std::size_t at = 0;
            for (int64_t i = begin; i < end; ++i) {
                if (text.size() - at < POINT_LINE_MAX_CHARS)
                    text.resize(std::max(2 * text.size(), at + 64 * POINT_LINE_MAX_CHARS));
                at = static_cast<std::size_t>(line(i, text.data() + at) - text.data());
            }
            used[static_cast<std::size_t>(k)] = at;
        }
    });
    // A piece without lines may have no chunk at all: fwrite is not given its null start.
    for (int64_t k = 0; k < pieces; ++k)
        if (used[static_cast<std::size_t>(k)] > 0)
            std::fwrite(chunks.text[static_cast<std::size_t>(k)].data(), 1, used[static_cast<std::size_t>(k)], out);
}
