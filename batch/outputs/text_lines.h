#pragma once

#include "batch/file_ptr.h"

#include <cstdio>
#include <string>

// Reads a text file line by line, each line whole whatever its length, without its
// line end ("\n" or "\r\n").
class TextLineReader {
public:
    explicit TextLineReader(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) { }

    bool isOpen() const { return file_ != nullptr; }

    /// The next line; false at the end of the file.
    bool next(std::string& line)
    {
        line.clear();
        if (!file_)
            return false;
        char chunk[4096];
        bool any = false;
        while (std::fgets(chunk, sizeof chunk, file_.get()) != nullptr) {
            any = true;
            line += chunk;
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
};
