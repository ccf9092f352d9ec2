// Shared by the fuzz harnesses: a private scratch folder for the loaders that take file
// names, and a guard that keeps the product's console lines out of the fuzzer's output.
// Nothing here changes what the product code does.
#pragma once

#include "tests/support/ScratchDir.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>

namespace fuzz {

// One per process, so that parallel jobs never share files, under $TMPDIR (or /tmp), removed
// at exit. A folder that cannot be made or written throws: a harness fault, stopping loudly.
inline const testfs::ScratchDir& scratch()
{
    static const testfs::ScratchDir folder;
    return folder;
}

// Swallows standard output and standard error of the C++ streams while it lives.
class QuietConsole {
public:
    QuietConsole() : out_(std::cout.rdbuf(&sink_)), err_(std::cerr.rdbuf(&sink_)) {}
    ~QuietConsole() { std::cout.rdbuf(out_), std::cerr.rdbuf(err_); }
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
