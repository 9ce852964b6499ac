#pragma once

#include "batch/file_ptr.h"
#include "batch/inputs/text_pieces.h"

#include <cstdio>
#include <string>

// Reads a text file line by line, each line whole whatever its length, without its
// line end ("\n" or "\r\n"). A line shows what C strings read in pieces of 4095
// characters show of it: each piece up to a NUL character it holds (a NUL line end is
// lost, and the line goes on into the next one).
class TextLineReader {
public:
    explicit TextLineReader(const std::string& path) : file_(std::fopen(path.c_str(), "rb")), pieces_(file_.get()) { }

    bool isOpen() const { return file_ != nullptr; }

    /// The next line; false at the end of the file.
    bool next(std::string& line)
    {
        line.clear();
        if (!file_)
            return false;
        bool any = false;
        std::string_view piece;
        while (pieces_.next(4095, piece)) {
            any = true;
            line += beforeNul(piece);
            if (!line.empty() && line.back() == '\n')
                break;
        }
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return any;
    }

private:
    FilePtr file_;
    TextPieceReader pieces_;
};
