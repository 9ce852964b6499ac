#pragma once

// Temporary folders and whole files for every test program: the unit, end-to-end,
// tools and settings-window tests and the fuzz harnesses.

#include <cstddef>
#include <string>

// A fresh folder under the system's temporary directory (TMPDIR, else /tmp), removed
// with its contents when the object goes away. TAVRIN_KEEP_TEMP keeps it for a look.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    /// Empty when the folder could not be created.
    const std::string& path() const { return path_; }
    /// `name` inside the folder.
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    /// Removes everything inside the folder, keeping the folder.
    void empty() const;

private:
    std::string path_;
};

// Makes `folder` the working folder while it lives, then returns to the one before.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& folder);
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    bool entered() const { return entered_; }

private:
    std::string previous_;
    bool entered_ = false;
};

/// Writes `bytes` to `path` exactly (binary), creating or replacing the file; false
/// when that fails.
bool writeFile(const std::string& path, const std::string& bytes);
bool writeFile(const std::string& path, const void* data, std::size_t size);

/// The whole content of `path`; empty when it cannot be read.
std::string readFile(const std::string& path);

bool fileExists(const std::string& path);
