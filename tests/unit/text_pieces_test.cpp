#include "batch/inputs/text_pieces.h"

#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The pieces of a file as TextPieceReader hands them out.
std::vector<std::string> piecesOfFile(const std::string& path, std::size_t maxChars)
{
    std::vector<std::string> pieces;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    TextPieceReader reader(file);
    std::string_view piece;
    while (reader.next(maxChars, piece))
        pieces.emplace_back(piece);
    std::fclose(file);
    return pieces;
}

TEST(TextPieces, BlocksCutIntoPartsGiveTheFilesPieces)
{
    // Short and long lines (one over several blocks), CR LF, a NUL, empty lines, and no
    // line end at the end; blocks just large enough, and larger.
    std::string text = "1,2,3\r\n\n" + std::string(2000, '7') + "\n4 5 6\n" + std::string("a\0b\n", 4);
    for (int i = 0; i < 300; ++i)
        text += std::to_string(i * 13) + " " + std::string(static_cast<std::size_t>(i % 40), '1') + "\n";
    text += std::string(700, 'x') + "tail";
    TempDir dir;
    writeFile(dir.file("t.txt"), text);
    const std::vector<std::string> expected = piecesOfFile(dir.file("t.txt"), 255);
    for (std::size_t blockBytes : {std::size_t(511), std::size_t(1000), std::size_t(1) << 16}) {
        for (std::size_t parts : {std::size_t(1), std::size_t(2), std::size_t(5)}) {
            SCOPED_TRACE(std::to_string(blockBytes) + " bytes, " + std::to_string(parts) + " parts");
            std::FILE* file = std::fopen(dir.file("t.txt").c_str(), "rb");
            TextBlockReader blocks(file, blockBytes, 255);
            std::vector<std::string> pieces;
            std::vector<std::string_view> cut;
            std::string_view block, piece;
            while (blocks.next(block)) {
                cutAfterLineEnds(block, parts, cut);
                ASSERT_EQ(cut.size(), parts);
                for (std::string_view part : cut)
                    for (const char* at = part.data(); nextPiece(at, part.data() + part.size(), 255, piece);)
                        pieces.emplace_back(piece);
            }
            std::fclose(file);
            EXPECT_EQ(pieces, expected);
        }
    }
}

}  // namespace
