// A private temporary folder for tests that write files, removed with everything in it
// when the test ends; and a guard that runs a block in another working directory.
#pragma once

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testfs {

class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillet-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() { std::error_code ignored; std::filesystem::remove_all(path_, ignored); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); } // for the C-style loaders
    void write(const std::string& name, const std::string& bytes) const
    {
        if (!(std::ofstream(path_ / name, std::ios::binary | std::ios::trunc) << bytes))
            throw std::runtime_error("could not write " + name);
    }

private:
    std::filesystem::path path_;
};

// Changes the working directory for its lifetime.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& dir) { std::filesystem::current_path(dir); }
    ~WorkingDirectory() { std::error_code ignored; std::filesystem::current_path(previous_, ignored); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    const std::filesystem::path previous_ = std::filesystem::current_path();
};

} // namespace testfs
