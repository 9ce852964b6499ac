#include "batch/console.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// One line of standard input without its line end ("\n" or "\r\n"); false at the end
// of the input before any character.
bool readLine(std::string& line)
{
    line.clear();
    int c = std::getchar();
    if (c == EOF)
        return false;
    for (; c != EOF && c != '\n'; c = std::getchar())
        line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

// A whole number from 0 to 9, with blanks around it; nothing else on the line.
bool parseMode(const std::string& line, int32_t& mode)
{
    const char* text = line.c_str();
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 0);
    if (end == text)
        return false;
    while (std::isspace(static_cast<unsigned char>(*end)))
        ++end;
    if (*end != '\0' || value < 0 || value > 9)
        return false;
    mode = static_cast<int32_t>(value);
    return true;
}

}  // namespace

bool readModeAnswer(int32_t& mode)
{
    std::string line;
    for (;;) {
        std::fflush(stdout);
        if (!readLine(line))
            return false;
        if (parseMode(line, mode))
            return true;
        std::printf("Please answer with a mode number from 0 to 9.\n");
    }
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
