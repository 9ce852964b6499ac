#include "batch/console.h"

#include "batch/int32_range.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

bool isDigitOfBase(int c, int base)
{
    if (base == 16)
        return std::isxdigit(c) != 0;
    if (base == 8)
        return c >= '0' && c <= '7';
    return c >= '0' && c <= '9';
}

// Reads the text of one "%i" integer from standard input the way scanf takes it:
// blanks skipped, an optional sign, then 0x.. hexadecimal, 0.. octal or decimal
// digits. The first character that does not belong is pushed back.
// Returns EOF at end of input before any non-blank character, else the length read.
int scanIntegerText(char* text, int capacity)
{
    int c = std::getchar();
    while (c != EOF && std::isspace(c))
        c = std::getchar();
    if (c == EOF)
        return EOF;
    int n = 0;
    auto take = [&](int ch) {
        if (n < capacity - 1)
            text[n++] = static_cast<char>(ch);
        return std::getchar();
    };
    if (c == '+' || c == '-')
        c = take(c);
    int base = 10;
    if (c == '0') {
        base = 8;
        c = take(c);
        if (c == 'x' || c == 'X') {
            base = 16;
            c = take(c);
        }
    }
    while (c != EOF && isDigitOfBase(c, base))
        c = take(c);
    if (c != EOF)
        std::ungetc(c, stdin);
    text[n] = '\0';
    return n;
}

}  // namespace

bool readModeAnswer(int32_t& mode)
{
    std::fflush(stdout);
    char text[80];
    if (scanIntegerText(text, static_cast<int>(sizeof text)) == EOF)
        return false;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 0);
    if (end != text)
        mode = clampToInt32(value);
    std::getchar();  // the line end after the number (or the first character of a non-number)
    return true;
}

int readAnswerChar()
{
    std::fflush(stdout);
    const int c = std::getchar();
    return c == EOF ? '\n' : c;
}

bool readWord(char (&word)[256])
{
    std::fflush(stdout);
    word[0] = '\0';
    return std::scanf("%255s", word) == 1;
}
