// Shared by the fuzz harnesses: a private scratch folder of this process for the loaders
// that take file names, and a guard that keeps the product's console lines out of the
// fuzzer's output. Nothing here changes what the product code does.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>

namespace fuzz {

// Created on first use under $TMPDIR (or /tmp), one per process, so that parallel
// fuzzing jobs never share files; removed with its contents when the process ends.
class ScratchFolder {
public:
    static ScratchFolder& instance()
    {
        static ScratchFolder folder;
        return folder;
    }

    std::string path(const std::string& name) const { return (path_ / name).string(); }

    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out) {
            std::cerr << "fuzz harness: cannot write " << path(name) << "\n";
            std::abort();  // a harness fault, not a finding: stop loudly
        }
    }

    void remove(const std::string& name) const
    {
        std::error_code ignored;
        std::filesystem::remove(path_ / name, ignored);
    }

    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    ScratchFolder()
    {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "quillet-fuzz-XXXXXX").string();
        if (ec || !mkdtemp(pattern.data())) {
            std::cerr << "fuzz harness: cannot create a scratch folder\n";
            std::abort();
        }
        path_ = pattern;
    }

    std::filesystem::path path_;
};

// Swallows standard output and standard error of the C++ streams while it lives.
class QuietConsole {
public:
    QuietConsole() : out_(std::cout.rdbuf(&sink_)), err_(std::cerr.rdbuf(&sink_)) {}
    ~QuietConsole()
    {
        std::cout.rdbuf(out_);
        std::cerr.rdbuf(err_);
    }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

private:
    struct Sink : std::streambuf {
        int_type overflow(int_type c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    };
    Sink sink_;
    std::streambuf* out_;
    std::streambuf* err_;
};

// Ends the run as a finding when a harness check fails: libFuzzer saves the input.
// Written with stdio, which QuietConsole leaves alone.
[[noreturn]] inline void finding(const char* what)
{
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

} // namespace fuzz
