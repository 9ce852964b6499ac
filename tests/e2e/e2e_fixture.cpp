#include "tests/e2e/e2e_fixture.h"

std::string golden(const std::string& name) { return readFile(std::string(GOLDEN_DIR) + "/" + name); }

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}
