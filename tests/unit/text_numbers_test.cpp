#include "batch/inputs/text_numbers.h"
#include "batch/inputs/text_pieces.h"

#include "batch/file_ptr.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Texts where the fast way and the C library could part: signs, blanks, exponents,
// hexadecimal, infinities and NaN, out of range, very long and cut-off numbers.
std::vector<std::string> awkwardReals()
{
    std::vector<std::string> texts = {"1.5",
                                      "  -2.25e3xyz",
                                      "+3",
                                      "+-3",
                                      "-+3",
                                      "-",
                                      "+",
                                      "",
                                      " ",
                                      ".",
                                      "-.",
                                      ".5",
                                      "-.5",
                                      "5.",
                                      "5.e3",
                                      "1e",
                                      "1e+",
                                      "1e-5",
                                      "1E5",
                                      "1e+05,",
                                      "00012.50",
                                      "-0",
                                      "-0.000000",
                                      "0.000000",
                                      "0x1p3",
                                      "-0X1.8p1",
                                      "0x",
                                      "0xg",
                                      "0x.8",
                                      "inf",
                                      "-Infinity",
                                      "INFINITYx",
                                      "infin",
                                      "nan",
                                      "-NaN",
                                      "nan(123)",
                                      "nan(",
                                      "nan(1,2)",
                                      "1e400",
                                      "-1e400",
                                      "1e-400",
                                      "4e-320",
                                      "2.2250738585072011e-308",
                                      "1.7976931348623157e308",
                                      "1.7976931348623159e308",
                                      "0.1000000000000000055511151231257827021181583404541015625",
                                      "9007199254740993",
                                      "9007199254740993.0",
                                      "123456789012345678901234567890",
                                      "0.000000000000000000000000000001",
                                      "\t\n\v\f\r 7",
                                      "1,2",
                                      "1;2",
                                      "12abc",
                                      "e5",
                                      "..5",
                                      "1..5",
                                      "- 5",
                                      "\x01"
                                      "5",
                                      "475123.123456 3640000.5",
                                      "-475123.1234565",
                                      "1234567890123456789",
                                      "123456789012345678",
                                      "0.1234567890123456789",
                                      "1e22",
                                      "1.5e-1x"};
    texts.push_back(std::string(800, '7') + ".25");
    texts.push_back("0." + std::string(400, '0') + "1");
    std::mt19937_64 random(11);
    for (int i = 0; i < 3000; ++i) {
        char text[64];
        const double v = (static_cast<double>(random() >> 11) / 9007199254740992.0 - 0.5) * 1e6;
        switch (i % 4) {
        case 0:
            std::snprintf(text, sizeof text, "%lf", v);
            break;
        case 1:
            std::snprintf(text, sizeof text, "%.17g", v);
            break;
        case 2:
            std::snprintf(text, sizeof text, "%.3e", v);
            break;
        default:
            std::snprintf(text, sizeof text, "%.12f", v);
            break;
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(TextNumbers, RealsReadAsStrtodReadsThem)
{
    for (const std::string& text : awkwardReals()) {
        SCOPED_TRACE(text);
        char* libraryEnd = nullptr;
        const double expected = std::strtod(text.c_str(), &libraryEnd);
        double value = -1.0;
        const char* end = readReal(text.data(), text.data() + text.size(), value);
        EXPECT_EQ(end - text.data(), libraryEnd - text.c_str());
        EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << value << " against " << expected;
    }
}

TEST(TextNumbers, WholesReadAsStrtollReadsThem)
{
    const char* texts[] = {"42",
                           " -17x",
                           "+5",
                           "-",
                           "",
                           "99999999999999999999",
                           "-99999999999999999999",
                           "0x10",
                           "1.5",
                           "007",
                           "- 5",
                           "+-5",
                           "9223372036854775807",
                           "-9223372036854775808",
                           "12,3",
                           "\t8",
                           "e4",
                           "-0",
                           "+0009",
                           "4.9"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        char* libraryEnd = nullptr;
        const long long expected = std::strtoll(text, &libraryEnd, 10);
        long long value = -1;
        const char* end = readWhole(text, text + std::strlen(text), value);
        EXPECT_EQ(end - text, libraryEnd - text);
        EXPECT_EQ(value, expected);
    }
}

// The pieces std::fgets gives with room for `maxChars` characters, as C strings show them.
std::vector<std::string> fgetsPieces(const std::string& path, int maxChars)
{
    std::vector<std::string> pieces;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    std::vector<char> buffer(static_cast<std::size_t>(maxChars) + 1);
    while (std::fgets(buffer.data(), maxChars + 1, file.get()) != nullptr)
        pieces.emplace_back(buffer.data());
    return pieces;
}

TEST(TextPieces, SameAsFgets)
{
    std::string lines;
    for (std::size_t length : {0u, 1u, 254u, 255u, 256u, 510u, 600u, 4095u, 4096u, 300000u})
        lines += std::string(length, 'a') + "\n";
    const std::string withNul = std::string("1,2,3\n4\0,5,6\n\0\n7 8 9\r\n", 23) + std::string(70000, 'b');
    const struct Case {
        const char* name;
        std::string text;
    } cases[] = {{"lines of every length", lines},
                 {"NUL characters, CR LF, no last line end", withNul},
                 {"empty", ""},
                 {"only line ends", "\n\n\n"}};
    TempDir dir;
    for (const Case& c : cases) {
        for (int maxChars : {255, 4095}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(maxChars));
            writeFile(dir.file("t.txt"), c.text);
            FilePtr file(std::fopen(dir.file("t.txt").c_str(), "rb"));
            TextPieceReader reader(file.get());
            std::vector<std::string> pieces;
            std::string_view piece;
            while (reader.next(static_cast<std::size_t>(maxChars), piece))
                pieces.emplace_back(beforeNul(piece));
            EXPECT_EQ(pieces, fgetsPieces(dir.file("t.txt"), maxChars));
        }
    }
}

}  // namespace
