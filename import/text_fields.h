#pragma once
// Fields of a text line and the numbers in them. Parsing works on views (no
// terminating NUL needed), never throws and takes the whole field or nothing.

#include <cstdint>
#include <string>
#include <string_view>

/// Blanks, tabs, commas and semicolons separate fields; runs of them count as one.
class FieldCursor {
public:
    explicit FieldCursor(std::string_view line) : line_(line) { }
    /// The next field; false when the line has no more.
    bool next(std::string_view& field);
    /// Only separators are left.
    bool atEnd();

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

/// The whole field is a decimal real number ("+" sign, "inf" and "nan" accepted);
/// false for anything else, including values beyond the range of a double.
bool parseReal(std::string_view field, double& value);

/// The whole field is a decimal integer that fits in int64_t ("+" sign accepted).
bool parseInteger(std::string_view field, int64_t& value);

/// The line holds no field, or it is a comment ("#", "//" or "%" first).
bool isBlankOrComment(std::string_view line);

/// Reads the first `count` fields of the line as reals; false when there are fewer
/// or one of them is not a number. Fields after them are not looked at.
bool leadingReals(std::string_view line, double* values, int32_t count);

/// The number of fields in the line.
int32_t fieldCount(std::string_view line);

/// The text as a message can show it: printable ASCII kept, other bytes as "?",
/// cut after 60 characters with "...".
std::string shownText(std::string_view text);

/// Takes a UTF-8 byte order mark off the start of the line (first line of a file).
void dropByteOrderMark(std::string_view& line);
