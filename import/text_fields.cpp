#include "import/text_fields.h"

#include <charconv>
#include <system_error>

namespace {

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\v' || c == '\f';
}

// from_chars takes no "+"; a sign followed by another sign is no number either.
std::string_view withoutPlus(std::string_view field)
{
    if (field.size() > 1 && field[0] == '+' && field[1] != '-' && field[1] != '+') {
        field.remove_prefix(1);
    }
    return field;
}

}  // namespace

bool FieldCursor::next(std::string_view& field)
{
    while (pos_ < line_.size() && isSeparator(line_[pos_])) {
        ++pos_;
    }
    if (pos_ == line_.size()) {
        return false;
    }
    const std::size_t start = pos_;
    while (pos_ < line_.size() && !isSeparator(line_[pos_])) {
        ++pos_;
    }
    field = line_.substr(start, pos_ - start);
    return true;
}

bool FieldCursor::atEnd()
{
    while (pos_ < line_.size() && isSeparator(line_[pos_])) {
        ++pos_;
    }
    return pos_ == line_.size();
}

bool parseReal(std::string_view field, double& value)
{
    field = withoutPlus(field);
    const char* last = field.data() + field.size();
    const std::from_chars_result r = std::from_chars(field.data(), last, value);
    return r.ec == std::errc() && r.ptr == last && !field.empty();
}

bool parseInteger(std::string_view field, int64_t& value)
{
    field = withoutPlus(field);
    const char* last = field.data() + field.size();
    const std::from_chars_result r = std::from_chars(field.data(), last, value);
    return r.ec == std::errc() && r.ptr == last && !field.empty();
}

bool isBlankOrComment(std::string_view line)
{
    FieldCursor cursor(line);
    std::string_view first;
    if (!cursor.next(first)) {
        return true;
    }
    return first[0] == '#' || first[0] == '%' || first.substr(0, 2) == "//";
}

bool leadingReals(std::string_view line, double* values, int32_t count)
{
    FieldCursor cursor(line);
    std::string_view field;
    for (int32_t k = 0; k < count; ++k) {
        if (!cursor.next(field) || !parseReal(field, values[k])) {
            return false;
        }
    }
    return true;
}

int32_t fieldCount(std::string_view line)
{
    FieldCursor cursor(line);
    std::string_view field;
    int32_t n = 0;
    while (cursor.next(field)) {
        ++n;
    }
    return n;
}

std::string shownText(std::string_view text)
{
    constexpr std::size_t LIMIT = 60;
    std::string shown;
    for (char c : text.substr(0, LIMIT)) {
        shown += (c >= 32 && c < 127) ? c : '?';
    }
    return text.size() > LIMIT ? shown + "..." : shown;
}

void dropByteOrderMark(std::string_view& line)
{
    if (line.substr(0, 3) == "\xEF\xBB\xBF") {
        line.remove_prefix(3);
    }
}
