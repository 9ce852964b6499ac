#pragma once

#include <string>

// A fresh folder under the system's temporary directory, removed with its contents
// when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    /// `name` inside the folder.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// Writes `bytes` to `path` exactly (binary), creating or replacing the file.
void writeFile(const std::string& path, const std::string& bytes);

/// The whole content of `path`; empty when it cannot be read.
std::string readFile(const std::string& path);

bool fileExists(const std::string& path);
