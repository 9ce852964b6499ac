#include "tests/support/svg_elements.h"

#include "tests/support/test_files.h"

#include <sys/wait.h>

#include <cstdio>

std::vector<Element> elements(const std::string& svg, const std::string& tag, const std::string& cls)
{
    std::vector<Element> found;
    for (std::size_t at = svg.find("<" + tag + " "); at != std::string::npos; at = svg.find("<" + tag + " ", at + 1)) {
        const std::size_t close = svg.find('>', at);
        Element e;
        for (std::size_t p = at + tag.size() + 1, equals; (equals = svg.find("=\"", p)) < close;) {
            const std::size_t quote = svg.find('"', equals + 2);
            const std::size_t name = svg.find_first_not_of(' ', p);
            e.attributes[svg.substr(name, equals - name)] = svg.substr(equals + 2, quote - equals - 2);
            p = quote + 1;
        }
        e.text = svg.substr(close + 1, svg.find('<', close) - close - 1);
        if (cls.empty() || e.at("class") == cls)
            found.push_back(e);
    }
    return found;
}

std::string withoutPlanDate(std::string svg)
{
    const std::size_t line = svg.find("<text class=\"subtitle\"");
    const std::size_t end = svg.find("</text>", line);
    // The date is the block's last field: "; " and ten characters.
    if (line != std::string::npos && end != std::string::npos && end >= line + 12
        && svg.compare(end - 12, 2, "; ") == 0)
        svg.replace(end - 10, 10, "YYYY-MM-DD");
    return svg;
}

bool rendersWithRsvg(const std::string& svgPath, const std::string& pngPath)
{
    std::remove(pngPath.c_str());
    const int status = std::system(("rsvg-convert -o '" + pngPath + "' '" + svgPath + "'").c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    const std::string image = readFile(pngPath);
    return image.size() > 1000 && image.compare(0, 4, "\x89PNG") == 0;
}
